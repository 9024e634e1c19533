// SPDX-License-Identifier: GPL-3.0-or-later
// What showing the display costs while nothing but the display changes,
// three programs measured side by side over the same windows of time:
//
// - the Preview open on a scrolling slot (bench_preview: the program's
//   windows under the offscreen platform, so no display server's time);
// - the same on a real X server (Xvfb, when it is installed): the window
//   process, and the server's own time beside it; and beside them a bare Qt
//   window that draws as many pixels at the same pace (bench_preview
//   --bare), the floor that Qt's own drawing and the X connection set;
// - varlo-panel waiting for its first upload, in a terminal;
// - varlo-panel scrolling 20 slots, in a terminal.
//
// Each varlo-panel writes to a pseudo-terminal of its own that this program
// holds open and reads, as a terminal window would. Processor time is the
// scheduler's run time of every thread of the process (/proc/PID/task/*/
// schedstat), exact to the nanosecond where the 100 Hz tick counts of
// /proc/PID/stat would round 0.1 % of a 5 s window to nothing.
//
//   bench_display [--preview PROGRAM] [--panel PROGRAM]
//                 other programs to measure, e.g. those of an older build
//
// Prints rows of the table that bench/run heads.

#include "benchtable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace varlo::bench;

namespace {

constexpr int kRounds = 3;
constexpr int kWindowMs = 5000;
constexpr int kWarmUpMs = 1500;
constexpr int kStartWaitMs = 20000;

QString sibling(const char *program)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(program));
}

// Run time of every thread of a process so far, in nanoseconds; -1 when it
// has gone.
qint64 processRunNs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (!tasks.exists())
        return -1;
    qint64 total = 0;
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.readAll().split(' ').first().toLongLong();
    }
    return total;
}

// A terminal for a varlo-panel: the pseudo-terminal's far end, read and
// thrown away as fast as the panel writes, as a terminal window shows it.
class Terminal
{
public:
    Terminal()
    {
        int slave = -1;
        winsize size{};
        size.ws_col = 100;
        size.ws_row = 30;
        if (::openpty(&m_master, &slave, nullptr, nullptr, &size) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ttyname(slave));
        // Kept open, so that the line stays up between the panel's writes.
        m_slave = slave;
        m_reader = std::thread([this] {
            char buffer[4096];
            while (!m_stop) {
                pollfd fd{m_master, POLLIN, 0};
                if (::poll(&fd, 1, 100) > 0 && ::read(m_master, buffer, sizeof buffer) < 0)
                    QThread::msleep(10);
            }
        });
    }
    ~Terminal()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    QString path() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::atomic<bool> m_stop = false;
    std::thread m_reader;
};

