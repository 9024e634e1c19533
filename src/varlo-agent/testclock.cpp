// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/testclock.h"

#include <QFile>

namespace varlo::agent {

namespace {

constexpr int kPollMs = 50;

} // namespace

QString TestClock::fileFromEnvironment()
{
    return qEnvironmentVariable(kVariable);
}

TestClock::TestClock(QString path, QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
{
    connect(&m_poll, &QTimer::timeout, this, &TestClock::read);
    m_poll.start(kPollMs);
    read();
}

void TestClock::read()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QDateTime time = QDateTime::fromString(QString::fromLatin1(file.read(64)).trimmed(), Qt::ISODateWithMs);
    // A file caught half written reads as no time: the last one stays.
    if (!time.isValid() || time == m_time)
        return;
    m_time = time;
    Q_EMIT changed();
    // Says that the agent has worked out what the time changes, so that a
    // test knows when an upload the time should not cause would have begun.
    QFile seen(m_path + QStringLiteral(".seen"));
    if (seen.open(QIODevice::WriteOnly | QIODevice::Truncate))
        seen.write(m_time.toString(Qt::ISODateWithMs).toLatin1());
}

} // namespace varlo::agent
