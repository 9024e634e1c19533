#include "sendcommand.h"

#include "clireporter.h"
#include "commandline.h"
#include "link/messageupload.h"

namespace varlo::cli {

int runSend(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("send"),
                     QStringLiteral("[-m TEXT]... [--speed CODE] [--stop LETTERS] [--delay N] [--port PORT] [--dry-run]"),
                     QStringLiteral("Uploads messages to the panel: one -m per slot, A first; every slot not "
                                    "given is sent empty."),
                     QStringLiteral("varlo-cli send -m 'OPEN ~H' -m '~BSALE~A today' --stop B --port COM3"));
    line.addMessageOptions();
    line.addDelayOption();
    line.addPortOption();
    line.addDryRunOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;

    const std::optional<MessageSet> set = line.messageSet();
    const std::optional<int> delay = set ? line.commuDelayPosition() : std::nullopt;
    const std::optional<PortChoice> port = delay ? line.port() : std::nullopt;
    if (!port)
        return ExitUsage;

    if (line.dryRun()) {
        std::vector<LinkFrame> frames;
        for (const UploadStep &step : PlanMessageUpload(*set, *delay))
            frames.insert(frames.end(), step.frames.begin(), step.frames.end());
        printFrames(frames);
        return ExitDone;
    }

    CliReporter reporter;
    return SendMessageSet(*set, *port, *delay, reporter) ? ExitDone : ExitLinkFailed;
}

} // namespace varlo::cli
