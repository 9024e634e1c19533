// SPDX-License-Identifier: GPL-3.0-or-later
#include "showcommand.h"

#include "clicommand.h"
#include "commandline.h"
#include "filereport.h"
#include "model/messageblock.h"

namespace varlo::cli {

namespace {

// The bytes between double quotes, printable ASCII as it is, a backslash
// doubled and every other byte (the quote too) as \xNN: one line whatever the
// text holds, with its spaces at either end in sight, and the same bytes back
// through bash's printf '%b'.
QString quoted(const QByteArray &text)
{
    QString shown = QStringLiteral("\"");
    for (const char c : text) {
        const auto byte = static_cast<quint8>(c);
        if (byte == '\\')
            shown += QLatin1String("\\\\");
        else if (byte >= 0x20 && byte < 0x7F && byte != '"')
            shown += QLatin1Char(c);
        else
            shown += QString::asprintf("\\x%02X", byte);
    }
    return shown + QLatin1Char('"');
}

// "A    4    3  \"HI~H\"": letter, speed code, cells with a mark past what
// the panel holds, text.
QString slotLine(const MessageSet &set, int slot)
{
    const QByteArray &markup = set.markup(slot);
    return QStringLiteral("%1  %2  %3%4 %5\n")
        .arg(QLatin1Char(MessageSet::slotLetter(slot)))
        .arg(int(set.speedCode(slot)), 3)
        .arg(MarkupCellCount(markup), 3)
        .arg(QLatin1Char(MarkupOverflows(markup) ? '!' : ' '))
        .arg(quoted(markup));
}

} // namespace

int runShow(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("show"), QStringLiteral("FILE.vlo"),
        QStringLiteral(
            "Prints the 20 slots of a message file, one line each: the slot letter, the speed code, the "
            "number of LED cells the text fills and the text.\n\n"
            "A '!' after the cell count, as in 126!, marks a text of more than the 125 cells a slot holds: "
            "the panel shows only the first 125.\n\n"
            "The text stands between double quotes, byte for byte: printable ASCII as it is, a backslash as "
            "\\\\, and every other byte, the double quote included, as \\xNN (two hexadecimal digits). So "
            "each slot stays on one line, and bash's printf '%b' gives the bytes back.\n\n"
            "A file whose END is missing is shown as far as it could be read, as the window would open "
            "it, after the message; the exit status is still 3."),
        QStringLiteral("varlo-cli show shop.vlo"));
    line.addFileArgument(QStringLiteral("FILE.vlo"), QStringLiteral("The message file to show."));
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();

    MessageSet set;
    const MessageFileReadResult result = readMessageFileReporting(*file, set);
    if (result.replaced()) {
        QString text;
        for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
            text += slotLine(set, slot);
        printOut(text);
    }
    return result.ok() ? ExitDone : ExitFileFailed;
}

} // namespace varlo::cli
