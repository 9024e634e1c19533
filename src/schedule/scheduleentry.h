// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "schedule/livetext.h"
#include "model/messageset.h"

#include <QDate>

#include <optional>

namespace varlo {

// One line of a schedule: a slot, when it runs, its speed and its text.
//
// When is the wall clock of the schedule's time zone: days of the week, a
// date range and a time window, each optional, all of them together; an
// entry with none of them runs always. A window whose end is not after its
// start runs over midnight into the next day, and the days and dates are
// those of the day it starts on: "fri 22:00-02:00" runs from Friday 22:00
// to Saturday 02:00.
struct ScheduleEntry
{
    static constexpr int kMinutesPerDay = 24 * 60;

    struct TimeWindow
    {
        int startMinute = 0; // from midnight, 0 to 1439
        int endMinute = 0; // 1 to 1440; not after the start: the next day

        bool crossesMidnight() const { return endMinute <= startMinute; }
        friend bool operator==(const TimeWindow &, const TimeWindow &) = default;
    };
    struct DateRange
    {
        QDate first;
        QDate last; // the range includes it

        friend bool operator==(const DateRange &, const DateRange &) = default;
    };

    int line = 0; // in the file, from 1
    int slot = 0;
    // Bit d - 1 for Qt's day of the week d (1 Monday to 7 Sunday); 0 for
    // every day.
    quint8 weekdays = 0;
    std::optional<DateRange> dates;
    std::optional<TimeWindow> window;
    // While it runs, only the slots of running override entries run.
    bool override = false;
    quint8 speedCode = MessageSet::kDefaultSpeedCode;
    LiveText text;

    // Whether the entry runs at this date and time of the schedule's wall
    // clock.
    bool runsAt(QDate date, int msecOfDay) const;
    // Whether a run of the entry can start on this day.
    bool startsOn(QDate date) const;

    friend bool operator==(const ScheduleEntry &, const ScheduleEntry &) = default;
};

} // namespace varlo
