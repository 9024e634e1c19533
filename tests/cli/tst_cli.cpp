#include "cli/clireporter.h"

#include "support/virtualports.h"
#include "support/workedexample.h"

#include <QProcess>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace varlo;
using namespace varlo::test;

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs varlo-cli with XDG_CONFIG_HOME pointing at the fixture's ports folder
// (the test process set it), so that it reaches only virtual panels.
Run runCli(const QStringList &arguments, const QString &stderrFile = {})
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    if (!stderrFile.isEmpty())
        process.setStandardErrorFile(stderrFile);
    process.start(QStringLiteral(VARLO_CLI_PATH), arguments);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray hexLine(const QByteArray &coded)
{
    return coded.toHex(' ').toUpper();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void dryRun_data();
    void dryRun();
    void rawBytesReachTheSlot();
    void usageErrors_data();
    void usageErrors();
    void help_data();
    void help();

    void fontDryRun();
    void fontToThePanel();
    void sendFindsThePanel();
    void linkFailures_data();
    void linkFailures();
    void writeErrorMidUpload();
    void probe();
    void probeDevicePath();
    void progressOnlyOnATerminal();

    void reporterHintsAtTheGroup_data();
    void reporterHintsAtTheGroup();

private:
    std::unique_ptr<VirtualPorts> m_ports;
};

void TestCli::init()
{
    m_ports = std::make_unique<VirtualPorts>();
    QVERIFY(m_ports->isValid());
}

void TestCli::cleanup()
{
    m_ports.reset();
}

void TestCli::dryRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("line");      // the line checked
    QTest::addColumn<QByteArray>("head"); // its first bytes, line-coded

    // 0x21 codes to B3, 0x02 to 82.
    QTest::newRow("empty -m leaves slot A empty")
        << QStringList{"send", "-m", "", "-m", "B", "--dry-run"} << 6 << 0 << QByteArray::fromHex("82 B2 B3 A0");
    QTest::newRow("speed and stop reach the directory")
        << QStringList{"send", "-m", "X", "--speed", "2", "--stop", "a", "--dry-run"} << 6 << 4
        << QByteArray::fromHex("82 B2 5C A0 B1 82 B1 B1 A0 A0");
    QTest::newRow("no text: directory and end frame")
        << QStringList{"send", "--dry-run", "--port", "COM9"} << 2 << 1 << QByteArray::fromHex("82 90 A0");
    QTest::newRow("delay changes no byte")
        << QStringList{"send", "-m", "AB", "--delay", "10", "--dry-run"} << 6 << 0
        << QByteArray::fromHex("82 B2 A2 A0 F0 FD 82 B5 86");
}

void TestCli::dryRun()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, lineCount);
    QFETCH(int, line);
    QFETCH(QByteArray, head);

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QVERIFY(run.out.endsWith('\n'));
    const QByteArrayList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), lineCount);
    QVERIFY2(lines[line].startsWith(hexLine(head)), lines[line].constData());
    for (const QByteArray &l : lines)
        QVERIFY(l.size() == 3 * 69 - 1 || l.size() == 3 * 3 - 1);
}