// Starts an X server of its own on the first free display from :90 on; the
// display's name, empty when there is no Xvfb or it did not start.
QString startXServer(QProcess &server)
{
    const QString program = QStringLiteral("/usr/bin/Xvfb");
    if (!QFile::exists(program))
        return {};
    for (int display = 90; display < 120; ++display) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        if (QFile::exists(socket) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        server.start(program,
                     {QStringLiteral(":%1").arg(display), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                      QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24")});
        if (!server.waitForStarted(kStartWaitMs))
            return {};
        for (int waitedMs = 0; waitedMs < kStartWaitMs; waitedMs += 50) {
            if (QFile::exists(socket))
                return QStringLiteral(":%1").arg(display);
            if (server.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        return {};
    }
    return {};
}

void endProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
    }
}

// Starts a varlo-panel on `com` with its display in `terminal`; the path of
// its serial line, empty when it did not start.
QString startPanel(QProcess &panel, const QString &program, int com, const Terminal &terminal, const QString &errFile)
{
    panel.setStandardOutputFile(terminal.path());
    panel.setStandardErrorFile(errFile);
    panel.start(program, {QStringLiteral("--com"), QString::number(com)});
    static const QRegularExpression line(QStringLiteral(" is (/dev/\\S+) "));
    for (int waited = 0; waited < kStartWaitMs; waited += 50) {
        QFile err(errFile);
        if (err.open(QIODevice::ReadOnly)) {
            const QRegularExpressionMatch match = line.match(QString::fromLocal8Bit(err.readAll()));
            if (match.hasMatch())
                return match.captured(1);
        }
        if (panel.state() == QProcess::NotRunning)
            return {};
        QThread::msleep(50);
    }
    return {};
}

std::string percent(double share)
{
    return format("%.3f %% of one core", share * 100);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption previewOption(QStringLiteral("preview"), QStringLiteral("The Preview program."),
                                           QStringLiteral("PROGRAM"), sibling("bench_preview"));
    const QCommandLineOption panelOption(QStringLiteral("panel"), QStringLiteral("The varlo-panel program."),
                                         QStringLiteral("PROGRAM"), sibling("varlo-panel"));
    parser.addOptions({previewOption, panelOption});
    parser.process(app);

    // The panels map their lines in a ports folder of their own.
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess preview;
    preview.setProcessEnvironment(environment);
    preview.start(parser.value(previewOption), QStringList{});
    const bool previewReady = preview.waitForReadyRead(kStartWaitMs) && preview.readAll().contains("ready");

    QProcess xServer;
    QProcess xPreview;
    QProcess xBare;
    const QString display = startXServer(xServer);
    bool xPreviewReady = false;
    bool xBareReady = false;
    if (!display.isEmpty()) {
        QProcessEnvironment onX = environment;
        onX.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        onX.insert(QStringLiteral("DISPLAY"), display);
        xPreview.setProcessEnvironment(onX);
        xPreview.start(parser.value(previewOption), QStringList{});
        // "ready W H PW PH": the size of the picture it draws and of its
        // window, for the yardstick to draw as much.
        QStringList ready;
        if (xPreview.waitForReadyRead(kStartWaitMs))
            ready = QString::fromLatin1(xPreview.readAll()).simplified().split(QLatin1Char(' '));
        xPreviewReady = ready.value(0) == QLatin1String("ready");
        if (xPreviewReady && ready.size() == 5) {
            xBare.setProcessEnvironment(onX);
            xBare.start(sibling("bench_preview"), QStringList{QStringLiteral("--bare")} + ready.mid(1));
            xBareReady = xBare.waitForReadyRead(kStartWaitMs) && xBare.readAll().contains("ready");
        }
    }

    const Terminal waitingTerminal;
    const Terminal scrollingTerminal;
    QProcess waiting;
    QProcess scrolling;
    waiting.setProcessEnvironment(environment);
    scrolling.setProcessEnvironment(environment);
    const bool waitingReady = !startPanel(waiting, parser.value(panelOption), 14, waitingTerminal,
                                          home.filePath(QStringLiteral("waiting.err")))
                                   .isEmpty();
    const QString scrollingLine = startPanel(scrolling, parser.value(panelOption), 15, scrollingTerminal,
                                             home.filePath(QStringLiteral("scrolling.err")));
    // Twenty slots at the default speed, the fastest, each with bold text,
    // a picture and flash cells.
    bool scrollingReady = false;
    if (!scrollingLine.isEmpty()) {
        QStringList send{QStringLiteral("send"), QStringLiteral("--port"), scrollingLine};
        for (int slot = 0; slot < 20; ++slot)
            send << QStringLiteral("-m") << QStringLiteral("SLOT %1 ~BBOLD~A ~H ~Fflash~F").arg(slot + 1);
        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.start(sibling("varlo-cli"), send);
        scrollingReady = cli.waitForFinished(kStartWaitMs) && cli.exitCode() == 0;
    }
    QThread::msleep(kWarmUpMs);

    struct Measured
    {
        const QProcess &process;
        bool ready;
        std::vector<double> shares;
    };
    std::vector<Measured> measured{{preview, previewReady, {}},     {waiting, waitingReady, {}},
                                   {scrolling, scrollingReady, {}}, {xPreview, xPreviewReady, {}},
                                   {xServer, xPreviewReady, {}},    {xBare, xBareReady, {}}};
    // All three over the same windows: a change in the machine's load falls
    // on each alike.
    for (int round = 0; round < kRounds; ++round) {
        std::vector<qint64> before;
        for (const Measured &m : measured)
            before.push_back(processRunNs(m.process.processId()));
        QElapsedTimer clock;
        clock.start();
        QThread::msleep(kWindowMs);
        const double windowNs = double(clock.nsecsElapsed());
        for (size_t i = 0; i < measured.size(); ++i) {
            const qint64 after = processRunNs(measured[i].process.processId());
            if (before[i] >= 0 && after >= 0)
                measured[i].shares.push_back(double(after - before[i]) / windowNs);
        }
    }

    const auto row = [](const Measured &m, const std::string &figure, const std::string &goal) {
        if (!m.ready || m.shares.size() != size_t(kRounds))
            printRow(figure, "not measured: the program did not start", goal);
        else
            printRow(figure, percent(median(m.shares)), goal);
    };
    row(measured[0],
        "the Preview open on a scrolling slot (fastest speed, flash cells), offscreen: processor time of "
        "the window process, all threads",
        "<= 1 %");
    row(measured[1], "varlo-panel waiting for its first upload, in a terminal: processor time, all threads",
        "<= 0.1 %");
    row(measured[2],
        "varlo-panel scrolling 20 slots (fastest speed, flash cells), in a terminal: processor time, "
        "all threads",
        "<= 0.5 %");

    if (display.isEmpty()) {
        printRow("the Preview open on a scrolling slot on a real X server", "not measured: no Xvfb here", "<= 1 %");
    } else {
        row(measured[3],
            "the Preview open on a scrolling slot (fastest speed, flash cells), on a real X server (Xvfb): "
            "processor time of the window process, all threads",
            "<= 1 %");
        row(measured[4], "the same: processor time of the X server (Xvfb) meanwhile", "");
        row(measured[5],
            "  a bare Qt window drawing a picture as large at the same pace on the same server: processor "
            "time, all threads (the least Qt Widgets pays for these frames)",
            "");
    }

    endProcess(preview);
    endProcess(xPreview);
    endProcess(xBare);
    endProcess(xServer);
    endProcess(waiting);
    endProcess(scrolling);
    return 0;
}
