// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontfile.h"
#include "charset/fontinuse.h"
#include "link/fontupload.h"
#include "varlo-cli/clireporter.h"
#include "files/messagefile.h"
#include "model/messageblock.h"

#include "link/serialport.h"
#include "link/messageupload.h"
#include "virtualpanel/framedecoder.h"
#include "virtualpanel/panelmemory.h"
#include "support/hostiletarget.h"
#include "support/panelframes.h"
#include "support/virtualpanel.h"
#include "support/virtualports.h"
#include "support/workedexample.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace varlo;
using namespace varlo::test;

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs varlo-cli with XDG_CONFIG_HOME pointing at the fixture's ports folder
// (the test process set it), so that it reaches only virtual panels. With a
// launcher (e.g. setpriv and its options) it runs through that.
Run runCli(const QStringList &arguments, const QString &stderrFile = {}, const QStringList &launcher = {},
           int timeoutMs = 30000)
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    if (!stderrFile.isEmpty())
        process.setStandardErrorFile(stderrFile);
    if (launcher.isEmpty())
        process.start(QStringLiteral(VARLO_CLI_PATH), arguments);
    else
        process.start(launcher.first(), launcher.mid(1) + QStringList{QStringLiteral(VARLO_CLI_PATH)} + arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// Runs varlo-cli in the folder with arguments given in the escapes of
// printf's %b (\0377 for the byte 0xFF). QProcess hands arguments over as
// UTF-8, so only a shell can give the program names that are not.
Run runCliWithBytes(const QString &folder, const QStringList &escapedArguments)
{
    const QString script = QStringLiteral("cd \"$1\" || exit 99; shift; program=$1; shift; count=$#\n"
                                          "for a; do set -- \"$@\" \"$(printf '%b' \"$a\")\"; done\n"
                                          "shift $count; exec \"$program\" \"$@\"");
    return runCli(escapedArguments, {},
                  {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, QStringLiteral("sh"), folder});
}

// The names in a folder as bytes: QDir skips names that are not UTF-8.
QByteArrayList rawEntries(const QString &folder)
{
    QByteArrayList names;
    if (DIR *dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (const dirent *entry = ::readdir(dir)) {
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names << QByteArray(entry->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

// A terminal for varlo-cli's standard error, so that it shows its progress,
// and what it showed there.
class StderrTerminal
{
public:
    StderrTerminal()
    {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, &raw, nullptr) == 0)
            m_name = QString::fromLocal8Bit(name);
    }
    ~StderrTerminal()
    {
        for (const int fd : {m_master, m_slave}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    StderrTerminal(const StderrTerminal &) = delete;
    StderrTerminal &operator=(const StderrTerminal &) = delete;

    bool isValid() const { return !m_name.isEmpty(); }
    QString name() const { return m_name; }
    // What was written to it so far.
    QByteArray shown() const
    {
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
        QByteArray text;
        char buffer[4096];
        for (ssize_t got; (got = ::read(m_master, buffer, sizeof buffer)) > 0;)
            text.append(buffer, got);
        return text;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_name;
};

QByteArray hexLine(const QByteArray &coded)
{
    return coded.toHex(' ').toUpper();
}

// What send --dry-run prints for the set, every slot running, no delay.
QByteArray dryRunOutput(const MessageSet &set)
{
    QByteArrayList lines;
    for (const LinkFrame &frame : planMessageUpload(set, 0).frames())
        lines << hexLine(frame.lineCoded());
    return lines.join('\n') + '\n';
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// -m TEXT for each text, and --speed CODE when there is one.
QStringList textArguments(const QStringList &texts, const QString &speed)
{
    QStringList arguments;
    for (const QString &text : texts)
        arguments << "-m" << text;
    if (!speed.isEmpty())
        arguments << "--speed" << speed;
    return arguments;
}

// One line of varlo-cli show, taken apart again.
struct ShownSlot
{
    QByteArray letter;
    int speedCode = -1;
    QByteArray cells; // with its mark
    QByteArray text; // the bytes, unescaped
    bool valid = false;
};

ShownSlot parseShownLine(const QByteArray &line)
{
    ShownSlot slot;
    const qsizetype quote = line.indexOf('"');
    if (quote < 0 || !line.endsWith('"') || line.size() < quote + 2)
        return slot;
    const QByteArrayList fields = line.left(quote).simplified().split(' ');
    if (fields.size() != 3)
        return slot;
    slot.letter = fields[0];
    slot.speedCode = fields[1].toInt();
    slot.cells = fields[2];
    const QByteArray shown = line.mid(quote + 1, line.size() - quote - 2);
    static const QRegularExpression hexEscape(QStringLiteral("^x[0-9A-F]{2}$"));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char c = shown[i];
        if (c == '"' || c < 0x20 || c > 0x7E)
            return slot; // such bytes are always escaped
        if (c != '\\') {
            slot.text += c;
        } else if (shown.mid(i + 1, 1) == "\\") {
            slot.text += '\\';
            i += 1;
        } else if (hexEscape.match(QString::fromLatin1(shown.mid(i + 1, 3))).hasMatch()) {
            slot.text += static_cast<char>(shown.mid(i + 2, 2).toInt(nullptr, 16));
            i += 3;
        } else {
            return slot;
        }
    }
    slot.valid = true;
    return slot;
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
    void outputThatCannotBeWritten_data();
    void outputThatCannotBeWritten();

    void fontDryRun();
    void fontToThePanel();
    void exportedFontLoadsAsBuiltIn();
    void fontFiles_data();
    void fontFiles();
    void textFollowsTheFont();
    void fontInUseIsTheDefault();
    void fontInUseThatCantBeUsed();
    void sendFindsThePanel();
    void linkFailures_data();
    void linkFailures();
    void writeErrorMidUpload();
    void portRefused_data();
    void portRefused();
    void probe();
    void probeDevicePath_data();
    void probeDevicePath();
    void progressOnlyOnATerminal();
    void interruptedUpload_data();
    void interruptedUpload();

    void reporterHintsAtTheGroup_data();
    void reporterHintsAtTheGroup();

    void writeThenShow_data();
    void writeThenShow();
    void writeRefused_data();
    void writeRefused();
    void sendFileAsTexts_data();
    void sendFileAsTexts();
    void sendFileToThePanel();
    void fileReadErrors_data();
    void fileReadErrors();
    void namesThatAreNotUtf8_data();
    void namesThatAreNotUtf8();

    void textBecomesPanelBytes_data();
    void textBecomesPanelBytes();
    void textRefused_data();
    void textRefused();
    void rawGivesEveryByte();
    void accentAndHeartReachThePanel();
    void showGivesBackWhatWriteTakes_data();
    void showGivesBackWhatWriteTakes();
    void setOneSlot_data();
    void setOneSlot();
    void sendWithSlotsReplaced();
    void severalPorts_data();
    void severalPorts();

    void hostileFiles_data();
    void hostileFiles();
    void fileSizeLimit_data();
    void fileSizeLimit();
    void textOverTheSlot_data();
    void textOverTheSlot();
    void inputIsQuotedSafely_data();
    void inputIsQuotedSafely();
    void environmentIsNotEchoed();

private:
    std::unique_ptr<VirtualPorts> m_ports;
    QTemporaryDir m_dir;
};

void TestCli::init()
{
    m_ports = std::make_unique<VirtualPorts>();
    QVERIFY(m_ports->isValid());
}

void TestCli::cleanup()
{
    // Whatever a test sent went out on a line set as the panel needs it.
    const QStringList lineErrors = m_ports->lineErrors();
    m_ports.reset();
    QCOMPARE(lineErrors, QStringList());
}

void TestCli::dryRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<int>("line"); // the line checked
    QTest::addColumn<QByteArray>("head"); // its first bytes, line-coded

    // 0x21 codes to B3, 0x02 to 82.
    QTest::newRow("empty -m leaves slot A empty")
        << QStringList{"send", "-m", "", "-m", "B", "--dry-run"} << 6 << 0 << QByteArray::fromHex("82 B2 B3 A0");
    QTest::newRow("speed and stop reach the directory")
        << QStringList{"send", "-m", "X", "--speed", "2", "--stop", "a", "--dry-run"} << 6 << 4
        << QByteArray::fromHex("82 B2 5C A0 B1 82 B1 B1 A0 A0");
    QTest::newRow("no text: directory and end frame")
        << QStringList{"send", "--dry-run", "--port", "COM9"} << 2 << 1 << QByteArray::fromHex("82 90 A0");
    QTest::newRow("delay changes no byte") << QStringList{"send", "-m", "AB", "--delay", "10", "--dry-run"} << 6 << 0
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
    for (const QByteArray &frame : workedExampleFrames())
        expected << hexLine(frame);
    QCOMPARE(run.out, expected.join('\n') + '\n');

    // A byte that is no UTF-8 goes into the slot as it is: 0xE9, with the
    // checksum 0xEA, codes to 37 and 04.
    QProcess shell;
    shell.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    shell.start(QStringLiteral("/bin/sh"),
                {"-c", QStringLiteral("exec '%1' send --raw -m \"$(printf '\\351')\" --dry-run").arg(VARLO_CLI_PATH)});
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
    QTest::newRow("stray argument") << QStringList{"probe", "file.vlo"} << QByteArray("'file.vlo'");
    QTest::newRow("two files") << QStringList{"send", "a.vlo", "b.vlo"} << QByteArray("'b.vlo'");
    QTest::newRow("file and -m") << QStringList{"send", "a.vlo", "-m", "A"}
                                 << QByteArray("a file or -m texts, not both");
    QTest::newRow("file and --speed") << QStringList{"send", "--speed", "2", "a.vlo"}
                                      << QByteArray("--speed goes with -m");
    QTest::newRow("write without a file") << QStringList{"write", "-m", "A"} << QByteArray("OUT.vlo missing");
    QTest::newRow("show without a file") << QStringList{"show"} << QByteArray("FILE.vlo missing");
    QTest::newRow("the file keeps no run flags")
        << QStringList{"write", "a.vlo", "--stop", "A"} << QByteArray("Unknown option 'stop'");
    QTest::newRow("show takes no text") << QStringList{"show", "a.vlo", "-m", "A"} << QByteArray("Unknown option 'm'");
    QTest::newRow("font takes no text") << QStringList{"font", "-m", "A"} << QByteArray("Unknown option 'm'");
    QStringList tooMany = {"send"};
    for (int i = 0; i < 21; ++i)
        tooMany << "-m"
                << "x";
    QTest::newRow("21 texts") << tooMany << QByteArray("21 texts");
    QTest::newRow("missing value") << QStringList{"send", "-m"} << QByteArray("value");
    // Given twice, one of them would be lost.
    QTest::newRow("delay twice") << QStringList{"send", "--delay", "1", "--delay", "2"}
                                 << QByteArray("--delay given more than once");
    QTest::newRow("speed twice") << QStringList{"write", "a.vlo", "--speed", "1", "--speed", "1"}
                                 << QByteArray("--speed given more than once");
    QTest::newRow("stop twice") << QStringList{"send", "--stop", "A", "--stop", "B"}
                                << QByteArray("--stop given more than once");
    QTest::newRow("probe takes one port")
        << QStringList{"probe", "--port", "COM3,COM4"} << QByteArray("--port: probe takes one port");
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
    QTest::addColumn<bool>("ports");
    QTest::newRow("overview") << QStringList{"--help"} << true;
    QTest::newRow("send") << QStringList{"send", "--help"} << true;
    QTest::newRow("probe") << QStringList{"probe", "-h"} << true;
    QTest::newRow("font") << QStringList{"font", "--help"} << true;
    QTest::newRow("write") << QStringList{"write", "--help"} << false;
    QTest::newRow("show") << QStringList{"show", "--help"} << false;
    QTest::newRow("set") << QStringList{"set", "--help"} << false;
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ports);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 0);
    for (const char *part : {"Usage: varlo-cli", "Example", "3 a message or font file could not be read"})
        QVERIFY2(run.out.contains(part), part);
    for (const char *part :
         {"COM5 to COM8    /dev/ttyUSB0 to /dev/ttyUSB3", "COM13 to COM15  /dev/ttyS4 to /dev/ttyS6", "varlo/ports"})
        QVERIFY2(run.out.contains(part) == ports, part);
    for (const QByteArray &line : run.out.split('\n'))
        QVERIFY2(line.size() <= 80 || line.startsWith("Usage:"), line.constData());
}

void TestCli::outputThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // %1: a message file
    QTest::addColumn<int>("exitCode");

    const QString cli = QStringLiteral(VARLO_CLI_PATH);
    QTest::newRow("show") << cli << QStringList{"show", "%1"} << 4;
    QTest::newRow("send --dry-run") << cli << QStringList{"send", "%1", "--dry-run"} << 4;
    QTest::newRow("font --dry-run") << cli << QStringList{"font", "--dry-run"} << 4;
    QTest::newRow("probe") << cli << QStringList{"probe"} << 4;
    // --help and --version of each program: tst_frontend.
    QTest::newRow("show --help") << cli << QStringList{"show", "--help"} << 4;
    // A failure already reported keeps its status.
    QTest::newRow("show of a damaged file") << cli << QStringList{"show", "%1.damaged"} << 3;
}

void TestCli::outputThatCannotBeWritten()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        QSKIP("no /dev/full here");

    const QString file = m_dir.filePath(QStringLiteral("output.vlo"));
    QVERIFY(writeBytes(file, encodeMessageFile(MessageSet())));
    QVERIFY(writeBytes(file + QStringLiteral(".damaged"), encodeMessageFile(MessageSet()).chopped(3)));
    for (QString &argument : arguments)
        argument.replace(QStringLiteral("%1"), file);
    m_ports->addPanel(3);

    // Standard output on a device where every write fails for want of space.
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(30000));

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    const QString name = QFileInfo(program).fileName();
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(err.endsWith(QStringLiteral("%1: write error: %2\n").arg(name, qt_error_string(ENOSPC))), qPrintable(err));
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

// The built-in font written as a file, read back and sent puts exactly the
// built-in upload's bytes on the line.
void TestCli::exportedFontLoadsAsBuiltIn()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("built-in.vlf"));
    const Run exported = runCli({"font", "--export", path});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.err, QByteArray());

    VirtualPanel &panel = m_ports->addPanel(3);
    const Run run = runCli({"font", path, "--port", "COM3"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    QByteArray expected;
    for (const LinkFrame &frame : characterGeneratorFrames(FontTable::image()))
        expected += frame.lineCoded();
    QCOMPARE(expected.size(), 4416);
    QCOMPARE(panel.waitForBytes(4416, 5000), 4416);
    QCOMPARE(panel.received(), expected);
}

void TestCli::fontFiles_data()
{
    QTest::addColumn<QByteArray>("text"); // empty: no file at all
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err"); // a fragment of standard error, PATH for the file's path
    QTest::addColumn<QByteArray>("glyph"); // normal A as the frames carry it

    const QByteArray builtIn = fontFileText(FontFile::builtIn());
    QByteArray wide = builtIn;
    // Row 0 of normal A, "..#.....", lit in column 6 as well.
    wide.replace("[065] A\n..#.....\n", "[065] A\n..#...#.\n");
    QByteArray broken = builtIn;
    broken.replace("[065] A\n", "[065] AA\n");

    QTest::newRow("built-in") << builtIn << 0 << QString() << QByteArray::fromHex("7C1211127C000000");
    QTest::newRow("a warning, used all the same")
        << wide << 0 << QStringLiteral("PATH: warning: the normal face lights columns 5 to 7 at codes 65:")
        << QByteArray::fromHex("7C1211127C000100");
    QTest::newRow("a fault names its line")
        << broken << 3 << QStringLiteral("PATH:588: error: the label of glyph [065]") << QByteArray();
    QTest::newRow("missing") << QByteArray() << 3 << QStringLiteral("PATH: error: ") << QByteArray();
}

void TestCli::fontFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QFETCH(QByteArray, glyph);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mine.vlf"));
    if (!text.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const Run run = runCli({"font", "--dry-run", path});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.err).contains(QString(err).replace(QStringLiteral("PATH"), path)),
             run.err.constData());
    if (err.isEmpty())
        QCOMPARE(run.err, QByteArray());
    if (glyph.isEmpty()) {
        QCOMPARE(run.out, QByteArray());
        return;
    }
    // Frame 8 carries codes 64 to 71 of the normal face.
    QByteArray image = FontTable::image().toByteArray();
    image.replace(FontTable::offset(FontTable::Font::Normal, 65), FontTable::kGlyphBytes, glyph);
    QCOMPARE(run.out.split('\n').at(8), hexLine(characterGeneratorFrames(image)[8].lineCoded()));
}

