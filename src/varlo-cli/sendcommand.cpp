// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/sendcommand.h"

#include "varlo-cli/clireporter.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/filereport.h"
#include "files/messagefile.h"
#include "link/messageupload.h"
#include "model/messageblock.h"

namespace varlo::cli {

int runSend(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("send"),
                     QStringLiteral("[FILE.vlo [--slot SLOT=TEXT]... | [-m TEXT]... [--speed CODE]] [--raw] "
                                    "[--stop LETTERS] [--delay N] [--port PORT]... [--dry-run]"),
                     QStringLiteral("Uploads messages to the panel: the 20 slots of a message file with their "
                                    "speed codes, or one -m per slot, A first, with every slot not given sent "
                                    "empty. Nothing is sent from a file that can't be read or whose END is "
                                    "missing."),
                     QStringLiteral("varlo-cli send -m 'OPEN ~H' -m '~BSALE~A today' --stop B --port COM3\n"
                                    "  varlo-cli send shop.vlo --slot C='SALE ~B50%' --port COM3"));
    line.addFileArgument(QStringLiteral("FILE.vlo"),
                         QStringLiteral("A message file to send instead of -m texts. Run flags are not "
                                        "part of the file: every slot runs unless --stop says otherwise."));
    line.addMessageOptions();
    line.parser().addOption({QStringLiteral("slot"),
                             QStringLiteral("With a file: send slot SLOT (A to T, either case) with TEXT, "
                                            "taken as -m takes it, instead of the file's; the file stays as it "
                                            "is. May be given for several slots."),
                             QStringLiteral("SLOT=TEXT")});
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

    const QStringList replacements = line.parser().values(QStringLiteral("slot"));
    if (file->isEmpty() && !replacements.isEmpty())
        return line.usageError(QStringLiteral("--slot changes a slot of a file; give the file"));

    std::optional<MessageSet> set = line.messageSet();
    const std::optional<int> delay = set ? line.commuDelayPosition() : std::nullopt;
    const std::optional<std::vector<PortChoice>> ports = delay ? line.ports() : std::nullopt;
    if (!ports)
        return line.failureStatus();

    // The run flags from --stop stay as they are: the file has none. A file
    // without its END may hold anything, so it is not sent at all.
    // Every --slot is checked before the file is read, so that a usage error
    // is told as one whatever the file holds.
    std::vector<std::pair<int, QByteArray>> slotTexts;
    for (const QString &replacement : replacements) {
        const qsizetype equals = replacement.indexOf(QLatin1Char('='));
        const QString label = QStringLiteral("--slot %1").arg(argumentExcerpt(replacement.left(equals)));
        const int slot = equals < 0 ? -1 : line.slotValue(replacement.left(equals), QStringLiteral("--slot"));
        if (equals < 0)
            return line.usageError(QStringLiteral("--slot %1: not SLOT=TEXT").arg(argumentExcerpt(replacement)));
        if (slot < 0)
            return ExitUsage;
        for (const auto &[earlier, text] : slotTexts) {
            if (earlier == slot)
                return line.usageError(
                    QStringLiteral("--slot %1 given twice").arg(QLatin1Char(MessageSet::slotLetter(slot))));
        }
        const std::optional<QByteArray> markup = line.markupValue(replacement.mid(equals + 1), label);
        if (!markup)
            return ExitUsage;
        slotTexts.emplace_back(slot, *markup);
    }
    // A text given here that the panel can't hold whole is refused, as
    // write refuses one the file can't hold: the panel would show only its
    // start. (A file's own texts go as they are, as the window sends them.)
    std::vector<std::pair<int, QByteArray>> givenTexts = slotTexts;
    for (int slot = 0; file->isEmpty() && slot < MessageSet::kSlotCount; ++slot)
        givenTexts.emplace_back(slot, set->markup(slot));
    for (const auto &[slot, markup] : givenTexts) {
        if (markupOverflows(markup)) {
            printMessage(slotOverflowMessage(slot));
            return ExitFileFailed;
        }
    }
    if (!file->isEmpty() && !readMessageFileReporting(*file, *set).ok())
        return ExitFileFailed;
    for (const auto &[slot, markup] : slotTexts)
        set->setMarkup(slot, markup);

    if (line.dryRun()) {
        printFrames(planMessageUpload(*set, *delay).frames());
        return ExitDone;
    }

    const UploadPlan plan = planMessageUpload(*set, *delay);
    return uploadToEachPort(
        *ports, [&plan](const PortChoice &port, UploadProgress &progress) { return runUpload(plan, port, progress); });
}

} // namespace varlo::cli
