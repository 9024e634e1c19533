// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/showcommand.h"

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/filereport.h"
#include "varlo-cli/messagetext.h"
#include "model/messageblock.h"

namespace varlo::cli {

QString slotLine(const MessageSet &set, int slot, bool raw, const PanelCharMap &map)
{
    const QByteArray &markup = set.markup(slot);
    return QStringLiteral("%1  %2  %3%4 %5\n")
        .arg(QLatin1Char(MessageSet::slotLetter(slot)))
        .arg(int(set.speedCode(slot)), 3)
        .arg(markupCellCount(markup), 3)
        .arg(QLatin1Char(markupOverflows(markup) ? '!' : ' '))
        .arg(QLatin1Char('"') + (raw ? markupAsRaw(markup) : markupAsText(markup, map)) + QLatin1Char('"'));
}

int runShow(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("show"), QStringLiteral("FILE.vlo"),
        QStringLiteral(
            "Prints the 20 slots of a message file, one line each: the slot letter, the speed code, the "
            "number of LED cells the text fills and the text.\n\n"
            "A '!' after the cell count, as in 126!, marks a text of more than the 125 cells a slot holds: "
            "the panel shows only the first 125.\n\n"
            "The text stands between double quotes, each byte as the character the panel draws at that "
            "code, escapes as they are, the places of the pictures (bytes 0 to 31, 127) as control pictures "
            "such as \u240D. Everything between the first and the last double quote, given back to write -m, "
            "gives the same bytes.\n\n"
            "With --raw, the text is byte for byte: printable ASCII as it is, a backslash as \\\\, and every "
            "other byte, the double quote included, as \\xNN (two hexadecimal digits). So each slot stays "
            "on one line in plain ASCII, and write --raw or bash's printf '%b' gives the bytes back.\n\n"
            "Speed codes that a short file lacks show as 4, as after New.\n\n"
            "A file whose END is missing is shown as far as it could be read, as the window would open "
            "it, after the message; the exit status is still 3."),
        QStringLiteral("varlo-cli show shop.vlo"));
    line.addFileArgument(QStringLiteral("FILE.vlo"), QStringLiteral("The message file to show."));
    line.parser().addOption({QStringLiteral("raw"),
                             QStringLiteral("Show the texts as bytes, \\xNN for any "
                                            "byte outside printable ASCII.")});
    line.addFontOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();

    // What a short file lacks stays as New leaves it, as the window would
    // show it.
    MessageSet set;
    set.clearForNew();
    const bool raw = line.parser().isSet(QStringLiteral("raw"));
    const std::optional<PanelCharMap> map = line.charMap();
    if (!map)
        return line.failureStatus();
    const MessageFileReadResult result = readMessageFileReporting(*file, set);
    if (result.replaced()) {
        QString text;
        for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
            text += slotLine(set, slot, raw, *map);
        printOut(text);
    }
    return result.ok() ? ExitDone : ExitFileFailed;
}

} // namespace varlo::cli
