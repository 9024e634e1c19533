// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/filereport.h"

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"

namespace varlo::cli {

namespace {

void printFileMessages(const QStringList &messages, const QString &path, const QString &reason)
{
    QString text;
    for (const QString &message : messages)
        text += message + QLatin1Char('\n');
    if (!reason.isEmpty())
        text += QStringLiteral("%1: %2\n").arg(path, reason);
    printMessageLines(text);
}

} // namespace

MessageFileReadResult readMessageFileReporting(const QString &path, MessageSet &set)
{
    const MessageFileReadResult result = readMessageFile(path, set);
    printFileMessages(result.messages, path, result.reason);
    return result;
}

int writeMessageFileReporting(const QString &path, const MessageSet &set)
{
    const MessageFileWriteResult result = writeMessageFile(path, set);
    if (result.ok())
        return ExitDone;
    printFileMessages({result.message()}, path, result.reason);
    return ExitFileFailed;
}

std::optional<FontFile> readFontFileReporting(const QString &path)
{
    const FontFileRead read = readFontFilePath(path);
    QString text;
    for (const QString &warning : read.warnings)
        text += QStringLiteral("%1: warning: %2\n").arg(path, warning);
    if (!read.font) {
        const QString where = read.errorLine > 0 ? QStringLiteral("%1:%2").arg(path).arg(read.errorLine) : path;
        text += QStringLiteral("%1: error: %2\n").arg(where, read.error);
    }
    printMessageLines(text);
    return read.font;
}

FontInUse fontInUseReporting()
{
    const FontInUse used = FontInUse::load(FontInUse::rememberedPath(FontInUse::defaultConfigHome()));
    if (!used.problem().isEmpty())
        printMessage(used.describe());
    return used;
}

int saveFontFileReporting(const QString &path, const FontFile &font)
{
    const QString reason = saveFontFile(path, font);
    if (reason.isEmpty())
        return ExitDone;
    printMessage(QStringLiteral("%1: %2").arg(path, reason));
    return ExitFileFailed;
}

} // namespace varlo::cli
