// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/homeassistant.h"

#include "files/messagefile.h"
#include "fleet/fleettopics.h"
#include "model/messageset.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace varlo::agent::homeassistant {

namespace {

QJsonObject common(const QString &panel, const QString &version, const QString &id)
{
    const QString device = QStringLiteral("varlo_") + panel;
    return {
        {QStringLiteral("unique_id"), device + QLatin1Char('_') + id},
        {QStringLiteral("state_topic"), fleet::topics::panelStatus(panel)},
        // "online" and "offline", Home Assistant's own defaults.
        {QStringLiteral("availability_topic"), fleet::topics::panelAvailability(panel)},
        {QStringLiteral("device"),
         QJsonObject{{QStringLiteral("identifiers"), QStringLiteral("varlo_") + panel},
                     {QStringLiteral("name"), QStringLiteral("LED panel %1").arg(panel)},
                     {QStringLiteral("model"), QStringLiteral("LED message panel")},
                     {QStringLiteral("sw_version"), version}}},
    };
}

QString configTopic(const QString &component, const QString &panel, const QString &id)
{
    return QStringLiteral("homeassistant/%1/varlo_%2/%3/config").arg(component, panel, id);
}

} // namespace

QList<Announcement> announcementsFor(const QString &panel, const QString &version)
{
    QList<Announcement> announcements;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        const char letter = MessageSet::slotLetter(slot);
        const QString id = QStringLiteral("slot_%1").arg(QChar(QLatin1Char(letter)).toLower());
        QJsonObject config = common(panel, version, id);
        config.insert(QStringLiteral("name"), QStringLiteral("Slot %1").arg(QLatin1Char(letter)));
        config.insert(QStringLiteral("command_topic"), fleet::topics::panelSlot(panel, letter));
        // QoS 1: the broker keeps a text typed while the agent is away in
        // its session; at QoS 0 it would be lost.
        config.insert(QStringLiteral("qos"), 1);
        // What the panel shows, not what was asked for: the slot as last uploaded.
        config.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ value_json.uploaded.slots.%1 if value_json.uploaded else '' }}")
                          .arg(QLatin1Char(letter)));
        config.insert(QStringLiteral("min"), 0);
        config.insert(QStringLiteral("max"), messagefile::kMaxTextSize);
        config.insert(QStringLiteral("mode"), QStringLiteral("text"));
        config.insert(QStringLiteral("icon"), QStringLiteral("mdi:message-text"));
        announcements << Announcement{configTopic(QStringLiteral("text"), panel, id),
                                      QJsonDocument(config).toJson(QJsonDocument::Compact)};
    }
    const QString id = QStringLiteral("last_upload");
    QJsonObject sensor = common(panel, version, id);
    sensor.insert(QStringLiteral("name"), QStringLiteral("Last upload"));
    sensor.insert(QStringLiteral("device_class"), QStringLiteral("timestamp"));
    // "None" is how a template tells Home Assistant there is no value.
    sensor.insert(QStringLiteral("value_template"),
                  QStringLiteral("{{ value_json.uploaded.time if value_json.uploaded else None }}"));
    sensor.insert(QStringLiteral("json_attributes_topic"), fleet::topics::panelStatus(panel));
    sensor.insert(QStringLiteral("json_attributes_template"),
                  QStringLiteral("{{ {'state': value_json.state, 'port': value_json.uploaded.port if "
                                 "value_json.uploaded else None, 'error': value_json.error.text if value_json.error "
                                 "else None, 'refused': value_json.refused.topic ~ ': ' ~ value_json.refused.reason "
                                 "if value_json.refused else None} | tojson }}"));
    announcements << Announcement{configTopic(QStringLiteral("sensor"), panel, id),
                                  QJsonDocument(sensor).toJson(QJsonDocument::Compact)};
    return announcements;
}

} // namespace varlo::agent::homeassistant
