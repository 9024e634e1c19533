// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/schedule.h"

namespace varlo {

QStringList Schedule::topics() const
{
    QStringList names;
    for (const ScheduleEntry &entry : entries) {
        for (const QString &topic : entry.text.topics()) {
            if (!names.contains(topic))
                names << topic;
        }
    }
    return names;
}

bool Schedule::hasClockField() const
{
    for (const ScheduleEntry &entry : entries) {
        if (entry.text.hasClockField())
            return true;
    }
    return false;
}

int Schedule::firstEntryOf(int slot) const
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries.at(i).slot == slot)
            return int(i);
    }
    return -1;
}

} // namespace varlo
