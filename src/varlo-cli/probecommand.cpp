// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/probecommand.h"

#include "varlo-cli/clireporter.h"
#include "varlo-cli/commandline.h"
#include "link/panellink.h"

namespace varlo::cli {

int runProbe(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("probe"), QStringLiteral("[--port PORT]"),
                     QStringLiteral("Finds the panel as an upload does and prints its port, e.g. COM3. "
                                    "A chosen port or device path is only opened and closed: the panel "
                                    "is probed only when searching."),
                     QStringLiteral("varlo-cli probe"));
    line.addPortOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<PortChoice> port = line.port();
    if (!port)
        return ExitUsage;

    CliReporter reporter;
    UploadOutcome outcome;
    std::optional<PanelLink> link = openPanelLink(*port, reporter, outcome);
    if (!link) {
        showUploadEnd(outcome, reporter);
        return ExitFailed;
    }
    link->close();
    printOut(link->portName() + QLatin1Char('\n'));
    return ExitDone;
}

} // namespace varlo::cli
