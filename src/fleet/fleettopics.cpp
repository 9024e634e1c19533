// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleettopics.h"

#include "fleet/fleetnames.h"

namespace varlo::fleet::topics {

namespace {

const QString kPanelPrefix = QStringLiteral("varlo/panel/");
const QString kStatusLevel = QStringLiteral("/status");
const QString kSlotLevel = QStringLiteral("/slot/");
const QString kAvailabilityLevel = QStringLiteral("/availability");

// The panel of varlo/panel/NAME<level>, or an empty text.
QString panelOf(const QString &topic, const QString &level)
{
    if (!topic.startsWith(kPanelPrefix) || !topic.endsWith(level))
        return {};
    const QString name = topic.mid(kPanelPrefix.size(), topic.size() - kPanelPrefix.size() - level.size());
    return names::nameProblem(name).isEmpty() ? name : QString();
}

} // namespace

QString panelMessages(const QString &panel)
{
    return kPanelPrefix + panel + QStringLiteral("/messages");
}

QString groupMessages(const QString &group)
{
    return QStringLiteral("varlo/group/") + group + QStringLiteral("/messages");
}

QString panelSchedule(const QString &panel)
{
    return kPanelPrefix + panel + QStringLiteral("/schedule");
}

QString groupSchedule(const QString &group)
{
    return QStringLiteral("varlo/group/") + group + QStringLiteral("/schedule");
}

QString panelSlot(const QString &panel, char letter)
{
    return kPanelPrefix + panel + kSlotLevel + QLatin1Char(letter);
}

QString panelSlots(const QString &panel)
{
    return kPanelPrefix + panel + kSlotLevel + QLatin1Char('#');
}

bool isUnderSlots(const QString &panel, const QString &topic)
{
    return topic.startsWith(kPanelPrefix + panel + kSlotLevel);
}

QString panelFont(const QString &panel)
{
    return kPanelPrefix + panel + QStringLiteral("/font");
}

QString panelStatus(const QString &panel)
{
    return kPanelPrefix + panel + kStatusLevel;
}

QString allStatuses()
{
    return panelStatus(QStringLiteral("+"));
}

QString panelAvailability(const QString &panel)
{
    return kPanelPrefix + panel + kAvailabilityLevel;
}

QString allAvailabilities()
{
    return panelAvailability(QStringLiteral("+"));
}

QString panelOfStatus(const QString &topic)
{
    return panelOf(topic, kStatusLevel);
}

QString panelOfAvailability(const QString &topic)
{
    return panelOf(topic, kAvailabilityLevel);
}

char slotOfTopic(const QString &panel, const QString &topic)
{
    const QString prefix = kPanelPrefix + panel + kSlotLevel;
    if (!topic.startsWith(prefix) || topic.size() != prefix.size() + 1)
        return 0;
    return names::slotOfLetter(QStringView(topic).last(1)) >= 0 ? topic.back().toLatin1() : 0;
}

} // namespace varlo::fleet::topics
