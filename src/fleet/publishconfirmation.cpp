// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/publishconfirmation.h"

#include "fleet/fleettopics.h"
#include "model/messageset.h"

namespace varlo::fleet {

namespace {

using Kind = PanelOutcome::Kind;

QString clock(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QString PublishConfirmation::Expected::slotTopicOf(const QString &panel) const
{
    return slot >= 0 ? topics::panelSlot(panel, MessageSet::slotLetter(slot)) : QString();
}

PublishConfirmation::PublishConfirmation(const QStringList &panels, const QStringList &emptyGroups, Expected expected)
    : m_panels(panels)
    , m_emptyGroups(emptyGroups)
    , m_expected(std::move(expected))
{
    for (const QString &panel : m_panels)
        m_outcomes.insert(panel,
                          {panel, Kind::Unknown, QStringLiteral("no status: no agent has announced this panel")});
}

void PublishConfirmation::take(const PanelStatus &status)
{
    if (m_outcomes.contains(status.name))
        m_outcomes[status.name] = judge(status, m_expected);
}

PanelOutcome PublishConfirmation::judge(const PanelStatus &status, const Expected &expected)
{
    const auto outcome = [&](Kind kind, const QString &text) { return PanelOutcome{status.name, kind, text}; };
    const bool runsIt =
        !expected.scheduleHash.isEmpty() && status.schedule && status.schedule->hash == expected.scheduleHash;
    bool holdsIt = false;
    if (!expected.scheduleHash.isEmpty())
        holdsIt = runsIt && status.desired && status.uploaded && status.uploaded->hash == status.desired->hash;
    else if (expected.slot >= 0)
        holdsIt = status.uploaded && expected.slot < status.uploadedSlots.size()
            && status.uploadedSlots.at(expected.slot) == expected.slotText;
    else
        holdsIt = status.uploaded && status.uploaded->hash == expected.setHash;
    if (holdsIt) {
        const QString port = status.uploaded->port.isEmpty() ? status.port : status.uploaded->port;
        return outcome(
            Kind::Confirmed,
            QStringLiteral("%1uploaded on %2")
                .arg(runsIt ? QStringLiteral("runs the schedule; its set ") : QString(), PanelStatus::quoted(port)));
    }
    if (!status.online)
        return outcome(Kind::Offline, QStringLiteral("offline"));
    if (status.refused && !expected.payloadHash.isEmpty() && status.refused->payloadHash == expected.payloadHash)
        return outcome(Kind::Refused, QStringLiteral("refused: %1").arg(PanelStatus::quoted(status.refused->reason)));

    const bool wantsIt = !expected.scheduleHash.isEmpty() ? runsIt
                                                          : status.desired
            && (expected.slot >= 0 ? status.desired->source == expected.slotTopicOf(status.name)
                                   : status.desired->hash == expected.setHash);
    if (!wantsIt)
        return outcome(Kind::Waiting, QStringLiteral("waiting for the agent to take it"));
    switch (status.state) {
    case PanelStatus::State::Retrying:
        if (status.error)
            return outcome(Kind::Failed, PanelStatus::quoted(status.error->text));
        break;
    case PanelStatus::State::NoPanel:
        return outcome(Kind::Failed, status.error ? status.error->text.trimmed() : QStringLiteral("no panel"));
    case PanelStatus::State::Held:
        return outcome(Kind::Waiting,
                       QStringLiteral("held back until %1 (minimum interval)").arg(clock(status.heldUntil)));
    case PanelStatus::State::Uploading:
        return outcome(Kind::Waiting, QStringLiteral("uploading"));
    default:
        break;
    }
    return outcome(Kind::Waiting, QStringLiteral("waiting for the upload"));
}

QList<PanelOutcome> PublishConfirmation::outcomes() const
{
    QList<PanelOutcome> list;
    for (const QString &panel : m_panels)
        list << m_outcomes.value(panel);
    for (const QString &group : m_emptyGroups)
        list << PanelOutcome{group, Kind::EmptyGroup, QStringLiteral("no known panel is in this group")};
    return list;
}

bool PublishConfirmation::allConfirmed() const
{
    if (!m_emptyGroups.isEmpty())
        return false;
    for (const PanelOutcome &outcome : m_outcomes) {
        if (outcome.kind != Kind::Confirmed)
            return false;
    }
    return true;
}

bool PublishConfirmation::settled() const
{
    for (const PanelOutcome &outcome : m_outcomes) {
        const bool final = outcome.kind == Kind::Confirmed || outcome.kind == Kind::Refused
            || (outcome.kind == Kind::Failed && m_failuresSettle);
        if (!final)
            return false;
    }
    return true;
}

} // namespace varlo::fleet
