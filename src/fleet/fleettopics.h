// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace varlo::fleet {

// The topics of a fleet of panels on one broker:
//
//   varlo/panel/NAME/messages   a message file (.vlo bytes) for one panel, retained
//   varlo/group/G/messages      the same for every panel in group G, retained
//   varlo/panel/NAME/slot/C     UTF-8 text that replaces slot C (A to T)
//   varlo/panel/NAME/font       a character generator table (4,096 bytes), retained
//   varlo/panel/NAME/schedule   a schedule file (UTF-8 text) for one panel, retained
//   varlo/group/G/schedule      the same for every panel in group G, retained
//   varlo/panel/NAME/status     the agent's status as JSON, retained
//   varlo/panel/NAME/availability  "online" or "offline" (the agent's last
//                               will), retained
//
// Panel and group names are checked by names::nameProblem (fleetnames.h).
namespace topics {

QString panelMessages(const QString &panel);
QString groupMessages(const QString &group);
QString panelSchedule(const QString &panel);
QString groupSchedule(const QString &group);
// The most bytes a schedule published may have: far more than a schedule of
// a few hundred entries takes.
inline constexpr qint64 kMaxScheduleBytes = 64 * 1024;
QString panelSlot(const QString &panel, char letter);
// Everything under the panel's slots, as a subscription:
// varlo/panel/NAME/slot/#. Wider than the slots themselves, so that a
// publish to slot/U or slot/A/x reaches the agent, which says it is no slot
// rather than letting it vanish.
QString panelSlots(const QString &panel);
// Whether the topic is under the panel's slots (a slot or not).
bool isUnderSlots(const QString &panel, const QString &topic);
QString panelFont(const QString &panel);
QString panelStatus(const QString &panel);
// Every panel's status, as a subscription.
QString allStatuses();
QString panelAvailability(const QString &panel);
QString allAvailabilities();
inline const QByteArray kOnline = QByteArrayLiteral("online");
inline const QByteArray kOffline = QByteArrayLiteral("offline");

// The panel a status topic belongs to, or an empty text.
QString panelOfStatus(const QString &topic);
// The same for an availability topic.
QString panelOfAvailability(const QString &topic);
// The slot letter of a slot topic of this panel, or 0.
char slotOfTopic(const QString &panel, const QString &topic);

} // namespace topics

} // namespace varlo::fleet
