// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-cli schedule check, run as a program on schedule files in a
// temporary folder.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
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

const char kCafe[] = R"(# The café's sign
timezone Europe/Berlin
A  mon-fri 07:00-11:00  speed 3  Breakfast ~H two eggs £3
A  mon-fri 11:00-14:00           Soup of the day: {topic:kitchen/soup}
B  always                        It is {time:HH:mm}
C  2026-10-25 02:15-02:45        Twice
D  2026-12-31 override           Closed today
)";

} // namespace

class TestScheduleCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void atAnInstant_data();
    void atAnInstant();
    void timelineOfADay();
    void faults_data();
    void faults();
    void textFollowsTheFont();

private:
    QString write(const QString &name, const QByteArray &text);

    QTemporaryDir m_dir;
    QString m_cafe;
};

QString TestScheduleCheck::write(const QString &name, const QByteArray &text)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestScheduleCheck::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_cafe = write(QStringLiteral("cafe.schedule"), kCafe);
}

void TestScheduleCheck::atAnInstant_data()
{
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("expected");

    QTest::newRow("breakfast") << "2026-06-01 08:00"
                               << "Europe/Berlin\n"
                                  "2026-06-01 08:00 Monday (UTC+02:00): A line 3, B line 5\n"
                                  "A    3   23  \"Breakfast ~H two eggs £3\"\n"
                                  "B    4   11  \"It is 08:00\"\n"
                                  "next change 2026-06-01 11:00 (UTC+02:00)\n";
    QTest::newRow("override") << "2026-12-31 09:30"
                              << "Europe/Berlin\n"
                                 "2026-12-31 09:30 Thursday (UTC+01:00): D line 7 (override)\n"
                                 "D    4   12  \"Closed today\"\n"
                                 "next change 2027-01-01 00:00 (UTC+01:00)\n";
    QTest::newRow("the first of the repeated hour") << "2026-10-25 02:50"
                                                    << "Europe/Berlin\n"
                                                       "2026-10-25 02:50 Sunday (UTC+02:00): B line 5\n"
                                                       "B    4   11  \"It is 02:50\"\n"
                                                       "next change 2026-10-25 02:15 (UTC+01:00)\n";
    QTest::newRow("the second, by its offset") << "2026-10-25 02:20 +01:00"
                                               << "Europe/Berlin\n"
                                                  "2026-10-25 02:20 Sunday (UTC+01:00): B line 5, C line 6\n"
                                                  "B    4   11  \"It is 02:20\"\n"
                                                  "C    4    5  \"Twice\"\n"
                                                  "next change 2026-10-25 02:45 (UTC+01:00)\n";
}

void TestScheduleCheck::atAnInstant()
{
    QFETCH(QString, at);
    QFETCH(QString, expected);
    const Run run = runCli({"schedule", "check", m_cafe, "--at", at});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out), expected);
}

void TestScheduleCheck::timelineOfADay()
{
    const Run run = runCli({"schedule", "check", m_cafe, "--day", "2026-10-25"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             QStringLiteral("Europe/Berlin, 2026-10-25 Sunday\n"
                            "00:00 (UTC+02:00): B line 5\n"
                            "B    4   11  \"It is 00:00\"\n"
                            "02:15 (UTC+02:00): B line 5, C line 6\n"
                            "B    4   11  \"It is 02:15\"\n"
                            "C    4    5  \"Twice\"\n"
                            "02:45 (UTC+02:00): B line 5\n"
                            "B    4   11  \"It is 02:45\"\n"
                            "02:15 (UTC+01:00): B line 5, C line 6\n"
                            "B    4   11  \"It is 02:15\"\n"
                            "C    4    5  \"Twice\"\n"
                            "02:45 (UTC+01:00): B line 5\n"
                            "B    4   11  \"It is 02:45\"\n"
                            "(the time, the date and the weekday are shown as at "
                            "each change; they follow the clock every minute)\n"));
    // Today, in the schedule's zone, without --day.
    const Run today = runCli({"schedule", "check", m_cafe});
    QCOMPARE(today.exitCode, 0);
    QVERIFY(today.out.startsWith("Europe/Berlin, 20"));
}

void TestScheduleCheck::faults_data()
{
    QTest::addColumn<QStringList>("arguments"); // SCHED stands for a file of the text
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // a part of standard error; SCHED as above

    const QByteArray ok("A always Hi\n");
    QTest::newRow("a fault in the file") << QStringList{"schedule", "check", "SCHED"}
                                         << QByteArray("# x\nA mon Hi\nB always {foo}\n") << 3
                                         << "SCHED:3:10: error: '{foo}' is no field";
    QTest::newRow("a missing file") << QStringList{"schedule", "check", "SCHED.missing"} << ok << 3
                                    << "SCHED.missing: error: ";
    QTest::newRow("a folder") << QStringList{"schedule", "check", "."} << ok << 3 << ": error: Is a directory";
    QTest::newRow("no file") << QStringList{"schedule", "check"} << ok << 2 << "FILE missing";
    QTest::newRow("no command") << QStringList{"schedule"} << ok << 2 << "a command is missing: check";
    QTest::newRow("another command") << QStringList{"schedule", "run", "SCHED"} << ok << 2 << "unknown command 'run'";
    QTest::newRow("a time that is none") << QStringList{"schedule", "check", "SCHED", "--at", "2026-06-01 25:00"} << ok
                                         << 2 << "--at 2026-06-01 25:00: not a time";
    QTest::newRow("a time the clock skips")
        << QStringList{"schedule", "check", "SCHED", "--at", "2026-03-29 02:30"}
        << QByteArray("timezone Europe/Berlin\n") + ok << 2 << "the clock skips that time in Europe/Berlin";
    QTest::newRow("a day that is none") << QStringList{"schedule", "check", "SCHED", "--day", "2026-02-30"} << ok << 2
                                        << "--day 2026-02-30: not a day";
    QTest::newRow("both --at and --day") << QStringList{"schedule", "check",           "SCHED", "--day", "2026-02-03",
                                                        "--at",     "2026-02-03 10:00"}
                                         << ok << 2 << "--at and --day go one at a time";
}

void TestScheduleCheck::faults()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, text);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString path = write(QStringLiteral("fault.schedule"), text);
    arguments.replaceInStrings(QStringLiteral("SCHED"), path);
    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(QString::fromUtf8(run.err).contains(message.replace(QStringLiteral("SCHED"), path)), run.err.constData());
}

void TestScheduleCheck::textFollowsTheFont()
{
    const QString path = write(QStringLiteral("moscow.schedule"), "A always МОСКВА {time:HH}\n");
    const Run refused = runCli({"schedule", "check", path, "--at", "2026-06-01 08:00"});
    QCOMPARE(refused.exitCode, 3);
    QVERIFY2(refused.err.contains(":1:10: error: the panel can't show “М” (U+041C)"), refused.err.constData());
    const Run run = runCli({"schedule", "check", path, "--at", "2026-06-01 08:00", "--font",
                            QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains("A    4    9  \"МОСКВА 08\"\n"), run.out.constData());
}

QTEST_GUILESS_MAIN(TestScheduleCheck)
#include "tst_schedulecheck.moc"
