// SPDX-License-Identifier: GPL-3.0-or-later
// What the window costs, under the offscreen platform:
//
// - start-up to the first painted frame, and resident memory then, of the
//   program's windows (bench_start_varlo) against a bare Qt main window
//   (bench_start_bare), each a fresh process, launched in turns;
// - processor time of an idle varlo over 10 seconds: the real program,
//   started and left alone;
// - one typed character in slot A, through the text change and the reload of
//   the speed glyphs, to the end of the repaint it causes; beside it the same
//   keystroke into a plain QLineEdit of a bare window.
//
// Prints rows of the table that bench/run heads.

#include "benchtable.h"

#include "mainwindow/startup.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "windowkit/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <ctime>

using namespace varlo;
using namespace varlo::bench;

namespace {

constexpr int kStartRuns = 11;
constexpr int kKeystrokes = 301;
constexpr int kIdleSeconds = 10;

// Every box is answered at once, so that nothing waits for a user.
class NoDialogs final : public Dialogs
{
public:
    void showMessage(QWidget *, const QString &, const QString &) override {}
    bool confirm(QWidget *, const QString &, const QString &) override { return false; }
    SaveChoice askSaveChanges(QWidget *, const QString &, const QString &) override { return SaveChoice::Discard; }
    // Keeps what it finds: a copy of unsaved messages is the user's, not the bench's.
    bool askRestore(QWidget *, const QString &, const QString &) override { return true; }
    QString openFileName(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
    int chooseItem(QWidget *, const QString &, const QString &, const QStringList &, int) override { return -1; }
    bool runDialog(QDialog *) override { return false; }
};

QString sibling(const char *program)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(program));
}

struct Start
{
    double shownMs = -1;
    double cpuMs = -1;
    double rssKb = -1;
    double privateKb = -1;
};

Start startOnce(const QString &program, const QStringList &options = {})
{
    QProcess process;
    process.start(program, QStringList{QString::number(monotonicNs())} + options);
    Start start;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return start;
    }
    const QList<QByteArray> words = process.readAllStandardOutput().simplified().split(' ');
    if (words.size() == 8 && words[0] == "shown" && words[2] == "cpu" && words[4] == "rss" && words[6] == "private") {
        start.shownMs = words[1].toDouble() / 1e6;
        start.cpuMs = words[3].toDouble() / 1e6;
        start.rssKb = words[5].toDouble();
        start.privateKb = words[7].toDouble();
    }
    return start;
}

void benchStart()
{
    struct Contender
    {
        QString program;
        QStringList options;
        std::vector<double> shownMs, cpuMs, rssKb, privateKb;
    };
    Contender contenders[] = {
        {sibling("bench_start_varlo"), {}, {}, {}, {}, {}},
        {sibling("bench_start_bare"), {}, {}, {}, {}, {}},
        {sibling("bench_start_bare"), {QStringLiteral("--line-edit")}, {}, {}, {}, {}},
    };
    // A first run of each, not counted, so that all find their libraries in
    // the page cache; then turns, so that a change of load falls on all.
    for (const Contender &c : contenders)
        startOnce(c.program, c.options);
    for (int run = 0; run < kStartRuns; ++run) {
        for (Contender &c : contenders) {
            const Start start = startOnce(c.program, c.options);
            c.shownMs.push_back(start.shownMs);
            c.cpuMs.push_back(start.cpuMs);
            c.rssKb.push_back(start.rssKb);
            c.privateKb.push_back(start.privateKb);
        }
    }
    const auto ratio = [&](int which, std::vector<double> Contender::*figure, const char *unit, double scale) {
        const double ours = median(contenders[0].*figure) / scale;
        const double theirs = median(contenders[which].*figure) / scale;
        return format("%.1f %s / %.1f %s = %.2f", ours, unit, theirs, unit, ours / theirs);
    };
    printRow("start-up of varlo to its first painted frame, wall clock / a bare Qt main window",
             ratio(1, &Contender::shownMs, "ms", 1), "<= 1.5");
    printRow("  the same in processor time, all threads, loading included", ratio(1, &Contender::cpuMs, "ms", 1));
    printRow("  wall clock / a bare main window holding one QLineEdit (Qt's first text control)",
             ratio(2, &Contender::shownMs, "ms", 1), "<= 1.3");
    printRow("resident memory of varlo after start / the bare window", ratio(1, &Contender::rssKb, "MB", 1024),
             "<= 1.2");
    // Most of the resident pages are libraries' code and read-only data,
    // which every program that maps them shares; the anonymous pages (heap,
    // stacks, data the loader relocated) are the process's own.
    printRow("  of which anonymous (the process's own: heap, stacks, relocated data) / the bare window's",
             ratio(1, &Contender::privateKb, "MB", 1024));
}