// With a font file's labels, text means that font's codes: both ways.
void TestCli::textFollowsTheFont()
{
    QTemporaryDir dir;
    const QString cyrillic = QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf");
    const QString path = dir.filePath(QStringLiteral("moscow.vlo"));
    const Run refused = runCli({"write", path, "-m", "МОСКВА"});
    QCOMPARE(refused.exitCode, 2);

    const Run run = runCli({"write", path, "-m", "МОСКВА ~H", "--font", cyrillic});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    MessageSet set;
    QVERIFY(readMessageFile(path, set).ok());
    // Code page 866: А is 128, so М 140, О 142, С 145, К 138, В 130.
    QCOMPARE(set.markup(0), QByteArray("\x8C\x8E\x91\x8A\x82\x80 ~H"));

    const Run shown = runCli({"show", path, "--font", cyrillic});
    QCOMPARE(shown.exitCode, 0);
    QVERIFY2(QString::fromUtf8(shown.out).startsWith(QStringLiteral("A    4    8  \"МОСКВА ~H\"")),
             shown.out.constData());

    const Run broken = runCli({"show", path, "--font", dir.filePath(QStringLiteral("missing.vlf"))});
    QCOMPARE(broken.exitCode, 3);
    QCOMPARE(broken.out, QByteArray());
}

