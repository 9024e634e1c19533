// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordingreporter.h"

#include "console/uploadwords.h"
#include "threadrunner.h"

namespace varlo::test {

namespace {
const QString kPositionPrefix = QStringLiteral("pos:");
} // namespace

UploadOutcome RecordingReporter::upload(const UploadPlan &plan, const PortChoice &port, const Pause &pause)
{
    UploadOutcome outcome;
    runOnThread([&] { outcome = runUpload(plan, port, *this, pause); });
    showUploadEnd(outcome, *this);
    return outcome;
}

void RecordingReporter::showFailure(const QString &text, const UploadOutcome &outcome)
{
    {
        std::lock_guard lock(m_mutex);
        m_lastReason = outcome.reason;
    }
    record(QStringLiteral("message:%1|%2").arg(text, outcome.reason));
}

void RecordingReporter::showResult(bool done)
{
    record(done ? QStringLiteral("lamp:green") : QStringLiteral("lamp:red"));
}

void RecordingReporter::portOpened(const PortChoice &port)
{
    record(QStringLiteral("status:") + portStatusText(port));
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
