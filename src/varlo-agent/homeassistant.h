// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace varlo::agent {

// Home Assistant's MQTT discovery: retained configurations under
// homeassistant/ that make a panel a device with one text entity per slot
// (writing one publishes to the slot's topic) and a sensor for the time of
// the last upload. Every entity reads the agent's status topic and counts as
// available while the availability topic says online.
namespace homeassistant {

// Home Assistant publishes "online" here when it starts; the agent then
// announces itself again, as Home Assistant may have lost the entities.
inline const QString kStatusTopic = QStringLiteral("homeassistant/status");
inline const QByteArray kOnline = QByteArrayLiteral("online");

struct Announcement
{
    QString topic;
    QByteArray payload;
};

// The configurations of one panel. version: the agent's, shown on the device.
QList<Announcement> announcementsFor(const QString &panel, const QString &version);

} // namespace homeassistant

} // namespace varlo::agent
