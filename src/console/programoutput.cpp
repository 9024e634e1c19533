// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/programoutput.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>

namespace varlo {

namespace {

// The reason of the first write to standard output or error that failed.
int s_outputError = 0;

void noteOutputError()
{
    if (s_outputError == 0)
        s_outputError = errno != 0 ? errno : EIO;
}

void print(FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream)
            != static_cast<size_t>(bytes.size())
        || std::fflush(stream) != 0)
        noteOutputError();
}

} // namespace

QString programName()
{
    return QCoreApplication::applicationName();
}

void nameProgram(const QString &name)
{
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(QStringLiteral(VARLO_VERSION));
}

QString versionText()
{
    return QStringLiteral("%1 %2\n").arg(programName(), QCoreApplication::applicationVersion());
}

QCommandLineOption versionOption()
{
    return QCommandLineOption({QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")},
                              QStringLiteral("Displays version information."));
}

bool isVersionArgument(const QString &argument)
{
    return argument == QLatin1String("-V") || argument == QLatin1String("-v") || argument == QLatin1String("--version");
}

void printOut(const QString &text)
{
    print(stdout, text.toLocal8Bit());
}

void printOut(const QByteArray &bytes)
{
    print(stdout, bytes);
}

void printErr(const QString &text)
{
    print(stderr, text.toLocal8Bit());
}

void printMessage(const QString &message)
{
    printErr(QStringLiteral("%1: %2\n").arg(programName(), message));
}

void printMessageLines(const QString &text)
{
    QString prefixed;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        prefixed += QStringLiteral("%1: %2\n").arg(programName(), line);
    printErr(prefixed);
}

int usageError(const QString &message, const QString &command)
{
    const QString who = command.isEmpty() ? programName() : programName() + QLatin1Char(' ') + command;
    printErr(QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(who, message));
    return ExitUsage;
}

int printInfo(const QString &text)
{
    printOut(text);
    return finishOutput(ExitDone, ExitFailed);
}

int finishOutput(int status, int outputFailedStatus)
{
    // Closing standard output is the last chance to learn that what was
    // written never arrived.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        noteOutputError();
    if (std::fclose(stdout) != 0 && errno != EBADF)
        noteOutputError();
    if (s_outputError == 0)
        return status;
    printMessage(QStringLiteral("write error: %1").arg(qt_error_string(s_outputError)));
    return status == ExitDone ? outputFailedStatus : status;
}

} // namespace varlo
