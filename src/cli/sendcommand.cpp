// SPDX-License-Identifier: GPL-3.0-or-later
#include "sendcommand.h"

#include "clireporter.h"
#include "commandline.h"
#include "filereport.h"
#include "link/messageupload.h"

namespace varlo::cli {

int runSend(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("send"),
                     QStringLiteral("[FILE.vlo | [-m TEXT]... [--speed CODE]] [--stop LETTERS] [--delay N] "
                                    "[--port PORT] [--dry-run]"),
                     QStringLiteral("Uploads messages to the panel: the 20 slots of a message file with their "
                                    "speed codes, or one -m per slot, A first, with every slot not given sent "
                                    "empty. Nothing is sent from a file that can't be read or whose END is "
                                    "missing."),
                     QStringLiteral("varlo-cli send -m 'OPEN ~H' -m '~BSALE~A today' --stop B --port COM3\n"
                                    "  varlo-cli send shop.vlo --port COM3"));
    line.addFileArgument(QStringLiteral("FILE.vlo"),
                         QStringLiteral("A message file to send instead of -m texts. Run flags are not "
                                        "part of the file: every slot runs unless --stop says otherwise."));
    line.addMessageOptions();
    line.addDelayOption();
    line.addPortOption();
    line.addDryRunOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;

    const std::optional<QString> file = line.file(false);
    if (!file)
        return line.failureStatus();
    // A file brings its own texts and speed codes.
    if (!file->isEmpty() && line.parser().isSet(QStringLiteral("m")))
        return line.usageError(QStringLiteral("give a file or -m texts, not both"));
    if (!file->isEmpty() && line.parser().isSet(QStringLiteral("speed")))
        return line.usageError(QStringLiteral("--speed goes with -m texts; a file has its own speed codes"));

    std::optional<MessageSet> set = line.messageSet();
    const std::optional<int> delay = set ? line.commuDelayPosition() : std::nullopt;
    const std::optional<PortChoice> port = delay ? line.port() : std::nullopt;
    if (!port)
        return line.failureStatus();

    // The run flags from --stop stay as they are: the file has none. A file
    // without its END may hold anything, so it is not sent at all.
    if (!file->isEmpty() && !readMessageFileReporting(*file, *set).ok())
        return ExitFileFailed;

    if (line.dryRun()) {
        std::vector<LinkFrame> frames;
        for (const UploadStep &step : PlanMessageUpload(*set, *delay))
            frames.insert(frames.end(), step.frames.begin(), step.frames.end());
        printFrames(frames);
        return ExitDone;
    }

    CliReporter reporter;
    return SendMessageSet(*set, *port, *delay, reporter) ? ExitDone : ExitFailed;
}

} // namespace varlo::cli
