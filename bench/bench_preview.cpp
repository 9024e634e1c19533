// SPDX-License-Identifier: GPL-3.0-or-later
// The program's windows with the Preview open on a scrolling slot, started
// the way varlo's main() starts them and then left alone: bench_display
// measures the processor time this process takes while the text scrolls.
// With --bare, the yardstick instead: a bare Qt window of the Preview's size
// that draws a part of a picture as large as the Preview's at the same pace,
// the least any Qt Widgets program pays for that many frames.
//
//   bench_preview           prints "ready W H PW PH" once the Preview shows
//                           (the part it draws and the window, in pixels),
//                           then runs until it is ended
//   bench_preview --bare W H PW PH
//                           prints "ready" once the yardstick shows

#include "console/programoutput.h"
#include "mainwindow/startup.h"
#include "preview/leddisplay.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// The Preview's pace at the fastest speed: a step of one dot 60 times a
// second.
constexpr int kStepsPerSecond = 60;
constexpr int kDotsAcross = 80;

// Scrolls a strip of colour bands through a part of the window, a step at
// a time, the way the Preview shows its strip of LED dots.
class BareScroller : public QWidget
{
public:
    BareScroller(QSize part, QSize window)
        : m_part(part)
        , m_strip(part.width() * 2, part.height())
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(window);
        QPainter painter(&m_strip);
        const int band = std::max(1, part.width() / kDotsAcross);
        for (int x = 0; x < m_strip.width(); x += band)
            painter.fillRect(x, 0, band, part.height(), (x / band) % 3 ? Qt::black : Qt::red);
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        // The step that is due by the clock, and a timer to the next, as
        // the Preview keeps its pace.
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 steps = m_clock.elapsed() * kStepsPerSecond / 1000;
            m_step = int(steps % kDotsAcross);
            update(place());
            const qint64 nextMs = ((steps + 1) * 1000 + kStepsPerSecond - 1) / kStepsPerSecond;
            m_timer.start(int(std::max<qint64>(nextMs - m_clock.elapsed(), 1)));
        });
        m_clock.start();
        m_timer.start(0);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        for (const QRect &around : event->region().subtracted(place()))
            painter.fillRect(around, palette().window());
        const int stepPx = m_part.width() / kDotsAcross;
        painter.drawPixmap(place(), m_strip, QRect(QPoint(m_step * stepPx, 0), m_part));
    }

private:
    QRect place() const
    {
        return QRect(QPoint((width() - m_part.width()) / 2, (height() - m_part.height()) / 2), m_part);
    }

    QSize m_part;
    QPixmap m_strip;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_step = 0;
};

void sayReady(const QString &what)
{
    std::printf("ready %s\n", qPrintable(what));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 6 && arguments[1] == QLatin1String("--bare")) {
        BareScroller bare(QSize(arguments[2].toInt(), arguments[3].toInt()),
                          QSize(arguments[4].toInt(), arguments[5].toInt()));
        bare.show();
        QTimer::singleShot(0, [] { sayReady(QString()); });
        return QApplication::exec();
    }

    varlo::nameProgram(QStringLiteral("varlo"));
    // The user's copy of unsaved messages is no business of a benchmark: none
    // is offered, kept or removed.
    varlo::MainWindow::Folders folders = varlo::defaultFolders();
    folders.recoveryDir.clear();
    const auto window = varlo::startWindows(folders, std::make_unique<varlo::WidgetDialogs>());
    // Plain, bold, a picture and flash cells, at the default speed, the
    // fastest: a step every 17 ms and a flash change every 500 ms.
    window->slotRows()->edit(0)->setMarkup("HELLO ~H ~BSALE~A ~Fnow~F");
    window->slotRows()->edit(0)->setFocus();
    QAction *preview = window->findChild<QAction *>(QStringLiteral("Preview1"));
    if (!preview)
        return 1;
    preview->trigger();
    QTimer::singleShot(0, [] {
        const QWidget *previewWindow = nullptr;
        const varlo::LedDisplay *display = nullptr;
        for (const QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("Preview") && top->isVisible()) {
                previewWindow = top;
                display = top->findChild<varlo::LedDisplay *>(QStringLiteral("PreviewDisplay"));
            }
        }
        // The part of the display that changes: the LED picture, without
        // the margin around it.
        const QSize part = display ? display->pixmap().deviceIndependentSize().toSize() : QSize();
        sayReady(QStringLiteral("%1 %2 %3 %4")
                     .arg(part.width())
                     .arg(part.height())
                     .arg(previewWindow ? previewWindow->width() : 0)
                     .arg(previewWindow ? previewWindow->height() : 0));
    });
    return QApplication::exec();
}