// What the window chose is every command's font until --font says otherwise;
// builtin names the built-in one.
void TestCli::fontInUseIsTheDefault()
{
    QTemporaryDir dir;
    const QString cyrillic = QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf");
    // The fixture's XDG_CONFIG_HOME is where the window would remember it.
    QCOMPARE(FontInUse::remember(qEnvironmentVariable("XDG_CONFIG_HOME"), cyrillic), QString());
    const QString path = dir.filePath(QStringLiteral("moscow.vlo"));

    const Run run = runCli({"write", path, "-m", "МОСКВА"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    MessageSet set;
    QVERIFY(readMessageFile(path, set).ok());
    QCOMPARE(set.markup(0), QByteArray("\x8C\x8E\x91\x8A\x82\x80"));
    const Run shown = runCli({"show", path});
    QVERIFY2(QString::fromUtf8(shown.out).startsWith(QStringLiteral("A    4    6  \"МОСКВА\"")), shown.out.constData());

    // builtin: the same bytes as the built-in font draws them.
    QCOMPARE(runCli({"write", path, "-m", "МОСКВА", "--font", "builtin"}).exitCode, 2);
    const Run builtIn = runCli({"show", path, "--font", "builtin"});
    QVERIFY2(QString::fromUtf8(builtIn.out).startsWith(QStringLiteral("A    4    6  \"îÄæèéÇ\"")),
             builtIn.out.constData());

    // Initial from the command line loads the font in use too.
    const QByteArray cyrillicImage = readFontFilePath(cyrillic).font->image();
    const Run frames = runCli({"font", "--dry-run"});
    QCOMPARE(frames.exitCode, 0);
    QCOMPARE(frames.out.split('\n').at(20), hexLine(characterGeneratorFrames(cyrillicImage)[20].lineCoded()));
    const Run builtInFrames = runCli({"font", "builtin", "--dry-run"});
    QCOMPARE(builtInFrames.out.split('\n').at(20),
             hexLine(characterGeneratorFrames(FontTable::image())[20].lineCoded()));
    QVERIFY(frames.out.split('\n').at(20) != builtInFrames.out.split('\n').at(20));

    const Run help = runCli({"show", "--help"});
    QVERIFY2(help.out.contains("Default: the font in use"), help.out.constData());
}

// A font in use that has gone: the built-in font, and standard error says
// which file and why; the command goes on.
void TestCli::fontInUseThatCantBeUsed()
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone.vlf"));
    QCOMPARE(FontInUse::remember(qEnvironmentVariable("XDG_CONFIG_HOME"), gone), QString());
    const QString path = dir.filePath(QStringLiteral("plain.vlo"));
    const Run run = runCli({"write", path, "-m", "Ça va"});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.contains(QFile::encodeName(gone)) && run.err.contains("built-in"), run.err.constData());
    MessageSet set;
    QVERIFY(readMessageFile(path, set).ok());
    QCOMPARE(set.markup(0),
             QByteArray("\x80"
                        "a va"));
    // --font builtin asks for nothing that could fail.
    const Run builtIn = runCli({"show", path, "--font", "builtin"});
    QCOMPARE(builtIn.exitCode, 0);
    QCOMPARE(builtIn.err, QByteArray());
}

void TestCli::sendFindsThePanel()
{
    VirtualPanel &panel = m_ports->addPanel(3);
    const Run run = runCli({"send", "-m", "AB"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray()); // no terminal, no progress
    QCOMPARE(panel.waitForBytes(1 + 348, 5000), 1 + 348);
    QCOMPARE(panel.received(), "T" + workedExampleStream());
}

namespace {

// What a program says on standard error: each line after its name.
QString named(const QString &text, const QString &program = QStringLiteral("varlo-cli"))
{
    QString result;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        result += program + QStringLiteral(": ") + line + QLatin1Char('\n');
    return result;
}

// Discovery that found no panel says so, then each port it tried.
void compareFailure(const QString &actual, const QString &expected)
{
    if (expected.contains(QStringLiteral("Can't find serial port!"))) {
        QVERIFY2(actual.startsWith(named(expected)), qPrintable(actual));
        QVERIFY2(actual.contains(QStringLiteral("varlo-cli: Ports tried:\n")), qPrintable(actual));
    } else {
        QCOMPARE(actual, named(expected));
    }
}

} // namespace

void TestCli::linkFailures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("no panel anywhere") << QStringList{"send", "-m", "AB"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("probe finds no panel") << QStringList{"probe"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("font finds no panel") << QStringList{"font"} << QByteArray(" Can't find serial port!\n");
    QTest::newRow("chosen port missing") << QStringList{"send", "-m", "AB", "--port", "COM4"}
                                         << QByteArray(
                                                "Serial port can't open!\nCOM4 (%1): No such file or directory\n");
    QTest::newRow("device path missing") << QStringList{
        "probe", "--port",
        "/nonexistent/tty"} << QByteArray("Serial port can't open!\n/nonexistent/tty: No such file or directory\n");
}

void TestCli::linkFailures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, err);
    m_ports->addPanel(7, VirtualPanel::Answer::Silent);

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    compareFailure(QString::fromLocal8Bit(run.err), QString::fromLocal8Bit(err).replace("%1", m_ports->entry(4)));
    if (arguments.first() != QLatin1String("probe") && !arguments.contains(QStringLiteral("--port")))
        QVERIFY2(run.err.contains("varlo-cli: COM7 ("), run.err.constData());
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
    QCOMPARE(
        QString::fromLocal8Bit(run.err),
        named(
            QStringLiteral("Serial port write error!\nCOM2 (%1): %2\n").arg(m_ports->entry(2), qt_error_string(EIO))));
}

