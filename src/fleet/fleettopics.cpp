// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleettopics.h"

#include "fleet/fleetnames.h"

namespace varlo::fleet::topics {

namespace {

const QString kPanelPrefix = QStringLiteral("varlo/panel/");
const QString kStatusLevel = QStringLiteral("/status");
const QString kSlotLevel = QStringLiteral("/slot/");

} // namespace

QString panelMessages(const QString &panel)
{
    return kPanelPrefix + panel + QStringLiteral("/messages");
}

QString groupMessages(const QString &group)
{
    return QStringLiteral("varlo/group/") + group + QStringLiteral("/messages");
}

QString panelSlot(const QString &panel, char letter)
{
    return kPanelPrefix + panel + kSlotLevel + QLatin1Char(letter);
}

QString panelSlots(const QString &panel)
{
    return kPanelPrefix + panel + kSlotLevel + QLatin1Char('+');
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

QString panelOfStatus(const QString &topic)
{
    if (!topic.startsWith(kPanelPrefix) || !topic.endsWith(kStatusLevel))
        return {};
    const QString name = topic.mid(kPanelPrefix.size(), topic.size() - kPanelPrefix.size() - kStatusLevel.size());
    return names::nameProblem(name).isEmpty() ? name : QString();
}

char slotOfTopic(const QString &panel, const QString &topic)
{
    const QString prefix = kPanelPrefix + panel + kSlotLevel;
    if (!topic.startsWith(prefix) || topic.size() != prefix.size() + 1)
        return 0;
    return names::slotOfLetter(QStringView(topic).last(1)) >= 0 ? topic.back().toLatin1() : 0;
}

} // namespace varlo::fleet::topics
