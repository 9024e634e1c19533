// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a main window and reports, once its first frame is painted, how long
// that took from the moment the parent launched this process and how much
// resident memory the process holds. Built twice: bench_start_varlo starts
// the program's windows the way varlo's main() does, and bench_start_bare a
// bare Qt main window with one empty central widget, the yardstick; with
// --line-edit its central widget is an empty QLineEdit instead, which shows
// what Qt's first text control costs by itself.
//
//   bench_start_xxx LAUNCH_NS [--line-edit]
//                               LAUNCH_NS: CLOCK_MONOTONIC at the launch
//   prints "shown NS cpu NS rss KB private KB": since the launch, processor
//   time, resident memory, and of it the anonymous pages (heap, stacks,
//   library data written at loading): the memory no other process shares

#include "benchtable.h"

#ifdef VARLO_START_PROGRAM
#include "console/programoutput.h"
#include "mainwindow/startup.h"
#include "windowkit/dialogs.h"
#endif

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include <sys/resource.h>

using varlo::bench::monotonicNs;

namespace {

// Processor time of the whole process so far, loading included.
qint64 processCpuNs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ns = [](const timeval &t) { return qint64(t.tv_sec) * 1000000000 + qint64(t.tv_usec) * 1000; };
    return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// A figure in kB from a /proc file of lines "Name:   123 kB".
qint64 procKb(const char *file, const QByteArray &name)
{
    QFile status(QString::fromLatin1(file));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Waits for the first paint of any widget of the main window, then lets
// that whole round of painting finish before it reports and quits.
class FirstFrame : public QObject
{
public:
    explicit FirstFrame(qint64 launchNs)
        : m_launchNs(launchNs)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType()
            && qobject_cast<QMainWindow *>(static_cast<QWidget *>(watched)->window())) {
            m_painted = true;
            QTimer::singleShot(0, this, [this] {
                std::printf("shown %lld cpu %lld rss %lld private %lld\n",
                            static_cast<long long>(monotonicNs() - m_launchNs), static_cast<long long>(processCpuNs()),
                            static_cast<long long>(procKb("/proc/self/status", "VmRSS")),
                            static_cast<long long>(procKb("/proc/self/smaps_rollup", "Anonymous")));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    qint64 m_launchNs;
    bool m_painted = false;
};

} // namespace

int main(int argc, char *argv[])
{
    const qint64 launchNs = argc > 1 ? std::atoll(argv[1]) : monotonicNs();
    QApplication app(argc, argv);
    // Watching before any window exists, so that no paint goes unseen.
    FirstFrame firstFrame(launchNs);
    app.installEventFilter(&firstFrame);

#ifdef VARLO_START_PROGRAM
    varlo::nameProgram(QStringLiteral("varlo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varlo"));
    // The user's copy of unsaved messages is no business of a benchmark: none
    // is offered, kept or removed.
    varlo::MainWindow::Folders folders = varlo::defaultFolders();
    folders.recoveryDir.clear();
    const auto window = varlo::startWindows(folders, std::make_unique<varlo::WidgetDialogs>());
#else
    QMainWindow window;
    if (argc > 2 && QByteArray(argv[2]) == "--line-edit")
        window.setCentralWidget(new QLineEdit);
    else
        window.setCentralWidget(new QWidget);
    window.resize(624, 673); // the size of varlo's main window
    window.show();
#endif
    return QApplication::exec();
}