namespace {

enum class Refusal {
    HeldByAnotherProgram,
    NoPermission,
    // What any user can put in the lock folder: a named pipe, or a link to
    // /dev/zero, as the port's lock file, or a stale lock and a named pipe
    // as the .rmlock beside it.
    LockIsPipe,
    LockLinksToZero,
    StaleLockWithPipe,
};

// Puts the refusal's entries into the lock folder; the guard takes them away.
auto plantLockFile(Refusal refusal, const QString &lock)
{
    const QString rmlock = lock + QStringLiteral(".rmlock");
    auto guard = qScopeGuard([=] {
        QFile::remove(lock);
        QFile::remove(rmlock);
    });
    bool planted = false;
    switch (refusal) {
    case Refusal::LockIsPipe:
        planted = ::mkfifo(QFile::encodeName(lock).constData(), 0644) == 0;
        break;
    case Refusal::LockLinksToZero:
        planted = QFile::link(QStringLiteral("/dev/zero"), lock);
        break;
    case Refusal::StaleLockWithPipe:
        // A process id no process has: the lock is stale.
        planted = writeBytes(lock, "2147483600\n") && ::mkfifo(QFile::encodeName(rmlock).constData(), 0644) == 0;
        break;
    default:
        break;
    }
    return std::make_pair(planted, std::move(guard));
}

// How to run varlo-cli as a user without rights to a device that the test
// made unreadable: root ignores permission bits, so as root it runs as
// nobody. Empty when that is impossible here.
std::optional<QStringList> unprivilegedLauncher()
{
    if (::geteuid() != 0)
        return QStringList{};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return std::nullopt;
    return QStringList{setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
}

} // namespace

Q_DECLARE_METATYPE(Refusal)

void TestCli::portRefused_data()
{
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("reason"); // after "COM4 (<entry>): "

    // The holder here is this test program.
    const QString busy = QStringLiteral("In use by another program: %1 (process %2)")
                             .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                             .arg(QCoreApplication::applicationPid());
    const QString denied = qt_error_string(EACCES);
    QTest::newRow("chosen port held by another program")
        << Refusal::HeldByAnotherProgram << QStringList{"send", "-m", "AB", "--port", "COM4"}
        << "Serial port can't open!" << busy;
    QTest::newRow("discovery passes a held port and says why")
        << Refusal::HeldByAnotherProgram << QStringList{"probe"} << " Can't find serial port!" << busy;
    QTest::newRow("chosen port without permission")
        << Refusal::NoPermission << QStringList{"send", "-m", "AB", "--port", "COM4"} << "Serial port can't open!"
        << denied;
    QTest::newRow("discovery passes a port without permission and says why")
        << Refusal::NoPermission << QStringList{"font"} << " Can't find serial port!" << denied;

    // Each would keep the opening waiting for ever. %1: the lock file.
    const QString notALock = QStringLiteral("Busy: the lock file %1 is not a regular file");
    QTest::newRow("chosen port whose lock file is a named pipe")
        << Refusal::LockIsPipe << QStringList{"send", "-m", "AB", "--port", "COM4"} << "Serial port can't open!"
        << notALock;
    QTest::newRow("discovery passes a port whose lock file is a named pipe")
        << Refusal::LockIsPipe << QStringList{"send", "-m", "AB"} << " Can't find serial port!" << notALock;
    QTest::newRow("chosen port whose lock file links to /dev/zero")
        << Refusal::LockLinksToZero << QStringList{"font", "--port", "COM4"} << "Serial port can't open!" << notALock;
    QTest::newRow("discovery passes a port whose lock file links to /dev/zero")
        << Refusal::LockLinksToZero << QStringList{"probe"} << " Can't find serial port!" << notALock;
    QTest::newRow("chosen port with a stale lock and a named pipe beside it")
        << Refusal::StaleLockWithPipe << QStringList{"send", "-m", "AB", "--port", "COM4"} << "Serial port can't open!"
        << notALock.arg("%1.rmlock");
}

void TestCli::portRefused()
{
    QFETCH(Refusal, refusal);
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QFETCH(QString, reason);

    // The only panel there is, on COM4, would answer the probe.
    VirtualPanel &panel = m_ports->addPanel(4);
    QVERIFY(panel.isValid());
    SerialPort holder;
    QStringList launcher;
    const QString lock = SerialPort::lockFilePath(panel.slavePath());
    if (refusal == Refusal::HeldByAnotherProgram) {
        QVERIFY(holder.open(4));
    } else if (refusal != Refusal::NoPermission) {
        // The lock file is where opening the port puts it.
        QVERIFY(holder.open(4));
        QVERIFY2(QFileInfo(lock).isFile(), qPrintable(lock));
        QVERIFY(holder.close());
        QVERIFY(!QFileInfo::exists(lock));
    } else {
        const auto unprivileged = unprivilegedLauncher();
        if (!unprivileged)
            QSKIP("running as root without setpriv: no way to run varlo-cli as a user that permissions hold");
        launcher = *unprivileged;
        // The user must reach the ports folder, but not the device.
        QVERIFY(QFile::setPermissions(m_ports->configHome(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                          | QFile::ExeOther));
        QCOMPARE(::chmod(QFile::encodeName(panel.slavePath()).constData(), 0), 0);
    }

    const auto [planted, removePlanted] = plantLockFile(refusal, lock);
    QCOMPARE(planted, refusal != Refusal::HeldByAnotherProgram && refusal != Refusal::NoPermission);

    // A port that keeps the opening waiting fails the test after 10 s.
    const Run run = runCli(arguments, {}, launcher, 10000);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QString expected = message + '\n' + QStringLiteral("COM4 (%1): %2\n").arg(m_ports->entry(4), reason.arg(lock));
    if (refusal == Refusal::NoPermission)
        expected += QString::fromLatin1(cli::CliReporter::permissionHint());
    compareFailure(QString::fromLocal8Bit(run.err), expected);
    QCOMPARE(panel.received(), QByteArray());
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

void TestCli::probeDevicePath_data()
{
    QTest::addColumn<QString>("linkName"); // empty: the device itself

    QTest::newRow("the device") << QString();
    QTest::newRow("a link whose name is beyond ASCII") << QStringLiteral("Ger\u00E4t");
}

void TestCli::probeDevicePath()
{
    QFETCH(QString, linkName);
    VirtualPanel panel;
    QString path = panel.slavePath();
    if (!linkName.isEmpty()) {
        path = m_dir.filePath(linkName);
        QFile::remove(path);
        QVERIFY(QFile::link(panel.slavePath(), path));
    }

    const Run run = runCli({"probe", "--port", path});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, path.toUtf8() + '\n');
    QCOMPARE(panel.received(), QByteArray()); // opened and closed, not probed
}

void TestCli::progressOnlyOnATerminal()
{
    m_ports->addPanel(3);
    const StderrTerminal terminal;
    QVERIFY(terminal.isValid());

    const Run run = runCli({"send", "-m", "AB"}, terminal.name());
    QCOMPARE(run.exitCode, 0);

    const QByteArray shown = terminal.shown();
    QVERIFY2(shown.contains("\r  Com:3  step 0 of 21 (0%)"), shown.constData());
    QVERIFY2(shown.contains("\r  Com:3  step 21 of 21 (100%)\n"), shown.constData());
}

void TestCli::interruptedUpload_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

void TestCli::interruptedUpload()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);

    VirtualPanel &panel = m_ports->addPanel(3);
    const QString lock = SerialPort::lockFilePath(panel.slavePath());
    const StderrTerminal terminal;
    QVERIFY(terminal.isValid());

    // Twenty slots, each after a Commu Delay of 500 ms: ten seconds in all.
    QStringList arguments = {"send", "--delay", "10", "--port", "COM3"};
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        arguments << "-m"
                  << "X";
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.setStandardErrorFile(terminal.name());
    process.start(QStringLiteral(VARLO_CLI_PATH), arguments);
    QVERIFY(process.waitForStarted());

    // Slot A is on the line and the pause before slot B has begun.
    QCOMPARE(panel.waitForBytes(276, 10000), 276);
    QVERIFY2(QFileInfo(lock).isFile(), qPrintable(lock));
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    const bool finished = process.waitForFinished(10000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }

    QVERIFY(finished);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), exitCode);
    // The port was let go, and the upload went no further.
    QVERIFY(!QFileInfo::exists(lock));
    QVERIFY(panel.receivedCount() < 2 * 276);
    const QByteArray shown = terminal.shown();
    QVERIFY2(shown.contains("\r  Com:3  step 1 of 21 (4%)"), shown.constData());
    QVERIFY2(shown.endsWith('\n'), shown.constData());
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
    UploadOutcome outcome;
    outcome.result = UploadResult::CantOpen;
    outcome.reason = reason;
    showUploadEnd(outcome, reporter);

    QString expected = QStringLiteral("Serial port can't open!\n");
    if (!reason.isEmpty())
        expected += reason + '\n';
    if (hint)
        expected += QString::fromLatin1(cli::CliReporter::permissionHint());
    QCOMPARE(written, named(expected, QCoreApplication::applicationName()));
    QCOMPARE(written.contains("dialout"), hint);
}

void TestCli::writeThenShow_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("texts"); // as text, through the panel's map
    QTest::addColumn<QByteArrayList>("markups"); // what the slots hold; none: the texts' ASCII
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QByteArray>("bytes"); // the whole file, when checked
    QTest::addColumn<QByteArray>("lineA");
    QTest::addColumn<QByteArray>("lineB");

    const QByteArray empty58 = QByteArray(15, ' ') + QByteArray(20, 4) + QByteArray(20, 0) + "END";
    QTest::newRow("no texts: twenty empty slots at speed code 4")
        << "empty.vlo" << QStringList{} << QByteArrayList{} << QString() << empty58 << QByteArray(R"(A    4    0  "")")
        << QByteArray(R"(B    4    0  "")");
    QTest::newRow("an escape at speed code 0")
        << "heart.vlo" << QStringList{"HI~H"} << QByteArrayList{} << "0"
        << QByteArray(15, ' ') + '\0' + QByteArray(19, 4) + QByteArray::fromHex("04 48 49 7E 48") + QByteArray(19, 0)
            + "END"
        << QByteArray(R"(A    0    3  "HI~H")") << QByteArray(R"(B    4    0  "")");
    QTest::newRow("quote, backslash, control pictures and the panel's own letters")
        << "odd.vlo" << QStringList{"a\\b\"c", "\u2409 \u00E9\u2421~"} << QByteArrayList{"a\\b\"c", "\x09 \x82\x7F~"}
        << "255" << QByteArray() << QByteArray(R"(A  255    5  "a\b"c")")
        << QByteArray("B  255    4  \"\u2409 \u00E9\u2421~\"");
    QTest::newRow("spaces at either end")
        << "spaces.vlo" << QStringList{" ", "  X  "} << QByteArrayList{} << QString() << QByteArray()
        << QByteArray(R"(A    4    1  " ")") << QByteArray(R"(B    4    5  "  X  ")");
    QTest::newRow("125 cells fit, 126 are marked")
        << "full.vlo" << QStringList{QString(125, 'x'), QString(126, 'y')} << QByteArrayList{} << QString()
        << QByteArray() << "A    4  125  \"" + QByteArray(125, 'x') + '"'
        << "B    4  126! \"" + QByteArray(126, 'y') + '"';
    QTest::newRow("255 bytes fit the file")
        << "longest.vlo" << QStringList{QString(), QString(255, 'z')} << QByteArrayList{} << QString() << QByteArray()
        << QByteArray(R"(A    4    0  "")") << "B    4  255! \"" + QByteArray(255, 'z') + '"';
    QTest::newRow("a file name beyond ASCII")
        << "Gr\u00FC\u00DFe.vlo" << QStringList{"~+"} << QByteArrayList{} << QString() << QByteArray()
        << QByteArray(R"(A    4    1  "~+")") << QByteArray(R"(B    4    0  "")");
}

