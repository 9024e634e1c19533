// SPDX-License-Identifier: GPL-3.0-or-later
#include "fontcommand.h"

#include "charset/fonttable.h"
#include "charset/fontupload.h"
#include "clireporter.h"
#include "commandline.h"

namespace varlo::cli {

int runFont(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("font"), QStringLiteral("[--port PORT]... [--dry-run]"),
                     QStringLiteral("Loads the panel's character generator with the two built-in fonts, "
                                    "normal and bold: 64 frames, as the Initial button does."),
                     QStringLiteral("varlo-cli font --port COM3"));
    line.addPortOption();
    line.addDryRunOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<std::vector<PortChoice>> ports = line.ports();
    if (!ports)
        return ExitUsage;

    if (line.dryRun()) {
        printFrames(CharacterGeneratorFrames(FontTable::image()));
        return ExitDone;
    }

    return uploadToEachPort(*ports, [](const PortChoice &port, LinkReporter &reporter) {
        return SendCharacterGenerator(FontTable::image(), port, reporter);
    });
}

} // namespace varlo::cli
