// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/schedulerunner.h"

#include <algorithm>

namespace varlo {

ScheduleRunner::ScheduleRunner(Clock clock, QObject *parent)
    : QObject(parent)
    , m_clock(std::move(clock))
{
    m_timer.setSingleShot(true);
    // Minutes matter, not milliseconds: a precise timer would only wake the
    // computer more often.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ScheduleRunner::update);
}

void ScheduleRunner::run(const Schedule &schedule)
{
    m_schedule = schedule;
    // A new schedule is news even where it puts the same set on the panel:
    // its entries are others.
    m_state = {};
    update();
}

void ScheduleRunner::stop()
{
    m_schedule.reset();
    m_state = {};
    m_nextUpdate = {};
    m_timer.stop();
}

void ScheduleRunner::setTopicValue(const QString &topic, const QString &value)
{
    const auto found = m_values.constFind(topic);
    if (found != m_values.cend() && *found == value)
        return;
    m_values.insert(topic, value);
    if (m_schedule && m_schedule->topics().contains(topic))
        update();
}

void ScheduleRunner::update()
{
    if (!m_schedule)
        return;
    const QDateTime now = m_clock();
    ScheduleState state = scheduleStateAt(*m_schedule, now, m_values);
    const bool differs = state.set != m_state.set || state.activeEntries != m_state.activeEntries;
    m_state = std::move(state);

    const QDateTime latest = now.addMSecs(kMaxWaitMs);
    m_nextUpdate = m_state.nextChange.isValid() && m_state.nextChange < latest ? m_state.nextChange : latest;
    // A timer may fire a little early; the state is then the same, and the
    // next update comes at the change again.
    m_timer.start(int(std::clamp<qint64>(now.msecsTo(m_nextUpdate), 0, kMaxWaitMs)));
    if (differs)
        Q_EMIT changed();
    Q_EMIT updated();
}

} // namespace varlo