void TestCli::writeThenShow()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, texts);
    QFETCH(QByteArrayList, markups);
    QFETCH(QString, speed);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, lineA);
    QFETCH(QByteArray, lineB);

    const QString path = m_dir.filePath(fileName);
    const Run write = runCli(QStringList{"write", path} + textArguments(texts, speed));
    QCOMPARE(write.err, QByteArray());
    QCOMPARE(write.out, QByteArray());
    QCOMPARE(write.exitCode, 0);

    MessageSet expected;
    expected.clearForNew();
    for (int slot = 0; slot < texts.size(); ++slot) {
        expected.setMarkup(slot, markups.isEmpty() ? texts[slot].toLatin1() : markups[slot]);
        expected.setSpeedCode(slot, speed.isEmpty() ? 4 : quint8(speed.toInt()));
    }
    MessageSet read;
    QVERIFY(readMessageFile(path, read).ok());
    QCOMPARE(read, expected);
    if (!bytes.isEmpty())
        QCOMPARE(fileBytes(path).toHex(' '), bytes.toHex(' '));

    const Run show = runCli({"show", path});
    QCOMPARE(show.err, QByteArray());
    QCOMPARE(show.exitCode, 0);
    QVERIFY(show.out.endsWith('\n'));
    const QByteArrayList lines = show.out.chopped(1).split('\n');
    QCOMPARE(lines.size(), MessageSet::kSlotCount);
    QCOMPARE(lines[0], lineA);
    QCOMPARE(lines[1], lineB);
    // Every line of show --raw gives its slot back.
    const Run showRaw = runCli({"show", "--raw", path});
    QCOMPARE(showRaw.exitCode, 0);
    const QByteArrayList rawLines = showRaw.out.chopped(1).split('\n');
    QCOMPARE(rawLines.size(), MessageSet::kSlotCount);
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        const ShownSlot shown = parseShownLine(rawLines[slot]);
        QVERIFY2(shown.valid, rawLines[slot].constData());
        QCOMPARE(shown.letter, QByteArray(1, MessageSet::slotLetter(slot)));
        QCOMPARE(shown.speedCode, int(read.speedCode(slot)));
        QCOMPARE(shown.text, read.markup(slot));
        const int cells = markupCellCount(read.markup(slot));
        QCOMPARE(shown.cells, QByteArray::number(cells) + (cells > block::kCellCapacity ? "!" : ""));
    }
}

void TestCli::writeRefused_data()
{
    QTest::addColumn<QString>("target"); // "plain" is a regular file, "folder" a folder
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<QString>("err"); // %1: the target's path

    const QStringList tooLong = {"fits", QString(256, 'x')};
    QTest::newRow("a text of 256 bytes") << "new.vlo" << tooLong << false
                                         << " Slot B text too long (255 characters at most)! \n";
    QTest::newRow("a text of 256 bytes over an old file")
        << "old.vlo" << tooLong << true << " Slot B text too long (255 characters at most)! \n";
    QTest::newRow("a folder that is a regular file") << "plain/out.vlo" << QStringList{"A"} << false
                                                     << " File Write Error! \n%1: " + qt_error_string(ENOTDIR) + '\n';
    QTest::newRow("a folder as the file")
        << "folder" << QStringList{"A"} << false << " File Write Error! \n%1: " + qt_error_string(EISDIR) + '\n';
}

void TestCli::writeRefused()
{
    QFETCH(QString, target);
    QFETCH(QStringList, texts);
    QFETCH(bool, oldFile);
    QFETCH(QString, err);

    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("plain"), "not a folder"));
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(target);
    const QByteArray old = QByteArray(15, ' ') + QByteArray(20, 1) + QByteArray(20, 0) + "END and more";
    if (oldFile)
        QVERIFY(writeBytes(path, old));

    const Run run = runCli(QStringList{"write", path} + textArguments(texts, {}));
    QCOMPARE(QString::fromLocal8Bit(run.err), named(QString(err).replace("%1", path)));
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, 3);
    if (oldFile)
        QCOMPARE(fileBytes(path), old);
    else
        QVERIFY(!QFileInfo(path).isFile());
    // Nothing left behind beside it either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(),
             oldFile ? 3 : 2);
}

void TestCli::sendFileAsTexts_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("stop");

    QTest::newRow("the worked example") << QStringList{"AB"} << QString() << QString();
    QTest::newRow("speed, stop and escapes") << QStringList{"OPEN ~H", "", "~BSALE~A today", "\u00E9"} << "2"
                                             << "AC";
    QTest::newRow("twenty slots at speed 0") << QStringList(20, "~F*") << "0"
                                             << "T";
    QTest::newRow("no text") << QStringList{} << QString() << "B";
}

void TestCli::sendFileAsTexts()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, speed);
    QFETCH(QString, stop);

    const QString path = m_dir.filePath("texts.vlo");
    QCOMPARE(runCli(QStringList{"write", path} + textArguments(texts, speed)).exitCode, 0);

    QStringList common = {"--dry-run", "--delay", "3"};
    if (!stop.isEmpty())
        common << "--stop" << stop;
    const Run fromTexts = runCli(QStringList{"send"} + textArguments(texts, speed) + common);
    const Run fromFile = runCli(QStringList{"send", path} + common);
    QCOMPARE(fromTexts.exitCode, 0);
    QCOMPARE(fromFile.exitCode, 0);
    QCOMPARE(fromFile.err, QByteArray());
    QVERIFY(!fromTexts.out.isEmpty());
    QCOMPARE(fromFile.out, fromTexts.out);
}

void TestCli::sendFileToThePanel()
{
    VirtualPanel &panel = m_ports->addPanel(3);
    const QString path = m_dir.filePath("worked.vlo");
    QVERIFY(writeBytes(path, encodeMessageFile(workedExampleSet())));

    const Run run = runCli({"send", path});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(panel.waitForBytes(1 + 348, 5000), 1 + 348);
    QCOMPARE(panel.received(), "T" + workedExampleStream());
}

void TestCli::fileReadErrors_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("fileName"); // "folder" is a folder
    QTest::addColumn<QByteArray>("bytes"); // null: no such file
    QTest::addColumn<QString>("err"); // %1: the file's path
    QTest::addColumn<QByteArray>("out"); // show: the first line

    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, "HI~H");
    set.setMarkup(1, "LAST");
    set.setSpeedCode(0, 0);
    const QByteArray good = encodeMessageFile(set);
    const QByteArray lowerCaseEnd = good.chopped(3) + "end";
    QByteArray badHeader = good;
    badHeader[2] = 'X';
    const QByteArray cutInAText = good.left(messagefile::kRecordsOffset + 3);

    const QString missing = "%1 File No Found !\n File Read Error! \n%1: " + qt_error_string(ENOENT) + '\n';
    const QString readError = " File Read Error! \n";
    const QString endNotFound = " End of File not found! \n";
    for (const QString command : {"send", "show"}) {
        const bool show = command == "show";
        QTest::addRow("%s: no such file", qPrintable(command))
            << command << "missing.vlo" << QByteArray() << missing << QByteArray();
        QTest::addRow("%s: a rejected header", qPrintable(command))
            << command << "header.vlo" << badHeader
            << readError + "%1: Not a message file: its header does not have a space at byte 3.\n"
            << QByteArray();
        QTest::addRow("%s: two bytes", qPrintable(command))
            << command << "short.vlo" << QByteArray("  ")
            << readError + "%1: The file is too short for a message file (2 bytes).\n"
            << QByteArray();
        QTest::addRow("%s: a folder", qPrintable(command))
            << command << "folder" << QByteArray() << readError + "%1: " + qt_error_string(EISDIR) + '\n'
            << QByteArray();
        // What could be read is shown, as the window would open it.
        QTest::addRow("%s: end in lower case", qPrintable(command))
            << command << "end.vlo" << lowerCaseEnd << endNotFound
            << (show ? QByteArray(R"(A    0    3  "HI~H")") : QByteArray());
        // Speed codes the file lacks are as New leaves them.
        QTest::addRow("%s: the file ends in the speed codes", qPrintable(command))
            << command << "codes.vlo" << good.left(messagefile::kRecordsOffset - 20) << endNotFound
            << (show ? QByteArray(R"(A    4    0  "")") : QByteArray());
        QTest::addRow("%s: the file ends in a text", qPrintable(command))
            << command << "cut.vlo" << cutInAText << endNotFound
            << (show ? QByteArray(R"(A    0    2  "HI")") : QByteArray());
    }
}

void TestCli::fileReadErrors()
{
    QFETCH(QString, command);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, err);
    QFETCH(QByteArray, out);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const QString path = dir.filePath(fileName);
    if (!bytes.isNull())
        QVERIFY(writeBytes(path, bytes));
    VirtualPanel &panel = m_ports->addPanel(3);

    const Run run = runCli(command == "send" ? QStringList{"send", path, "--port", "COM3"} : QStringList{"show", path});
    QCOMPARE(QString::fromLocal8Bit(run.err), named(QString(err).replace("%1", path)));
    QCOMPARE(run.exitCode, 3);
    if (out.isEmpty())
        QCOMPARE(run.out, QByteArray());
    else
        QCOMPARE(run.out.split('\n').first(), out);
    // Nothing reached the panel, not even the port step's probe. The process
    // has ended, so anything it wrote is in the line already.
    QCOMPARE(panel.waitForBytes(1, 200), 0);
}

