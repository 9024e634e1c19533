// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the window tests share: the windows started as the program starts
// them, with their support files in a temporary folder and their boxes and
// dialogs answered by the test.

#include "app/shell.h"
#include "app/supportfiles.h"
#include "app/tform1.h"
#include "app/tform2.h"
#include "app/tform3.h"
#include "editor/slotedit.h"
#include "editor/slotrows.h"
#include "recordingdialogs.h"

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

inline const QString kFirstCaption =
    QStringLiteral("Varlo V3.00                   [untitle.vlo]");

// The main window as the program starts it, its support files in `folder`.
struct Started
{
    RecordingDialogs *dialogs = nullptr;
    std::unique_ptr<TForm1> window;

    // `fileToOpen`: started as `varlo fileToOpen`.
    explicit Started(const QString &folder, const QString &fallback = QString(),
                     const QString &fileToOpen = QString())
    {
        auto recording = std::make_unique<RecordingDialogs>();
        dialogs = recording.get();
        window = StartWindows({folder, fallback.isEmpty() ? folder : fallback},
                              std::move(recording), fileToOpen);
    }

    template<typename T>
    T *find(const QString &name) const
    {
        T *child = window->findChild<T *>(name);
        if (!child)
            qWarning("no %s", qPrintable(name));
        return child;
    }
    Document &document() const { return window->document(); }
    SlotEdit *edit(int slot) const { return window->slotRows()->edit(slot); }
    QToolButton *speedButton(int slot) const
    {
        return find<QToolButton>(QStringLiteral("SpeedButton%1").arg(slot + 1));
    }
    QCheckBox *runBox(int slot) const
    {
        return find<QCheckBox>(QStringLiteral("suiCheckBox%1").arg(slot + 1));
    }
    QToolButton *btnSave() const { return find<QToolButton>(QStringLiteral("BtnSave")); }
    void tick() const { window->Timer1Timer(); }
};

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

