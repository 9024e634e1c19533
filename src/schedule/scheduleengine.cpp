// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/scheduleengine.h"

#include <QSet>

#include <algorithm>
#include <array>

namespace varlo {

namespace {

constexpr qint64 kMsecsPerMinute = 60 * 1000;
// A slot text can't be longer in a message file.
constexpr int kMaxTextBytes = 255;
// Entries that repeat by the week change, if ever, within a week and a day
// of any day (the day is for windows that run over midnight).
constexpr int kDaysAhead = 8;

// The days whose boundaries may be the next change after a day: the days
// near it, and those near each date range's ends still to come. Between
// those ends every entry repeats by the week, so the first change after
// any day comes within a week of it or of an end.
QList<QDate> candidateDays(const Schedule &schedule, QDate today)
{
    QSet<QDate> days;
    const auto around = [&](QDate base) {
        for (int d = -1; d <= kDaysAhead; ++d) {
            const QDate day = base.addDays(d);
            if (day >= today.addDays(-1))
                days.insert(day);
        }
    };
    around(today);
    for (const ScheduleEntry &entry : schedule.entries) {
        if (!entry.dates)
            continue;
        if (entry.dates->first > today)
            around(entry.dates->first);
        if (entry.dates->last >= today)
            around(entry.dates->last.addDays(1));
    }
    QList<QDate> sorted(days.begin(), days.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

// The instants of a day at which an entry may start or stop, in order:
// midnight, the ends of the windows of the entries that run that day, and
// the zone's transitions, when the clock jumps over whatever lies between.
// All of them fall on the day (the last may be the next midnight), so the
// days' instants follow one another.
QList<QDateTime> candidatesOn(const Schedule &schedule, QDate day)
{
    QList<int> minutes{0, ScheduleEntry::kMinutesPerDay};
    for (const ScheduleEntry &entry : schedule.entries) {
        if (!entry.window)
            continue;
        if (entry.startsOn(day) || (entry.window->crossesMidnight() && entry.startsOn(day.addDays(-1))))
            minutes << entry.window->startMinute << entry.window->endMinute;
    }
    std::sort(minutes.begin(), minutes.end());
    minutes.erase(std::unique(minutes.begin(), minutes.end()), minutes.end());

    QList<QDateTime> instants;
    for (const int minute : std::as_const(minutes))
        instants << instantsOfWallTime(schedule.zone, day, minute * 60);
    if (schedule.zone.hasTransitions()) {
        const QDateTime from = QDateTime(day.addDays(-1), QTime(0, 0), Qt::UTC);
        const QDateTime to = QDateTime(day.addDays(2), QTime(0, 0), Qt::UTC);
        for (const QTimeZone::OffsetData &transition : schedule.zone.transitions(from, to)) {
            if (transition.atUtc.toTimeZone(schedule.zone).date() == day)
                instants << transition.atUtc;
        }
    }
    std::sort(instants.begin(), instants.end());
    return instants;
}

bool overrides(const Schedule &schedule, const QList<int> &active)
{
    return !active.isEmpty() && schedule.entries.at(active.first()).override;
}

} // namespace

QList<QDateTime> instantsOfWallTime(const QTimeZone &zone, QDate date, int secondOfDay)
{
    const QDateTime naive = QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(qint64(secondOfDay));
    QList<int> offsets;
    for (const QDateTime &near : {naive.addDays(-1), naive, naive.addDays(1)}) {
        const int offset = zone.offsetFromUtc(near);
        if (!offsets.contains(offset))
            offsets << offset;
    }
    QList<QDateTime> instants;
    for (const int offset : offsets) {
        const QDateTime instant = naive.addSecs(-offset);
        if (zone.offsetFromUtc(instant) == offset)
            instants << instant;
    }
    std::sort(instants.begin(), instants.end());
    return instants;
}

QList<int> activeEntriesAt(const Schedule &schedule, const QDateTime &instant)
{
    const QDateTime local = instant.toTimeZone(schedule.zone);
    const QDate date = local.date();
    const int msecOfDay = local.time().msecsSinceStartOfDay();
    std::array<int, MessageSet::kSlotCount> plain;
    std::array<int, MessageSet::kSlotCount> overriding;
    plain.fill(-1);
    overriding.fill(-1);
    bool anyOverride = false;
    for (qsizetype i = 0; i < schedule.entries.size(); ++i) {
        const ScheduleEntry &entry = schedule.entries.at(i);
        if (!entry.runsAt(date, msecOfDay))
            continue;
        // A later line of the slot wins.
        (entry.override ? overriding : plain).at(size_t(entry.slot)) = int(i);
        anyOverride = anyOverride || entry.override;
    }
    QList<int> active;
    for (const int entry : anyOverride ? overriding : plain) {
        if (entry >= 0)
            active << entry;
    }
    return active;
}

QDateTime nextEntryChange(const Schedule &schedule, const QDateTime &instant)
{
    const QList<int> now = activeEntriesAt(schedule, instant);
    // Day by day, so that the search ends at the first change, which most
    // often comes the same day.
    for (const QDate day : candidateDays(schedule, instant.toTimeZone(schedule.zone).date())) {
        for (const QDateTime &candidate : candidatesOn(schedule, day)) {
            if (candidate > instant && activeEntriesAt(schedule, candidate) != now)
                return candidate;
        }
    }
    return {};
}

ScheduleState scheduleStateAt(const Schedule &schedule, const QDateTime &instant, const TopicValues &values)
{
    ScheduleState state;
    state.activeEntries = activeEntriesAt(schedule, instant);
    state.overriding = overrides(schedule, state.activeEntries);
    state.nextEntryChange = nextEntryChange(schedule, instant);
    state.nextChange = state.nextEntryChange;

    MessageSet &set = state.set;
    set.clearForNew();
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        set.setRun(slot, false);
        const int first = schedule.firstEntryOf(slot);
        if (first < 0)
            continue;
        const ScheduleEntry &entry = schedule.entries.at(first);
        set.setMarkup(slot, entry.text.withoutValues(schedule.map).left(kMaxTextBytes));
        set.setSpeedCode(slot, entry.speedCode);
    }

    const QDateTime local = instant.toTimeZone(schedule.zone);
    bool clock = false;
    for (const int index : std::as_const(state.activeEntries)) {
        const ScheduleEntry &entry = schedule.entries.at(index);
        set.setMarkup(entry.slot, entry.text.render(local, schedule.locale, values, schedule.map).left(kMaxTextBytes));
        set.setSpeedCode(entry.slot, entry.speedCode);
        set.setRun(entry.slot, true);
        clock = clock || entry.text.hasClockField();
    }
    if (clock) {
        const qint64 nextMinute = (instant.toMSecsSinceEpoch() / kMsecsPerMinute + 1) * kMsecsPerMinute;
        const QDateTime minute = QDateTime::fromMSecsSinceEpoch(nextMinute, Qt::UTC);
        if (!state.nextChange.isValid() || minute < state.nextChange)
            state.nextChange = minute;
    }
    return state;
}

QList<ScheduleChange> scheduleTimeline(const Schedule &schedule, QDate day, const TopicValues &values)
{
    const QDateTime end = day.addDays(1).startOfDay(schedule.zone);
    QList<ScheduleChange> changes;
    QDateTime at = day.startOfDay(schedule.zone);
    while (at.isValid() && at < end) {
        ScheduleChange change{at.toUTC(), scheduleStateAt(schedule, at, values)};
        at = change.state.nextEntryChange;
        changes << change;
    }
    return changes;
}

} // namespace varlo
