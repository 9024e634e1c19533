// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/writecommand.h"

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/filereport.h"

namespace varlo::cli {

int runWrite(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("write"), QStringLiteral("OUT.vlo [-m TEXT]... [--speed CODE]"),
                     QStringLiteral("Makes a message file, as the window's Save does: one -m per slot, A "
                                    "first, taken as send takes them; every slot not given is empty at "
                                    "speed code 4. An existing file is replaced only once the new one is "
                                    "complete. A text over 255 bytes doesn't fit the file: nothing is "
                                    "written."),
                     QStringLiteral("varlo-cli write shop.vlo -m 'OPEN ~H' -m '~BSALE~A today' --speed 2"));
    line.addFileArgument(QStringLiteral("OUT.vlo"), QStringLiteral("The message file to write."));
    line.addTextOptions();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;

    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();
    const std::optional<MessageSet> set = line.messageSet();
    if (!set)
        return line.failureStatus();
    return writeMessageFileReporting(*file, *set);
}

} // namespace varlo::cli
