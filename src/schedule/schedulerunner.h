// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "schedule/scheduleengine.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace varlo {

// Keeps a schedule's state up to date as time passes and topic values
// arrive, for a program that runs a schedule (the agent): it works the
// state out again at each instant that can change it and says so when the
// set or the entries that run are others than before.
//
// The clock is given, so that tests set the time instead of waiting. The
// timer is only a reminder to look at the clock: it fires at the next
// change, and at least once a minute, so that a clock set forward or back
// (or a computer woken from sleep) is noticed within a minute.
class ScheduleRunner : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    static constexpr int kMaxWaitMs = 60 * 1000;

    explicit ScheduleRunner(Clock clock = &QDateTime::currentDateTimeUtc, QObject *parent = nullptr);

    // Runs this schedule from now on, with the topic values kept so far;
    // changed() follows.
    void run(const Schedule &schedule);
    // Runs none: state() is empty and the timer stops.
    void stop();
    const std::optional<Schedule> &schedule() const { return m_schedule; }

    // A topic's latest value. The runner keeps every value it is given,
    // for a schedule to come too; the state is worked out again only when
    // the schedule that runs names the topic.
    void setTopicValue(const QString &topic, const QString &value);
    const TopicValues &topicValues() const { return m_values; }

    // The state at the last update; an empty set while none runs.
    const ScheduleState &state() const { return m_state; }
    // Works the state out at the clock's time; changed() when it differs.
    void update();
    // When the runner looks at the clock next, or an invalid time while it
    // runs no schedule.
    QDateTime nextUpdate() const { return m_nextUpdate; }

Q_SIGNALS:
    // The set, or the entries that run, are others than before.
    void changed();
    // After every update, changed() or not: nextUpdate() and the state's
    // next change may have moved.
    void updated();

private:
    Clock m_clock;
    std::optional<Schedule> m_schedule;
    TopicValues m_values;
    ScheduleState m_state;
    QDateTime m_nextUpdate;
    QTimer m_timer;
};

} // namespace varlo
