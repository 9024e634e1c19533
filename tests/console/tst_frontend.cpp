// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cerrno>

namespace {

struct Run
{
    int exitCode = -1; // -1: crashed or did not end
    QByteArray out;
    QByteArray err;
};

// The program with these arguments; its standard output goes to `outFile`
// when given.
Run runProgram(const QString &program, const QStringList &arguments, const QString &outFile = {})
{
    QProcess process;
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    if (!outFile.isEmpty())
        process.setStandardOutputFile(outFile);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

class TestFrontend : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void version_data();
    void version();
    void outputThatCannotBeWritten_data();
    void outputThatCannotBeWritten();
};

void TestFrontend::version_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("argument");
    for (const char *argument : {"--version", "-V"}) {
        QTest::addRow("varlo %s", argument) << QStringLiteral(VARLO_PROGRAM) << argument;
        QTest::addRow("varlo-cli %s", argument) << QStringLiteral(VARLO_CLI_PATH) << argument;
        QTest::addRow("varlo-panel %s", argument) << QStringLiteral(VARLO_PANEL_PATH) << argument;
        QTest::addRow("varlo-agent %s", argument) << QStringLiteral(VARLO_AGENT_PATH) << argument;
    }
}

void TestFrontend::version()
{
    QFETCH(QString, program);
    QFETCH(QString, argument);
    const Run run = runProgram(program, {argument});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray());
    // The project's version, in the same form from each.
    QCOMPARE(QString::fromLocal8Bit(run.out),
             QStringLiteral("%1 %2\n").arg(QFileInfo(program).fileName(), QStringLiteral(VARLO_PROJECT_VERSION)));
}

void TestFrontend::outputThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("exitCode");

    for (const char *argument : {"--version", "--help"}) {
        QTest::addRow("varlo %s", argument) << QStringLiteral(VARLO_PROGRAM) << argument << 1;
        QTest::addRow("varlo-cli %s", argument) << QStringLiteral(VARLO_CLI_PATH) << argument << 4;
        QTest::addRow("varlo-panel %s", argument) << QStringLiteral(VARLO_PANEL_PATH) << argument << 1;
    }
}

void TestFrontend::outputThatCannotBeWritten()
{
    QFETCH(QString, program);
    QFETCH(QString, argument);
    QFETCH(int, exitCode);
    if (!QFileInfo(QStringLiteral("/dev/full")).exists())
        QSKIP("no /dev/full here");

    // Standard output on a device where every write fails for want of space.
    const Run run = runProgram(program, {argument}, QStringLiteral("/dev/full"));
    QCOMPARE(run.exitCode, exitCode);
    const QString err = QString::fromLocal8Bit(run.err);
    const QString name = QFileInfo(program).fileName();
    QVERIFY2(err.endsWith(QStringLiteral("%1: write error: %2\n").arg(name, qt_error_string(ENOSPC))), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestFrontend)
#include "tst_frontend.moc"