void TestCli::rawBytesReachTheSlot()
{
    // The worked example, byte for byte.
    Run run = runCli({"send", "-m", "AB", "--dry-run"});
    QCOMPARE(run.exitCode, 0);
    QByteArrayList expected;
    for (const QByteArray &frame : WorkedExampleFrames())
        expected << hexLine(frame);
    QCOMPARE(run.out, expected.join('\n') + '\n');

    // A byte that is no UTF-8 goes into the slot as it is: 0xE9, with the
    // checksum 0xEA, codes to 37 and 04.
    QProcess shell;
    shell.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    shell.start(QStringLiteral("/bin/sh"),
                {"-c", QStringLiteral("exec '%1' send -m \"$(printf '\\351')\" --dry-run").arg(VARLO_CLI_PATH)});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(shell.exitCode(), 0);
    QVERIFY2(shell.readAllStandardOutput().startsWith(hexLine(QByteArray::fromHex("82 B2 A2 A0 F0 04 B1 37"))),
             "0xE9 not sent as one cell");
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("says");

    QTest::newRow("no command") << QStringList{} << QByteArray("Usage: varlo-cli <command>");
    QTest::newRow("unknown command") << QStringList{"upload"} << QByteArray("unknown command 'upload'");
    QTest::newRow("unknown option") << QStringList{"send", "--fast"} << QByteArray("fast");
    QTest::newRow("delay above 10") << QStringList{"send", "--delay", "11"} << QByteArray("--delay 11");
    QTest::newRow("delay not a number") << QStringList{"send", "--delay", "x"} << QByteArray("--delay x");
    QTest::newRow("speed above 255") << QStringList{"send", "--speed", "256", "-m", "A"} << QByteArray("--speed 256");
    QTest::newRow("negative speed") << QStringList{"send", "--speed", "-1"} << QByteArray("--speed -1");
    QTest::newRow("stop letter past T") << QStringList{"send", "--stop", "AU"} << QByteArray("'U'");
    QTest::newRow("port COM16") << QStringList{"send", "--port", "COM16"} << QByteArray("--port COM16");
    QTest::newRow("port word") << QStringList{"probe", "--port", "serial"} << QByteArray("--port serial");
    QTest::newRow("stray argument") << QStringList{"send", "file.vlo"} << QByteArray("'file.vlo'");
    QTest::newRow("font takes no text") << QStringList{"font", "-m", "A"} << QByteArray("Unknown option 'm'");
    QStringList tooMany = {"send"};
    for (int i = 0; i < 21; ++i)
        tooMany << "-m" << "x";
    QTest::newRow("21 texts") << tooMany << QByteArray("21 texts");
    QTest::newRow("missing value") << QStringList{"send", "-m"} << QByteArray("value");
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, says);

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains(says), run.err.constData());
}

void TestCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("overview") << QStringList{"--help"};
    QTest::newRow("send") << QStringList{"send", "--help"};
    QTest::newRow("probe") << QStringList{"probe", "-h"};
    QTest::newRow("font") << QStringList{"font", "--help"};
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 0);
    for (const char *part : {"Usage: varlo-cli", "Example:", "COM5 to COM8    /dev/ttyUSB0 to /dev/ttyUSB3",
                             "COM13 to COM15  /dev/ttyS4 to /dev/ttyS6", "varlo/ports"})
        QVERIFY2(run.out.contains(part), part);
}