void TestCli::namesThatAreNotUtf8_data()
{
    QTest::addColumn<QStringList>("arguments"); // printf %b escapes
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");

    const QString badFile = QStringLiteral("bad\\0377\\0376.vlo");
    const QString fileErr = QStringLiteral("varlo-cli %1: bad\\xFF\\xFE.vlo: the name is not valid UTF-8, and "
                                           "varlo-cli can only open names that are; rename it\n");
    QTest::newRow("write makes no file under another name")
        << QStringList{"write", badFile, "-m", "X"} << false << 3 << fileErr.arg("write");
    QTest::newRow("show finds the file it names") << QStringList{"show", badFile} << true << 3 << fileErr.arg("show");
    QTest::newRow("send finds the file it names")
        << QStringList{"send", badFile, "--port", "COM3"} << true << 3 << fileErr.arg("send");
    QTest::newRow("a device path for --port")
        << QStringList{"send", "-m", "X", "--port", "./tty\\0377"} << false << 2
        << QStringLiteral("varlo-cli send: --port ./tty\\xFF: the name is not valid UTF-8, and varlo-cli can "
                          "only open names that are; rename it\n");
}

void TestCli::namesThatAreNotUtf8()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, fileExists);
    QFETCH(int, exitCode);
    QFETCH(QString, err);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray rawName = "bad\xFF\xFE.vlo";
    const QByteArray rawPath = QFile::encodeName(dir.path()) + '/' + rawName;
    // QTemporaryDir can't remove a name that is not UTF-8 either.
    const auto removeRawFile = qScopeGuard([&] { ::unlink(rawPath.constData()); });
    const QByteArray original = encodeMessageFile(MessageSet());
    if (fileExists) {
        const int fd = ::open(rawPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, original.constData(), size_t(original.size())), ssize_t(original.size()));
        ::close(fd);
    }
    VirtualPanel &panel = m_ports->addPanel(3);

    const Run run = runCliWithBytes(dir.path(), arguments);

    QCOMPARE(QString::fromUtf8(run.err), err);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, exitCode);
    // Nothing was made or changed under any name, and nothing was sent.
    QCOMPARE(rawEntries(dir.path()), fileExists ? QByteArrayList{rawName} : QByteArrayList{});
    if (fileExists) {
        QFile file;
        const int fd = ::open(rawPath.constData(), O_RDONLY);
        QVERIFY(fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(file.readAll(), original);
    }
    QCOMPARE(panel.waitForBytes(1, 200), 0);
}

void TestCli::textBecomesPanelBytes_data()
{
    QTest::addColumn<QStringList>("arguments"); // after write FILE
    QTest::addColumn<QByteArray>("slotA");

    QTest::newRow("accent and heart") << QStringList{"-m", "Café ♥"} << QByteArray::fromHex("43 61 66 82 20 7E 48");
    QTest::newRow("escapes as they are") << QStringList{"-m", "~BSALE~A ~~"} << QByteArray("~BSALE~A ~~");
    QTest::newRow("pictures and look-alikes")
        << QStringList{"-m", "“★ 🙂” – …"} << QByteArray("\"~+ ~S\" - ...");
    QTest::newRow("a control picture is its byte") << QStringList{"-m", "\u240D"} << QByteArray("\x0D");
    QTest::newRow("raw: bytes as they are") << QStringList{"--raw", "-m", "Café"} << QByteArray("Caf\xC3\xA9");
    QTest::newRow("raw: escapes of bytes")
        << QStringList{"--raw", "-m", R"(\x7eH\\x\q\xff)"} << QByteArray("~H\\x\\q\xFF");
}

void TestCli::textBecomesPanelBytes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, slotA);

    const QString path = m_dir.filePath("text.vlo");
    const Run run = runCli(QStringList{"write", path} + arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    MessageSet read;
    QVERIFY(readMessageFile(path, read).ok());
    QCOMPARE(read.markup(0).toHex(' '), slotA.toHex(' '));
}

void TestCli::textRefused_data()
{
    QTest::addColumn<QStringList>("arguments"); // printf %b escapes
    QTest::addColumn<QString>("err");

    const QString tryHelp = QStringLiteral("Try 'varlo-cli %1 --help'.\n");
    QTest::newRow("a letter the panel lacks, in the second text")
        << QStringList{"write", "out.vlo", "-m", "ok", "-m", "Smørrebrød"}
        << "varlo-cli write: -m 2, column 3: the panel can't show “ø” (U+00F8)\n" + tryHelp.arg("write");
    QTest::newRow("an emoji without a picture, counted as one column")
        << QStringList{"send", "-m", "🙂😀", "--port", "COM3"}
        << "varlo-cli send: -m 1, column 2: the panel can't show “😀” (U+1F600)\n" + tryHelp.arg("send");
    QTest::newRow("bytes that are not UTF-8")
        << QStringList{"write", "out.vlo", "-m", "ab\\0351c"}
        << "varlo-cli write: -m 1, column 3: not UTF-8 text; give --raw for bytes as they are\n" + tryHelp.arg("write");
    QTest::newRow("raw: \\x without two digits")
        << QStringList{"write", "out.vlo", "--raw", "-m", "ab\\\\xg1"}
        << "varlo-cli write: -m 1, column 3: \\x needs two hexadecimal digits\n" + tryHelp.arg("write");
    // The file would end the text at the zero, and the slot hold "A".
    QTest::newRow("raw: a zero byte") << QStringList{"write", "out.vlo", "--raw", "-m", "A\\\\x00B"}
                                      << "varlo-cli write: -m 1, column 2: \\x00: a slot can't hold a zero byte\n"
            + tryHelp.arg("write");
    QTest::newRow("raw: a zero byte sent")
        << QStringList{"send", "--raw", "-m", "\\\\x00", "--port", "COM3"}
        << "varlo-cli send: -m 1, column 1: \\x00: a slot can't hold a zero byte\n" + tryHelp.arg("send");
    // ␀ is what show prints for the zero byte; typed, it would cut the slot
    // short just the same.
    QTest::newRow("the zero byte's picture") << QStringList{"write", "out.vlo", "-m", "A ␀ B"}
                                             << "varlo-cli write: -m 1, column 3: “␀” (U+2400) is the zero byte, "
                                                "which a slot can't hold\n"
            + tryHelp.arg("write");
}

void TestCli::textRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, err);

    QTemporaryDir dir;
    VirtualPanel &panel = m_ports->addPanel(3);
    const Run run = runCliWithBytes(dir.path(), arguments);
    QCOMPARE(QString::fromUtf8(run.err), err);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    // Nothing written, nothing sent.
    QCOMPARE(rawEntries(dir.path()), QByteArrayList());
    QCOMPARE(panel.waitForBytes(1, 200), 0);
}

void TestCli::rawGivesEveryByte()
{
    // Every byte a slot can hold (all but 0x00), 100 to a slot so that each
    // fits: what --raw gives is what goes out.
    MessageSet set;
    set.clearForNew();
    QStringList arguments{"send", "--raw", "--dry-run"};
    for (int first = 1; first < 256; first += 100) {
        QByteArray bytes;
        QString escaped;
        for (int b = first; b < qMin(first + 100, 256); ++b) {
            bytes.append(char(b));
            escaped += QString::asprintf("\\x%02x", b);
        }
        set.setMarkup(first / 100, bytes);
        arguments << "-m" << escaped;
    }
    const Run run = runCli(arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, dryRunOutput(set));
}

void TestCli::accentAndHeartReachThePanel()
{
    VirtualPanel &panel = m_ports->addPanel(3);
    const QString path = m_dir.filePath("cafe.vlo");
    QCOMPARE(runCli({"write", path, "-m", "Café ♥"}).exitCode, 0);
    const Run run = runCli({"send", path, "--port", "COM3"});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);

    PanelMemory memory;
    FrameDecoder decoder;
    QTRY_VERIFY_WITH_TIMEOUT(!feedMemory(memory, decoder, panel.received()).empty(), 5000);
    // C, a, f, é (0x82 in the panel's font), a blank and the heart picture.
    const MessageBlock &block = memory.block(0);
    QCOMPARE(int(block[2]), 6);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(block.data()) + 3, 6).toHex(' '),
             QByteArray::fromHex("43 61 66 82 20 0F").toHex(' '));
}

void TestCli::showGivesBackWhatWriteTakes_data()
{
    QTest::addColumn<bool>("raw");
    QTest::newRow("as text") << false;
    QTest::newRow("raw") << true;
}

