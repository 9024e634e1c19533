// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-cli: uploads to the panel and handles message files from scripts,
// without the window.

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/fontcommand.h"
#include "varlo-cli/panelscommand.h"
#include "varlo-cli/probecommand.h"
#include "varlo-cli/publishcommand.h"
#include "varlo-cli/schedulecommand.h"
#include "varlo-cli/sendcommand.h"
#include "varlo-cli/setcommand.h"
#include "varlo-cli/showcommand.h"
#include "varlo-cli/writecommand.h"
#include "console/stopsignals.h"
#include "link/uploadstop.h"

#include <QCoreApplication>

#include <array>

using namespace varlo;
using namespace varlo::cli;

namespace {

constexpr std::array kCommands = {
    Command{"send", "Upload a message file, or messages given as -m texts.", runSend},
    Command{"write", "Make a message file from -m texts.", runWrite},
    Command{"show", "Print the slots of a message file.", runShow},
    Command{"set", "Change one slot of a message file.", runSet},
    Command{"font", "Load the panel's fonts (Initial): the font in use or a .vlf file.", runFont},
    Command{"probe", "Find the panel and print its port.", runProbe},
    Command{"publish", "Publish a message file to panels on an MQTT broker.", runPublish},
    Command{"panels", "List the panels on an MQTT broker and their status.", runPanels},
    Command{"schedule", "Check a schedule file, or publish it for the agents to run.", runSchedule},
};

QString overview()
{
    QString text = QStringLiteral("varlo-cli programs an LED message panel over a serial line.\n\n"
                                  "Usage: varlo-cli <command> [options]\n\n"
                                  "Commands:\n");
    for (const Command &command : kCommands)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(command.name), -8).arg(QLatin1String(command.summary));
    text += QStringLiteral("\nRun 'varlo-cli <command> --help' for its options, 'varlo-cli --version' (or -V)\n"
                           "for the version.\n\n"
                           "Examples:\n"
                           "  varlo-cli send -m 'HELLO ~H' --port AUTO\n"
                           "  varlo-cli write shop.vlo -m 'OPEN ~H' && varlo-cli send shop.vlo\n\n");
    return text + QLatin1String(kExitStatusText) + QLatin1Char('\n') + portTableText();
}

// Runs what the arguments (after the program's name) ask for.
int run(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        printErr(overview());
        return ExitUsage;
    }
    const QString name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printOut(overview());
        return ExitDone;
    }
    if (isVersionArgument(name)) {
        printOut(versionText());
        return ExitDone;
    }
    for (const Command &command : kCommands) {
        if (name != QLatin1String(command.name))
            continue;
        // Ctrl-C, SIGTERM and SIGHUP ask the upload to stop rather than end
        // the program where it stands: the upload runs on this thread and
        // looks at the request before each byte and during pauses, releases
        // the port (its lock file goes, the line gets its settings back),
        // and the command ends the progress line. The exit status then says
        // which signal it was: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP.
        const StopSignals stopSignals({&UploadStop::request, 0, nullptr, false, true});
        const int status = command.run(arguments);
        const int signal = StopSignals::received();
        return signal != 0 ? ExitSignalBase + signal : status;
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(argumentExcerpt(name)));
}

} // namespace

int main(int argc, char *argv[])
{
    nameProgram(QStringLiteral("varlo-cli"));
    QCoreApplication app(argc, argv);

    // Latin-1 keeps every byte of the command line as one character; each
    // command then reads a -m text as UTF-8 text or, with --raw, as bytes,
    // and a file name as the file system's name.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLatin1(argv[i]);

    return finishOutput(run(arguments), ExitOutputFailed);
}
