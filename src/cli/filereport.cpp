// SPDX-License-Identifier: GPL-3.0-or-later
#include "filereport.h"

#include "clicommand.h"
#include "commandline.h"

namespace varlo::cli {

namespace {

void printFileMessages(const QStringList &messages, const QString &path, const QString &reason)
{
    QString text;
    for (const QString &message : messages)
        text += message + QLatin1Char('\n');
    if (!reason.isEmpty())
        text += QStringLiteral("%1: %2\n").arg(path, reason);
    printErr(text);
}

} // namespace

MessageFileReadResult readMessageFileReporting(const QString &path, MessageSet &set)
{
    const MessageFileReadResult result = ReadMessageFile(path, set);
    printFileMessages(result.messages, path, result.reason);
    return result;
}

int writeMessageFileReporting(const QString &path, const MessageSet &set)
{
    const MessageFileWriteResult result = WriteMessageFile(path, set);
    if (result.ok())
        return ExitDone;
    printFileMessages({result.message()}, path, result.reason);
    return ExitFileFailed;
}

} // namespace varlo::cli