void TestCli::showGivesBackWhatWriteTakes()
{
    QFETCH(bool, raw);

    // Every byte value a file's text can hold (a zero ends a text), spread
    // over the slots, with escapes and spaces at either end.
    MessageSet set;
    set.clearForNew();
    QByteArray one;
    for (int b = 1; b < 256; ++b)
        one.append(char(b));
    set.setMarkup(0, one.left(100));
    set.setMarkup(1, one.mid(100));
    set.setMarkup(2, " ~BSALE~A ~H ");
    set.setMarkup(4, "\"quoted\" \\ back");
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        set.setSpeedCode(slot, 7);
    const QString original = m_dir.filePath("original.vlo");
    QVERIFY(writeBytes(original, encodeMessageFile(set)));

    const QStringList showRaw = raw ? QStringList{"--raw"} : QStringList{};
    const Run show = runCli(QStringList{"show", original} + showRaw);
    QCOMPARE(show.exitCode, 0);
    QStringList arguments = {"write", m_dir.filePath("again.vlo"), "--speed", "7"};
    arguments += showRaw;
    const QStringList lines = QString::fromUtf8(show.out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), MessageSet::kSlotCount);
    for (const QString &line : lines) {
        // What stands between the first and the last double quote.
        const qsizetype first = line.indexOf('"');
        QVERIFY(first > 0 && line.endsWith('"') && line.size() > first + 1);
        arguments << "-m" << line.mid(first + 1, line.size() - first - 2);
    }
    const Run write = runCli(arguments);
    QCOMPARE(write.err, QByteArray());
    QCOMPARE(write.exitCode, 0);
    QCOMPARE(fileBytes(m_dir.filePath("again.vlo")).toHex(' '), fileBytes(original).toHex(' '));
}

namespace {

// Slots A to C with texts at speed codes 1 to 3, the rest as New leaves them.
MessageSet threeSlots()
{
    MessageSet set;
    set.clearForNew();
    const QByteArrayList texts = {"ONE", "TWO ~H", "THREE"};
    for (int slot = 0; slot < texts.size(); ++slot) {
        set.setMarkup(slot, texts[slot]);
        set.setSpeedCode(slot, quint8(slot + 1));
    }
    return set;
}

} // namespace

void TestCli::setOneSlot_data()
{
    QTest::addColumn<QByteArray>("before"); // the file; null: no file
    QTest::addColumn<QStringList>("arguments"); // after set FILE
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("after"); // null: as before
    QTest::addColumn<QByteArray>("err"); // a part of it

    const QByteArray whole = encodeMessageFile(threeSlots());
    auto changed = [](int slot, const QByteArray &markup, int speed) {
        MessageSet set = threeSlots();
        set.setMarkup(slot, markup);
        if (speed >= 0)
            set.setSpeedCode(slot, quint8(speed));
        return encodeMessageFile(set);
    };
    QTest::newRow("text and speed, the rest kept")
        << whole << QStringList{"B", "Café ♥", "--speed", "0"} << 0 << changed(1, "Caf\x82 ~H", 0) << QByteArray();
    QTest::newRow("a lower-case letter keeps the speed")
        << whole << QStringList{"t", "LAST"} << 0 << changed(19, "LAST", -1) << QByteArray();
    QTest::newRow("an empty text empties the slot")
        << whole << QStringList{"A", ""} << 0 << changed(0, "", -1) << QByteArray();
    QTest::newRow("raw bytes") << whole << QStringList{"C", "--raw", "a\\x01"} << 0 << changed(2, "a\x01", -1)
                               << QByteArray();
    QTest::newRow("no such file: none is made")
        << QByteArray() << QStringList{"A", "X"} << 3 << QByteArray() << QByteArray(" File No Found !");
    QTest::newRow("a damaged file stays as it is")
        << whole.chopped(3) << QStringList{"A", "X"} << 3 << QByteArray() << QByteArray(" End of File not found! ");
    QTest::newRow("a letter past T") << whole << QStringList{"U", "X"} << 2 << QByteArray()
                                     << QByteArray("SLOT: 'U' is not a slot letter A to T");
    QTest::newRow("a character the panel lacks") << whole << QStringList{"A", "Smørrebrød"} << 2 << QByteArray()
                                                 << QByteArray("TEXT, column 3: the panel can't show “ø” (U+00F8)");
    QTest::newRow("a text over 255 bytes")
        << whole << QStringList{"D", QString(256, 'x')} << 3 << QByteArray() << QByteArray(" Slot D text too long");
    QTest::newRow("no text") << whole << QStringList{"A"} << 2 << QByteArray() << QByteArray("TEXT missing");
}

void TestCli::setOneSlot()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, err);

    QTemporaryDir dir;
    const QString path = dir.filePath("shop.vlo");
    if (!before.isNull())
        QVERIFY(writeBytes(path, before));
    const Run run = runCli(QStringList{"set", path} + arguments);
    QVERIFY2(run.err.contains(err), run.err.constData());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, QByteArray());
    if (before.isNull())
        QVERIFY(!QFileInfo::exists(path));
    else
        QCOMPARE(fileBytes(path).toHex(' '), (after.isNull() ? before : after).toHex(' '));
    // Nothing left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).size(),
             before.isNull() ? 0 : 1);
}

void TestCli::sendWithSlotsReplaced()
{
    const QString path = m_dir.filePath("shop.vlo");
    const QByteArray file = encodeMessageFile(threeSlots());
    QVERIFY(writeBytes(path, file));

    const Run replaced = runCli({"send", path, "--slot", "c=SALE ♥", "--slot", "A=", "--dry-run"});
    QCOMPARE(replaced.err, QByteArray());
    QCOMPARE(replaced.exitCode, 0);
    MessageSet expected = threeSlots();
    expected.setMarkup(2, "SALE ~H");
    expected.setMarkup(0, "");
    QCOMPARE(replaced.out, dryRunOutput(expected));
    QCOMPARE(fileBytes(path), file);

    // Refused before anything is sent.
    const QList<std::pair<QStringList, QByteArray>> refused = {
        {{"send", "--slot", "A=X", "--dry-run"}, "--slot changes a slot of a file; give the file"},
        {{"send", path, "--slot", "b=X", "--slot", "B=Y", "--dry-run"}, "--slot B given twice"},
        {{"send", path, "--slot", "BX", "--dry-run"}, "--slot BX: not SLOT=TEXT"},
        {{"send", path, "--slot", "V=X", "--dry-run"}, "--slot: 'V' is not a slot letter A to T"},
        {{"send", path, "--slot", "A=\u03A9", "--dry-run"}, "--slot A, column 1: the panel can't show “Ω” (U+03A9)"},
    };
    for (const auto &[arguments, says] : refused) {
        const Run run = runCli(arguments);
        QVERIFY2(run.err.contains(says), run.err.constData());
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QByteArray());
    }
}

void TestCli::severalPorts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("bytesEach"); // what each panel receives (a chosen port gets no probe)

    QTest::newRow("send, ports repeated")
        << QStringList{"send", "-m", "AB", "--port", "COM3", "--port", "COM4", "--port", "5"}
        << int(workedExampleStream().size());
    QTest::newRow("font, ports in one list") << QStringList{"font", "--port", "COM3,COM4,COM5"} << 4416;
}

void TestCli::severalPorts()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, bytesEach);

    // COM4 has no panel: the others still get the upload.
    VirtualPanel &first = m_ports->addPanel(3);
    VirtualPanel &last = m_ports->addPanel(5);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(
        QString::fromLocal8Bit(run.err),
        named(QStringLiteral("COM3: done\nCOM4: Serial port can't open!\nCOM4: COM4 (%1): No such file or directory\n"
                             "COM5: done\n")
                  .arg(m_ports->entry(4))));
    QCOMPARE(first.waitForBytes(bytesEach, 5000), bytesEach);
    QCOMPARE(last.waitForBytes(bytesEach, 5000), bytesEach);
    QCOMPARE(first.received(), last.received());
}

namespace {

// Standard error holds nothing that steers a terminal: no control
// character but the line ends.
bool printable(const QByteArray &text)
{
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return (quint8(c) < 0x20 && c != '\n') || quint8(c) == 0x7F; });
}

QString hostileReason(const QString &kind)
{
    if (kind == "folder")
        return qt_error_string(EISDIR);
    if (kind == "read-only file")
        return QStringLiteral("The file is read-only");
    if (kind == "sparse 1.5 GB file")
        return QStringLiteral("over 5158 bytes, too large for a message file");
    return QStringLiteral("Not a regular file");
}

} // namespace

