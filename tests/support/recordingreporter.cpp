// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordingreporter.h"

namespace varlo::test {

namespace {
const QString kPositionPrefix = QStringLiteral("pos:");
} // namespace

void RecordingReporter::showMessage(const QString &text, const QString &reason)
{
    {
        std::lock_guard lock(m_mutex);
        m_lastReason = reason;
    }
    record(QStringLiteral("message:%1|%2").arg(text, reason));
}

void RecordingReporter::showLamp(Lamp lamp)
{
    record(lamp == Lamp::Green ? QStringLiteral("lamp:green") : QStringLiteral("lamp:red"));
}

void RecordingReporter::showStatus(const QString &text)
{
    record(QStringLiteral("status:") + text);
}

void RecordingReporter::setProgressMaximum(int maximum)
{
    record(QStringLiteral("max:%1").arg(maximum));
}

void RecordingReporter::setProgressPosition(int position)
{
    record(kPositionPrefix + QString::number(position));
    if (onProgressPosition)
        onProgressPosition(position);
}

QStringList RecordingReporter::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

QStringList RecordingReporter::eventsWithoutPositions() const
{
    QStringList kept = events();
    kept.removeIf([](const QString &event) { return event.startsWith(kPositionPrefix); });
    return kept;
}

QList<int> RecordingReporter::positions() const
{
    QList<int> found;
    for (const QString &event : events()) {
        if (event.startsWith(kPositionPrefix))
            found << event.mid(kPositionPrefix.size()).toInt();
    }
    return found;
}

QString RecordingReporter::lastReason() const
{
    std::lock_guard lock(m_mutex);
    return m_lastReason;
}

void RecordingReporter::record(const QString &event)
{
    std::lock_guard lock(m_mutex);
    m_events << event;
}

} // namespace varlo::test
