// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "schedule/schedule.h"
#include "model/messageset.h"

#include <QDate>
#include <QDateTime>
#include <QList>

namespace varlo {

// What a schedule puts on the panel at an instant. The instant is always
// given (an agent passes the clock's, tests any they like), so nothing here
// waits for time or reads the clock.
//
// An entry runs while the wall clock of the schedule's zone is in its
// window on one of its days. Of the entries of one slot that run, the
// latest line wins; while any override entry runs, only the slots of
// running override entries run (the latest override line of each).
//
// A slot that runs has its winning entry's text, fields filled in, its
// speed and its run flag. A slot that doesn't run is stopped but not
// emptied: its run flag is clear, and it keeps the text and speed of its
// first entry in the file with every field as "--". That text is the same
// at every instant, so a slot that stops changes nothing but its run flag
// while it stays stopped, and no upload follows the clock or a topic in a
// slot nobody sees; and the first entry is most often the one that opens
// the day, so the morning's start flips only the run flag. A slot without
// entries is empty and stopped.
//
// The clock jumps on the days daylight saving begins and ends, and the
// entries follow the clock as it reads: on the spring day the hour the
// clock skips never comes, so a window inside it (02:30-03:00 in Berlin)
// does not run that day, and one that reaches into it runs from the jump;
// on the autumn day the hour the clock shows twice comes twice, so a
// window in it runs twice, and one that ends in it stops and starts again
// when the clock goes back.
struct ScheduleState
{
    MessageSet set;
    // The entries that run, as indices into the schedule's entries, in
    // slot order (one a slot at most).
    QList<int> activeEntries;
    bool overriding = false;
    // When the entries that run change next; invalid when they never do.
    QDateTime nextEntryChange;
    // When the set can change next: the next entry change, or the next
    // minute when a slot that runs shows the time, the date or the
    // weekday (so such a set changes once a minute at most).
    QDateTime nextChange;
};

// The instants at which the zone's wall clock shows this second of the day
// (up to 86,400, the next midnight), earliest first: none when the clock
// skips it, two when it shows it twice.
QList<QDateTime> instantsOfWallTime(const QTimeZone &zone, QDate date, int secondOfDay);
// The entries that run at the instant, as in ScheduleState.
QList<int> activeEntriesAt(const Schedule &schedule, const QDateTime &instant);
// The first instant after this one at which the entries that run are
// others; invalid when they never change again.
QDateTime nextEntryChange(const Schedule &schedule, const QDateTime &instant);
// The whole state at the instant, with these topic values.
ScheduleState scheduleStateAt(const Schedule &schedule, const QDateTime &instant, const TopicValues &values = {});

struct ScheduleChange
{
    QDateTime at;
    ScheduleState state;
};
// A day of the schedule's zone: its state at the day's first instant, then
// at each change of the entries that run during the day.
QList<ScheduleChange> scheduleTimeline(const Schedule &schedule, QDate day, const TopicValues &values = {});

} // namespace varlo