void TestCli::hostileFiles_data()
{
    QTest::addColumn<QStringList>("arguments"); // PATH for the target's path
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err"); // a fragment of standard error, PATH for the path

    // Nothing listens there: every row ends before a connection is tried.
    const QStringList broker{"--broker", "mqtt://127.0.0.1:9", "--panel", "p"};
    for (const QString &kind : HostileTarget::readKinds()) {
        const QByteArray name = kind.toUtf8();
        const QString reason = hostileReason(kind);
        QTest::addRow("publish FILE: %s", name.constData())
            << QStringList{"publish", "PATH"} + broker << kind << 3 << "PATH: " + reason + '\n';
        QTest::addRow("publish --credentials: %s", name.constData())
            << QStringList{"publish", "--slot", "A=x", "--credentials", "PATH"} + broker << kind << 3
            << "--credentials PATH: "
                + (kind.startsWith("sparse") ? QStringLiteral("over 64 KB, too large for a credentials file") : reason);
        // The MQTT library opens the CA file itself, and would wait on a pipe.
        QTest::addRow("publish --tls-ca: %s", name.constData())
            << QStringList{"publish", "--slot", "A=x", "--tls-ca", "PATH"} + broker << kind << 1
            << "PATH: " + (kind.startsWith("sparse") ? QStringLiteral("over 16 MB, too large for a CA file") : reason);
        QTest::addRow("font FILE: %s", name.constData()) << QStringList{"font", "PATH", "--dry-run"} << kind << 3
                                                         << "PATH: error: "
                + (kind.startsWith("sparse") ? QStringLiteral("over 1 MB, too large for a font file") : reason);
        if (!kind.startsWith("sparse")) {
            QTest::addRow("show: %s", name.constData())
                << QStringList{"show", "PATH"} << kind << 3 << "PATH: " + reason;
        }
    }
    for (const QString &kind : HostileTarget::saveKinds()) {
        const QByteArray name = kind.toUtf8();
        const QString reason = hostileReason(kind);
        QTest::addRow("write: %s", name.constData())
            << QStringList{"write", "PATH", "-m", "X"} << kind << 3 << " File Write Error! \nPATH: " + reason + '\n';
        QTest::addRow("font --export: %s", name.constData())
            << QStringList{"font", "--export", "PATH"} << kind << 3 << "PATH: " + reason + '\n';
    }
    // set reads the file whole, then must not replace it.
    QTest::newRow("set: read-only file") << QStringList{"set", "PATH", "A", "X"} << "read-only file" << 3
                                         << " File Write Error! \nPATH: The file is read-only\n";
}

void TestCli::hostileFiles()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, err);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const HostileTarget target(kind, dir.path(), encodeMessageFile(MessageSet()));
    if (!target.isValid())
        QSKIP("this kind of node needs root");
    arguments.replaceInStrings("PATH", target.path());

    // A hang fails after the run's time is up instead of holding the suite.
    const Run run = runCli(arguments);

    QVERIFY2(run.exitCode >= 0, "varlo-cli did not end by itself");
    // Every line names the program; what follows is the message.
    QString said = QString::fromUtf8(run.err);
    for (const QString &line : said.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith(QStringLiteral("varlo-cli: ")), qPrintable(line));
    said.remove(QRegularExpression(QStringLiteral("^varlo-cli: "), QRegularExpression::MultilineOption));
    QVERIFY2(said.contains(QString(err).replace("PATH", target.path())), run.err.constData());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(printable(run.err), run.err.constData());
    QVERIFY(target.isUntouched());
}

void TestCli::fileSizeLimit_data()
{
    QTest::addColumn<QStringList>("arguments"); // PATH for the file's path
    QTest::addColumn<QString>("before"); // what comes before "PATH: File too large"

    // About 2 KB, over the limit of 1 KB (or 512 bytes).
    QTest::newRow("write") << QStringList{"write", "PATH"} + textArguments(QStringList(20, QString(100, 'x')), {})
                           << QStringLiteral(" File Write Error! \n");
    QTest::newRow("font --export") << QStringList{"font", "--export", "PATH"} << QString();
}

void TestCli::fileSizeLimit()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, before);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("old");
    QVERIFY(writeBytes(path, "the old file"));
    arguments.replaceInStrings("PATH", path);

    // As `ulimit -f 1` leaves a shell's programs: SIGXFSZ at its default.
    const Run run = runCli(arguments, {}, {"/bin/sh", "-c", "trap - XFSZ; ulimit -f 1 && exec \"$@\"", "sh"});

    QCOMPARE(QString::fromLocal8Bit(run.err), named(before + path + ": " + qt_error_string(EFBIG) + '\n'));
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(fileBytes(path), QByteArray("the old file"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old"});
}

void TestCli::textOverTheSlot_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE for a message file
    QTest::addColumn<QString>("err"); // empty: it goes out

    const QString a = QStringLiteral(" Slot A text too long (125 cells at most)! \n");
    const QString c = QStringLiteral(" Slot C text too long (125 cells at most)! \n");
    QTest::newRow("-m with 125 cells goes") << QStringList{"send", "-m", QString(125, 'x')} << QString();
    QTest::newRow("-m with 126 cells") << QStringList{"send", "-m", QString(126, 'x')} << a;
    QTest::newRow("-m with 300 characters") << QStringList{"send", "-m", QString(300, 'x')} << a;
    QTest::newRow("-m with 10,000 characters") << QStringList{"send", "-m", QString(10000, 'x')} << a;
    // Escapes fill no cell of their own.
    QTest::newRow("-m with 125 cells among escapes")
        << QStringList{"send", "-m", "~B" + QString(124, 'x') + "~H~A"} << QString();
    QTest::newRow("--raw -m with 200 bytes") << QStringList{"send", "--raw", "-m", QString(200, 'x')} << a;
    QTest::newRow("--slot with 300 characters") << QStringList{"send", "FILE", "--slot", "C=" + QString(300, 'x')} << c;
}

void TestCli::textOverTheSlot()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, err);

    VirtualPanel &panel = m_ports->addPanel(3);
    const QString file = m_dir.filePath("over.vlo");
    QVERIFY(writeBytes(file, encodeMessageFile(MessageSet())));
    arguments.replaceInStrings("FILE", file);

    const Run run = runCli(arguments + QStringList{"--port", "COM3"});

    QCOMPARE(QString::fromUtf8(run.err), named(err));
    QCOMPARE(run.exitCode, err.isEmpty() ? 0 : 3);
    if (err.isEmpty())
        QVERIFY(panel.waitForBytes(1, 5000) > 0);
    else
        QCOMPARE(panel.waitForBytes(1, 200), 0);
}

void TestCli::inputIsQuotedSafely_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("fontFile"); // given as FONT when not empty
    QTest::addColumn<QString>("err"); // a fragment of standard error

    const QString cut = QString(QChar(0x2026));
    QTest::newRow("an unknown command with an escape sequence")
        << QStringList{"\x1b[2Jsend"} << QByteArray() << QStringLiteral("unknown command '\\x1b[2Jsend'");
    QTest::newRow("--slot that is not SLOT=TEXT, with a terminal title")
        << QStringList{"send", "FONT", "--slot", "\x1b]0;owned\x07"} << QByteArray()
        << QStringLiteral("--slot \\x1b]0;owned\\x07: not SLOT=TEXT");
    QTest::newRow("a tab as a --stop letter")
        << QStringList{"send", "-m", "A", "--stop", "\t"} << QByteArray() << QStringLiteral("--stop: '\\t'");
    QTest::newRow("a long unexpected argument") << QStringList{"show", "a.vlo", QString(5000, 'y')} << QByteArray()
                                                << "unexpected argument '" + QString(40, 'y') + cut + "'";
    QTest::newRow("a font file with a 900 KB line")
        << QStringList{"font", "FONT", "--dry-run"} << QByteArray(900 * 1024, '#') + "\n"
        << "found \"" + QString(40, '#') + cut + "\"";
    QTest::newRow("a font file with an escape sequence")
        << QStringList{"font", "FONT", "--dry-run"} << QByteArray("face normal\n\n[000] \x1b[31m\n")
        << QStringLiteral("found \"\\x1b[31m\"");
}

void TestCli::inputIsQuotedSafely()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, fontFile);
    QFETCH(QString, err);

    const QString font = m_dir.filePath("hostile.vlf");
    QVERIFY(writeBytes(font, fontFile));
    arguments.replaceInStrings("FONT", font);

    const Run run = runCli(arguments);

    QVERIFY2(QString::fromUtf8(run.err).contains(err), run.err.left(300).constData());
    QVERIFY2(printable(run.err), run.err.left(300).toPercentEncoding().constData());
    QVERIFY2(run.err.size() < 400, run.err.left(400).constData());
    QVERIFY(run.exitCode == 2 || run.exitCode == 3);
}

void TestCli::environmentIsNotEchoed()
{
    // A font file that is a link to the environment of whoever reads it: a
    // message may quote the start of it, never the secret further on. The
    // environment is given whole, in this order.
    const QString link = m_dir.filePath("environ.vlf");
    QVERIFY(QFile::link(QStringLiteral("/proc/self/environ"), link));
    const QString padding = "VARLO_PADDING=" + QString(60, 'p');
    const Run run = runCli({"font", link, "--dry-run"}, {}, {"/usr/bin/env", "-i", padding, "VARLO_SECRET=hunter2"});

    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("VARLO_PADDING=ppp"), run.err.constData());
    QVERIFY2(!run.err.contains("hunter2"), run.err.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
