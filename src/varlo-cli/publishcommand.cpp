// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/publishcommand.h"

#include "varlo-cli/commandline.h"
#include "varlo-cli/fleetsession.h"
#include "files/messagefile.h"
#include "files/readfile.h"
#include "fleet/fleetnames.h"
#include "model/messageset.h"

namespace varlo::cli {

namespace {

const QString kPanel = QStringLiteral("panel");
const QString kGroup = QStringLiteral("group");
const QString kSlot = QStringLiteral("slot");

// --slot C=TEXT: the slot and the text. Arguments arrive as Latin-1, one
// character per byte; the text goes out as UTF-8, so its bytes must be
// UTF-8 already (the terminal's encoding). Nothing after a usage error.
std::optional<std::pair<int, QString>> slotChange(CommandLine &line)
{
    const QString value = line.parser().value(kSlot);
    const int slot = fleet::names::slotOfLetter(QStringView(value).left(1), Qt::CaseInsensitive);
    if (value.size() < 2 || value.at(1) != QLatin1Char('=') || slot < 0) {
        line.usageError(QStringLiteral("--slot %1: not C=TEXT with a slot letter A to T").arg(argumentExcerpt(value)));
        return std::nullopt;
    }
    const QByteArray textBytes = value.mid(2).toLatin1();
    const QString text = QString::fromUtf8(textBytes);
    if (text.toUtf8() != textBytes) {
        line.usageError(
            QStringLiteral("--slot %1: the text is not valid UTF-8").arg(QLatin1Char(MessageSet::slotLetter(slot))));
        return std::nullopt;
    }
    return std::pair{slot, text};
}

// The set the file holds: nothing is published from a file that is not a
// complete message file.
std::optional<MessageSet> readSetFile(const QString &path)
{
    // No message file is larger, and the panels' agents take no more.
    const FileRead read = readFile(path, {messagefile::kMaxMeaningfulSize, "a message file"});
    if (!read.ok()) {
        printMessage(read.error());
        return std::nullopt;
    }
    MessageSet set;
    set.clearForNew();
    if (!decodeMessageFile(read.bytes, set).ok()) {
        printMessage(QStringLiteral("%1: not a whole message file; nothing was published").arg(path));
        return std::nullopt;
    }
    return set;
}

} // namespace

int runPublish(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("publish"),
        QStringLiteral("(FILE.vlo | --slot C=TEXT) --broker URL (--panel NAME | --group G)... [--wait SECONDS] "
                       "[--tls-ca FILE] [--credentials FILE]"),
        QStringLiteral(
            "Publishes a message file, retained, to panels and groups on an MQTT broker, where each panel's "
            "varlo-agent uploads it, and waits until every panel concerned says it holds it. Or, with --slot, "
            "changes one slot of what the panels named hold.\n\n"
            "Prints one line per panel: 'shop-1: uploaded on COM3' once the panel holds it, 'shop-2: "
            "offline' for an agent that is not connected, or the error its upload met, such as 'shop-3: "
            "Serial port write error!' (its agent tries again). An upload that fails is said at once on "
            "standard error, and the wait goes on while the agent tries again. Exit status 0 as soon as every "
            "panel confirmed; 1 when the wait ran out first, or an agent refused what was published."),
        QStringLiteral("varlo-cli publish shop.vlo --broker mqtt://hub.local --group all\n"
                       "  varlo-cli publish --slot C='OPEN ~H' --broker mqtt://hub.local --panel shop-1"));
    line.addFileArgument(QStringLiteral("FILE.vlo"), QStringLiteral("The message file to publish."));
    line.parser().addOption(
        {kPanel, QStringLiteral("A panel to publish to, by its agent's --name; repeatable."), QStringLiteral("NAME")});
    line.parser().addOption({kGroup,
                             QStringLiteral("A group to publish to; every panel whose agent is in it takes the "
                                            "set, also those that join later. Repeatable."),
                             QStringLiteral("G")});
    line.parser().addOption({kSlot,
                             QStringLiteral("Instead of a file: replace slot C (A to T) of what each panel holds "
                                            "with TEXT (escapes as in -m of send)."),
                             QStringLiteral("C=TEXT")});
    FleetSession session(line);
    session.addOptions();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;

    const std::optional<QString> file = line.file(false);
    if (!file)
        return line.failureStatus();
    const bool slotMode = line.parser().isSet(kSlot);
    if (file->isEmpty() == !slotMode)
        return line.usageError(slotMode ? QStringLiteral("give a file or --slot, not both")
                                        : QStringLiteral("FILE.vlo or --slot missing"));
    const QStringList panels = line.parser().values(kPanel);
    const QStringList groups = line.parser().values(kGroup);
    if (panels.isEmpty() && groups.isEmpty())
        return line.usageError(QStringLiteral("name a --panel or a --group to publish to"));
    const std::optional<std::pair<int, QString>> change = slotMode ? slotChange(line) : std::nullopt;
    if (slotMode && !change)
        return ExitUsage;
    if (!session.readOptions())
        return session.failureStatus();
    std::optional<MessageSet> set;
    if (!slotMode && !(set = readSetFile(*file)))
        return ExitFileFailed;

    if (!session.connect())
        return ExitFailed;
    fleet::FleetClient &fleet = session.client();
    session.followFailures();
    QString error;
    bool started = false;
    if (slotMode) {
        // A slot text goes to panels only; a group stands for its members.
        QStringList targets = panels;
        for (const QString &group : groups) {
            const QStringList members = fleet.membersOf(group);
            if (members.isEmpty())
                return line.usageError(QStringLiteral("--group %1: no known panel is in this group").arg(group));
            for (const QString &member : members) {
                if (!targets.contains(member))
                    targets << member;
            }
        }
        started = fleet.publishSlot(change->first, change->second, targets, session.secondsLeft(), &error);
    } else {
        started = fleet.publishSet(*set, panels, groups, session.secondsLeft(), &error);
    }
    if (!started)
        return line.usageError(error);
    return session.reportOutcomes();
}

} // namespace varlo::cli