// Processor time of every thread of a process, from the scheduler's own
// nanosecond count.
double processCpuMs(qint64 pid)
{
    double ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            ns += schedstat.readAll().split(' ').first().toDouble();
    }
    return ns / 1e6;
}

void benchIdle()
{
    QProcess varlo;
    varlo.start(sibling("varlo"), {});
    if (!varlo.waitForStarted(10000)) {
        printRow("processor time of an idle varlo", "not measured: varlo did not start", "<= 0.1 %");
        return;
    }
    // Let it finish starting before the quiet time is counted.
    QThread::sleep(3);
    const double before = processCpuMs(varlo.processId());
    QThread::sleep(kIdleSeconds);
    const double after = processCpuMs(varlo.processId());
    varlo.kill();
    varlo.waitForFinished();
    const double cpuMs = after - before;
    printRow(format("processor time of an idle varlo over %d s, all threads", kIdleSeconds),
             format("%.1f ms = %.3f %% of one core", cpuMs, 100.0 * cpuMs / (kIdleSeconds * 1000.0)), "<= 0.1 %");
}

// Counts the paints of a widget, to prove that each measured keystroke
// reached the screen.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Types into the edit one character at a time; each keystroke is timed from
// the key press to the end of the painting it caused.
double typingMs(QLineEdit *edit, const std::function<void()> &clear, bool *painted)
{
    PaintCounter counter;
    edit->installEventFilter(&counter);
    std::vector<double> times;
    *painted = true;
    for (int i = 0; i < kKeystrokes; ++i) {
        if (edit->text().size() >= 120) {
            clear();
            QCoreApplication::processEvents();
        }
        const int paintsBefore = counter.paints;
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(edit, Qt::Key_A);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        *painted = *painted && counter.paints > paintsBefore;
    }
    edit->removeEventFilter(&counter);
    return median(times);
}

void benchTyping()
{
    QTemporaryDir supportFolder;
    auto window =
        startWindows({supportFolder.path(), supportFolder.path(), QString(), {}, {}}, std::make_unique<NoDialogs>());
    SlotEdit *slotA = window->slotRows()->edit(0);
    window->activateWindow();
    slotA->setFocus();
    QCoreApplication::processEvents();
    bool slotPainted = false;
    const double slotMs = typingMs(
        slotA, [&] { slotA->setMarkup({}); }, &slotPainted);
    window.reset();

    QMainWindow bare;
    auto *edit = new QLineEdit;
    bare.setCentralWidget(edit);
    bare.show();
    edit->setFocus();
    QCoreApplication::processEvents();
    bool barePainted = false;
    const double bareMs = typingMs(
        edit, [&] { edit->clear(); }, &barePainted);

    printRow("typing one character into slot A, through the glyph reload, to the repaint",
             format("%.3f ms%s", slotMs, slotPainted ? "" : " (some keystrokes painted nothing!)"), "<= 2 ms");
    printRow("  the same keystroke into a plain QLineEdit of a bare window",
             format("%.3f ms%s", bareMs, barePainted ? "" : " (some keystrokes painted nothing!)"));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // the programs it starts inherit it
    QApplication app(argc, argv);
    benchStart();
    benchIdle();
    benchTyping();
    return 0;
}
