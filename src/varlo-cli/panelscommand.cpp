// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/panelscommand.h"

#include "varlo-cli/commandline.h"
#include "varlo-cli/fleetsession.h"

namespace varlo::cli {

namespace {

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

// "shop-1: online, idle, port COM3, groups all north, uploaded 2026-12-11
// 09:30:00 UTC on COM3, error: Serial port write error! (reason)"
// "shop-2: offline since 2026-12-11 09:40:00 UTC, port COM3, holds set
// 3f2a9c01d2e4 (uploaded 2026-12-11 09:30:00 UTC on COM3)"
QString panelLine(const fleet::PanelStatus &status)
{
    using fleet::PanelStatus;
    // An agent that is gone says nothing more; its panel still holds what
    // its last status says was uploaded. "Since" is the agent's last word.
    QStringList parts{status.online ? QStringLiteral("online")
                                    : QStringLiteral("offline since %1").arg(timeText(status.time))};
    if (status.online)
        parts << PanelStatus::stateName(status.state);
    if (!status.port.isEmpty())
        parts << QStringLiteral("port ") + PanelStatus::quoted(status.port);
    if (!status.groups.isEmpty())
        parts << QStringLiteral("groups ") + PanelStatus::quoted(status.groups.join(QLatin1Char(' ')));
    const QString uploaded = status.uploaded
        ? QStringLiteral("uploaded %1 on %2")
              .arg(timeText(status.uploaded->time), PanelStatus::quoted(status.uploaded->port))
        : QString();
    if (!status.uploaded)
        parts << QStringLiteral("nothing uploaded yet");
    else if (status.online)
        parts << uploaded;
    else
        parts << QStringLiteral("holds set %1 (%2)").arg(PanelStatus::quoted(status.uploaded->hash.left(12)), uploaded);
    if (status.schedule) {
        // "schedule 55e2907d4834 (A line 2, B line 4; next change
        // 2026-03-02 11:00:00 UTC)"
        QStringList active;
        for (const PanelStatus::ActiveEntry &entry : status.schedule->active)
            active << QStringLiteral("%1 line %2").arg(QLatin1Char(entry.slot)).arg(entry.line);
        parts << QStringLiteral("schedule %1 (%2; %3)")
                     .arg(PanelStatus::quoted(status.schedule->hash.left(12)),
                          active.isEmpty() ? QStringLiteral("no entry runs") : active.join(QStringLiteral(", ")),
                          status.schedule->nextChange.isValid()
                              ? QStringLiteral("next change %1").arg(timeText(status.schedule->nextChange))
                              : QStringLiteral("no change ahead"));
    }
    if (status.error) {
        const QString reason = status.error->reason.isEmpty()
            ? QString()
            : QStringLiteral(" (%1)").arg(PanelStatus::quoted(status.error->reason));
        parts << QStringLiteral("error: %1%2").arg(PanelStatus::quoted(status.error->text), reason);
    }
    if (status.refused)
        parts << QStringLiteral("refused: %1").arg(PanelStatus::quoted(status.refused->reason));
    return status.name + QStringLiteral(": ") + parts.join(QStringLiteral(", ")) + QLatin1Char('\n');
}

} // namespace

int runPanels(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("panels"),
                     QStringLiteral("--broker URL [--wait SECONDS] [--tls-ca FILE] [--credentials FILE]"),
                     QStringLiteral("Lists the panels whose varlo-agent has a status on the broker, one line "
                                    "each, by name: online or offline, what the agent is doing, its port and "
                                    "groups, the last good upload, the schedule it runs (the entries that run "
                                    "now, by slot and line, and when that changes next) and the last error."),
                     QStringLiteral("varlo-cli panels --broker mqtt://hub.local"));
    FleetSession session(line);
    session.addOptions();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    if (!session.readOptions())
        return session.failureStatus();
    if (!session.connect())
        return ExitFailed;

    const QList<fleet::PanelStatus> panels = session.client().panels();
    if (panels.isEmpty())
        printMessage(QStringLiteral("no panel has a status on %1").arg(session.brokerName()));
    QString text;
    for (const fleet::PanelStatus &status : panels)
        text += panelLine(status);
    printOut(text);
    return ExitDone;
}

} // namespace varlo::cli