void TestCli::fontDryRun()
{
    const Run run = runCli({"font", "--dry-run"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    const QByteArrayList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 64);
    for (const QByteArray &line : lines)
        QCOMPARE(line.size(), 3 * 69 - 1);
    // Frame 0: address 0x0000, code 0 of the normal font (all dark), code 1
    // (7F 41 49 51 49 45 7F 00), ..., the terminator.
    QVERIFY(lines[0].startsWith(hexLine(QByteArray::fromHex("82 B2 A0 A0") + QByteArray(8, char(0xA0))
                                        + QByteArray::fromHex("58 B5 3D B4 3D F1 58 A0"))));
    QVERIFY(lines[0].endsWith(" 50"));
    QVERIFY(lines[32].startsWith("82 B2 28 A0")); // 0x0800, the bold font
    QVERIFY(lines[63].startsWith("82 B2 5F AC")); // 0x0FC0
}

void TestCli::fontToThePanel()
{
    VirtualPanel &panel = m_ports->addPanel(3);
    const Run dry = runCli({"font", "--dry-run"});
    const Run run = runCli({"font", "--port", "COM3"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(panel.waitForBytes(64 * 69, 5000), 64 * 69);
    QCOMPARE(hexLine(panel.received()), dry.out.trimmed().replace('\n', ' '));
}

void TestCli::sendFindsThePanel()
{
    VirtualPanel &panel = m_ports->addPanel(3);
    const Run run = runCli({"send", "-m", "AB"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray()); // no terminal, no progress
    QCOMPARE(panel.waitForBytes(1 + 348, 5000), 1 + 348);
    QCOMPARE(panel.received(), "T" + WorkedExampleStream());
}

void TestCli::linkFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("no panel anywhere") << QStringList{"send", "-m", "AB"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("probe finds no panel") << QStringList{"probe"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("font finds no panel") << QStringList{"font"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("chosen port missing")
        << QStringList{"send", "-m", "AB", "--port", "COM4"}
        << QByteArray("Serial port can't open!\nCOM4 (%1): No such file or directory\n");
    QTest::newRow("device path missing")
        << QStringList{"probe", "--port", "/nonexistent/tty"}
        << QByteArray("Serial port can't open!\n/nonexistent/tty: No such file or directory\n");
}

void TestCli::linkFailures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, err);
    m_ports->addPanel(7, VirtualPanel::Answer::Silent);

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(QString::fromLocal8Bit(run.err), QString::fromLocal8Bit(err).replace("%1", m_ports->entry(4)));
}

void TestCli::writeErrorMidUpload()
{
    // The panel vanishes after the first bytes of slot A, during the 500 ms
    // pause before slot B.
    VirtualPanel &panel = m_ports->addPanel(2, VirtualPanel::Answer::Silent);
    panel.vanishAfter(10);
    const Run run = runCli({"send", "-m", "A", "-m", "B", "--delay", "10", "--port", "2"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(panel.waitUntilVanished(0));
    QCOMPARE(QString::fromLocal8Bit(run.err),
             QStringLiteral("Serial port write error!\nCOM2 (%1): %2\n").arg(m_ports->entry(2), qt_error_string(EIO)));
}

void TestCli::probe()
{
    m_ports->addPanel(9, VirtualPanel::Answer::Silent);
    VirtualPanel &panel = m_ports->addPanel(3);
    const Run run = runCli({"probe"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("COM3\n"));
    QCOMPARE(run.err, QByteArray());
    // The port step alone: the probe and nothing after it.
    QCOMPARE(panel.waitForBytes(1, 5000), 1);
    QCOMPARE(panel.received(), QByteArray("T"));
}

void TestCli::probeDevicePath()
{
    VirtualPanel panel;
    const Run run = runCli({"probe", "--port", panel.slavePath()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, panel.slavePath().toLocal8Bit() + '\n');
    QCOMPARE(panel.received(), QByteArray()); // opened and closed, not probed
}

void TestCli::progressOnlyOnATerminal()
{
    m_ports->addPanel(3);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    QCOMPARE(::openpty(&master, &slave, name, &raw, nullptr), 0);

    const Run run = runCli({"send", "-m", "AB"}, QString::fromLocal8Bit(name));
    QCOMPARE(run.exitCode, 0);

    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, got);
    ::close(master);
    ::close(slave);

    QVERIFY2(shown.contains("\r  Com:3  step 0 of 21 (0%)"), shown.constData());
    QVERIFY2(shown.contains("\r  Com:3  step 21 of 21 (100%)\n"), shown.constData());
}

void TestCli::reporterHintsAtTheGroup_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("hint");
    QTest::newRow("permission denied") << "COM5 (/dev/ttyUSB0): " + qt_error_string(EACCES) << true;
    QTest::newRow("not permitted") << "/dev/ttyS0: " + qt_error_string(EPERM) << true;
    QTest::newRow("missing device") << "COM5 (/dev/ttyUSB0): " + qt_error_string(ENOENT) << false;
    QTest::newRow("no reason") << QString() << false;
}

void TestCli::reporterHintsAtTheGroup()
{
    QFETCH(QString, reason);
    QFETCH(bool, hint);

    QString written;
    cli::CliReporter reporter([&](const QString &text) { written += text; }, false);
    reporter.setProgressMaximum(21);
    reporter.setProgressPosition(3); // not a terminal: nothing
    reporter.showMessage(QStringLiteral("Serial port can't open!"), reason);

    QString expected = QStringLiteral("Serial port can't open!\n");
    if (!reason.isEmpty())
        expected += reason + '\n';
    if (hint)
        expected += QString::fromLatin1(cli::CliReporter::permissionHint());
    QCOMPARE(written, expected);
    QCOMPARE(written.contains("dialout"), hint);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
