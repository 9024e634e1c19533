// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window tests share: the windows started as the program starts
// them, with their support files in a temporary folder and their boxes and
// dialogs answered by the test.

#include "aboutandhelp/aboutbox.h"
#include "aboutandhelp/helpwindow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/startup.h"
#include "publishdialog/publishdialog.h"
#include "link/uploadprogress.h"
#include "link/uploadworker.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "support/recordingdialogs.h"
#include "supportpictures/supportfiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtEndian>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace varlo::test {

// Each window suite runs twice: with the platform's font, and with
// VARLO_TEST_UI_FONT_PT=14 as a desktop set to large text gives the program.
// Called from each suite's initTestCase(), before any window exists.
inline void useTestUiFont()
{
    bool sized = false;
    const int uiFontPt = qEnvironmentVariableIntValue("VARLO_TEST_UI_FONT_PT", &sized);
    if (sized && uiFontPt > 0) {
        QFont font = QApplication::font();
        font.setPointSize(uiFontPt);
        QApplication::setFont(font);
    }
}

inline const QString kFirstCaption = QStringLiteral("Varlo V3.00                   [untitle.vlo]");

// The main window as the program starts it, its support files in `folder`,
// its settings in `folder`/varlo/varlo.conf (so never the user's own, and a
// window started again on the same folder finds what the first one
// remembered), the source tree's fonts/ as the shipped fonts.
// A test may destroy the window early (window.reset()); the boxes it showed
// stay in `dialogs`.
struct Started
{
    std::unique_ptr<RecordingDialogs> recording = std::make_unique<RecordingDialogs>();
    RecordingDialogs *dialogs = recording.get();
    std::unique_ptr<MainWindow> window;

    // `fileToOpen`: started as `varlo fileToOpen`. Unsaved messages are kept
    // in `folder`/recovery. `prepare` readies the answers to the questions
    // that the start asks.
    explicit Started(const QString &folder, const QString &fallback = QString(), const QString &fileToOpen = QString(),
                     const std::function<void(RecordingDialogs &)> &prepare = {})
    {
        if (prepare)
            prepare(*recording);
        window = startWindows(
            {folder, fallback.isEmpty() ? folder : fallback, recoveryFolder(folder), folder, {shippedFontsDir()}},
            std::make_unique<ForwardedDialogs>(*recording), fileToOpen);
        // The tests drive the Publish window's own class, linked in; the
        // module the program loads instead has a test of its own.
        window->setPublishWindowSource([](Dialogs &dialogs, QWidget *parent, QString *) -> PublishWindow * {
            return new PublishDialog(dialogs, parent);
        });
    }
    static QString recoveryFolder(const QString &folder) { return folder + QStringLiteral("/recovery"); }

    static QString shippedFontsDir() { return QStringLiteral(VARLO_TEST_FONTS_DIR); }

    template <typename T>
    T *find(const QString &name) const
    {
        T *child = window->findChild<T *>(name);
        if (!child)
            qWarning("no %s", qPrintable(name));
        return child;
    }
    Document &document() const { return window->document(); }
    UploadWorker &uploads() const { return window->uploads(); }
    SlotEdit *edit(int slot) const { return window->slotRows()->edit(slot); }
    QToolButton *speedButton(int slot) const
    {
        return find<QToolButton>(QStringLiteral("SpeedButton%1").arg(slot + 1));
    }
    QCheckBox *runBox(int slot) const { return find<QCheckBox>(QStringLiteral("suiCheckBox%1").arg(slot + 1)); }
    QToolButton *btnSave() const { return find<QToolButton>(QStringLiteral("BtnSave")); }
    // Runs a command as the user chooses it from a menu or the tool bar.
    void trigger(const char *action) const { find<QAction>(QLatin1String(action))->trigger(); }
    // Opens the file through the File menu, its dialog answered with the
    // path, and types the text at the end of slot A (an opened text shows
    // its start, so the caret goes to the end first).
    void openAndType(const QString &path, const QString &text) const
    {
        dialogs->openAnswers << path;
        trigger("Open1");
        QTest::keyClick(edit(0), Qt::Key_End);
        QTest::keyClicks(edit(0), text);
    }
    // Save from the File menu; true when it wrote the set.
    bool save() const
    {
        QSignalSpy saved(&document(), &Document::saved);
        trigger("Save1");
        return saved.count() == 1;
    }
    // Waits for the window's next timer tick, which has run when this
    // returns true. The timer rests once a tick has shown every change;
    // then there is nothing to wait for.
    bool tick() const
    {
        auto *timer = find<QTimer>(QStringLiteral("Timer1"));
        if (!timer->isActive())
            return true;
        QSignalSpy ticked(timer, &QTimer::timeout);
        return ticked.wait(5000);
    }
};

// Ends the test program with a message when it is still there `limit`
// after it began watching: a test of something that once hung fails at once
// instead of waiting for CTest's time-out.
class HangWatch
{
public:
    HangWatch(std::chrono::seconds limit, const char *what)
        : m_watcher([this, limit, what] {
            std::unique_lock lock(m_mutex);
            if (!m_ended.wait_for(lock, limit, [this] { return m_done; }))
                qFatal("still waiting after %lld s: %s", qlonglong(limit.count()), what);
        })
    {
    }
    ~HangWatch()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_ended.notify_all();
        m_watcher.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_watcher;
};

// Whether the first upload a spy on UploadWorker::finished saw was done.
inline bool uploadDone(const QSignalSpy &finished)
{
    return finished.first().first().value<UploadOutcome>().done();
}

// Types any text into the widget, as a keyboard layout or input method
// delivers it: QTest::keyClicks takes Latin-1 only.
inline void typeText(QWidget *widget, const QString &text)
{
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

inline QImage shown(const QIcon &icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_RGB32);
}

inline QImage builtIn(SupportFiles::Picture picture)
{
    return SupportFiles::builtInPicture(picture).convertToFormat(QImage::Format_RGB32);
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline quint32 le32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

inline quint16 le16(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

inline int countColour(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

} // namespace varlo::test
