// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/scheduleentry.h"

namespace varlo {

bool ScheduleEntry::startsOn(QDate date) const
{
    if (weekdays != 0 && (weekdays & (1 << (date.dayOfWeek() - 1))) == 0)
        return false;
    return !dates || (date >= dates->first && date <= dates->last);
}

bool ScheduleEntry::runsAt(QDate date, int msecOfDay) const
{
    if (!window)
        return startsOn(date);
    const int start = window->startMinute * 60 * 1000;
    const int end = window->endMinute * 60 * 1000;
    if (!window->crossesMidnight())
        return msecOfDay >= start && msecOfDay < end && startsOn(date);
    // The evening part runs on the day it starts, the morning part on the
    // day after.
    return (msecOfDay >= start && startsOn(date)) || (msecOfDay < end && startsOn(date.addDays(-1)));
}

} // namespace varlo
