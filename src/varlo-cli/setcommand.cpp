// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/setcommand.h"

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/filereport.h"

namespace varlo::cli {

int runSet(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("set"), QStringLiteral("FILE.vlo SLOT TEXT [--speed CODE] [--raw]"),
                     QStringLiteral("Replaces one slot's text, and with --speed its speed code, in a message "
                                    "file and keeps the other slots as they are. SLOT is a letter A to T, in "
                                    "either case; TEXT is taken as -m takes it, and '' empties the slot. The "
                                    "file must exist and be whole: a file that can't be read or whose END is "
                                    "missing is left as it is, and so is the file when the new text is "
                                    "refused. The file is replaced only once the new one is complete, as "
                                    "the window's Save does. To make a new file, use write."),
                     QStringLiteral("varlo-cli set shop.vlo C 'OPEN ~H' --speed 2"));
    line.addFileArgument(QStringLiteral("FILE.vlo"), QStringLiteral("The message file to change."));
    line.addArgument(QStringLiteral("SLOT"), QStringLiteral("The slot's letter, A to T."));
    line.addArgument(QStringLiteral("TEXT"), QStringLiteral("The slot's new text."));
    line.addRawOption();
    line.addFontOption();
    line.addSpeedOption(QStringLiteral("The slot's new speed code, 0 to 255 (default: as it is)."));
    if (const std::optional<int> done = line.parse(arguments))
        return *done;

    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();
    const std::optional<QString> letter = line.argument(0);
    const std::optional<QString> text = letter ? line.argument(1) : std::nullopt;
    if (!text)
        return ExitUsage;
    const int slot = line.slotValue(*letter, QStringLiteral("SLOT"));
    if (slot < 0)
        return ExitUsage;
    const std::optional<QByteArray> markup = line.markupValue(*text, QStringLiteral("TEXT"));
    if (!markup)
        return ExitUsage;
    const std::optional<int> speed = line.speedCode();
    if (!speed && line.parser().isSet(QStringLiteral("speed")))
        return ExitUsage;

    // Only a file read whole is written back: a damaged one would lose what
    // could not be read.
    MessageSet set;
    set.clearForNew();
    if (!readMessageFileReporting(*file, set).ok())
        return ExitFileFailed;
    set.setMarkup(slot, *markup);
    if (speed)
        set.setSpeedCode(slot, quint8(*speed));
    return writeMessageFileReporting(*file, set);
}

} // namespace varlo::cli
