// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/panelstatus.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace varlo::fleet {

// What a publisher can say about one panel after publishing to it.
struct PanelOutcome
{
    enum class Kind {
        Confirmed, // the panel holds what was published
        Waiting, // not yet: the agent has not got it, holds it back, or uploads
        Offline, // the agent is not connected
        Failed, // the agent tried and the upload failed; it retries
        Refused, // the agent refused the payload
        Unknown, // no agent has ever said anything about this panel
        EmptyGroup // a group that no known panel is in (panel holds the group)
    };

    QString panel;
    Kind kind = Kind::Unknown;
    // One line for a person: "uploaded on COM3", "offline",
    // "Serial port write error!", "refused: ...", "held back until 12:00:05".
    QString text;
};

// What the panels a set (or a slot text) was published to say about it, from
// their statuses as they come. The publisher feeds it every status it
// receives and stops once everything is settled or its time is up.
class PublishConfirmation
{
public:
    struct Expected
    {
        // The set's name (hashOfSet); empty when a slot text was published.
        QString setHash;
        // The slot and text published, for a slot change; -1 otherwise.
        int slot = -1;
        QString slotText;
        QString slotTopicOf(const QString &panel) const;
        // The hash of the payload's bytes, to recognise its refusal.
        QString payloadHash;
        // For a schedule published: its hash (hashOfBytes); the panel holds
        // it when its status runs that schedule and has uploaded its set.
        QString scheduleHash;
    };

    PublishConfirmation(const QStringList &panels, const QStringList &emptyGroups, Expected expected);

    // Takes a status; one of a panel not named is ignored.
    void take(const PanelStatus &status);

    // One per panel, in the order named, then the empty groups.
    QList<PanelOutcome> outcomes() const;
    bool allConfirmed() const;
    // Nothing more to wait for: every panel has confirmed, failed or
    // refused. Offline and unknown panels may still come, so they keep the
    // publisher waiting until its time is up.
    bool settled() const;
    // Off: a failed upload settles nothing either, as its agent tries again
    // and may well succeed within the publisher's wait; only a refusal
    // (the agent never tries that payload again) and a confirmation do.
    void setFailuresSettle(bool settle) { m_failuresSettle = settle; }

    static PanelOutcome judge(const PanelStatus &status, const Expected &expected);

private:
    QStringList m_panels;
    QStringList m_emptyGroups;
    Expected m_expected;
    QMap<QString, PanelOutcome> m_outcomes;
    bool m_failuresSettle = true;
};

} // namespace varlo::fleet
