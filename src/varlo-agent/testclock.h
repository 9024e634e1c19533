// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

namespace varlo::agent {

// For tests only: the clock schedules follow, read from a file, so that a
// test sets the time instead of waiting for it. VARLO_AGENT_TEST_CLOCK
// names the file; it holds one ISO 8601 time ("2026-03-02T11:59:00Z").
// The file is looked at a few times a second, and each new time it holds
// is said with changed(); once the agent has dealt with it, the time is
// written to the file FILE.seen beside it. Without the variable the agent follows the
// system's clock; nothing else in the agent uses this clock (pacing,
// retries and the times in the status are real time).
class TestClock : public QObject
{
    Q_OBJECT

public:
    static constexpr char kVariable[] = "VARLO_AGENT_TEST_CLOCK";

    // The file the variable names, or an empty text.
    static QString fileFromEnvironment();

    explicit TestClock(QString path, QObject *parent = nullptr);

    // The time the file holds; the system's while it holds none.
    QDateTime now() const { return m_time.isValid() ? m_time : QDateTime::currentDateTimeUtc(); }

Q_SIGNALS:
    void changed();

private:
    void read();

    QString m_path;
    QDateTime m_time;
    QTimer m_poll;
};

} // namespace varlo::agent
