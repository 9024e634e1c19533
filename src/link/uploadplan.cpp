// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/uploadplan.h"

#include "link/panellink.h"
#include "link/uploadprogress.h"
#include "link/uploadstop.h"

#include <QDeadlineTimer>
#include <QThread>

namespace varlo {

std::vector<LinkFrame> UploadPlan::frames() const
{
    std::vector<LinkFrame> all;
    for (const UploadStep &step : steps)
        all.insert(all.end(), step.frames.begin(), step.frames.end());
    return all;
}

qint64 UploadPlan::lineBytes() const
{
    qint64 count = 0;
    for (const UploadStep &step : steps) {
        for (const LinkFrame &f : step.frames)
            count += f.size();
    }
    return count;
}

void sleepPause(int delayMs)
{
    // In short sleeps, so that a stop request ends the pause soon; the next
    // write then gives up.
    const QDeadlineTimer end(delayMs, Qt::PreciseTimer);
    for (qint64 leftMs = end.remainingTime(); leftMs > 0 && !UploadStop::requested(); leftMs = end.remainingTime())
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(leftMs, SerialPort::kStopCheckMs)));
}

namespace {

// After a failed write: the port closes at once, its device may be gone.
UploadOutcome abandonUpload(PanelLink &link, UploadOutcome outcome)
{
    outcome.reason = link.errorReason();
    link.abort();
    if (UploadStop::requested()) {
        outcome.result = UploadResult::Stopped;
        outcome.reason.clear();
    } else {
        outcome.result = UploadResult::WriteError;
    }
    return outcome;
}

} // namespace

UploadOutcome runUpload(const UploadPlan &plan, const PortChoice &port, UploadProgress &progress, const Pause &pause)
{
    UploadOutcome outcome;
    std::optional<PanelLink> link = openPanelLink(port, progress, outcome);
    if (!link)
        return outcome;

    outcome.begun = true;
    progress.setProgressMaximum(plan.progressMaximum);
    if (plan.startPosition)
        progress.setProgressPosition(*plan.startPosition);
    for (const UploadStep &step : plan.steps) {
        if (step.positionBefore)
            progress.setProgressPosition(*step.positionBefore);
        for (const int ms : step.pausesMs)
            pause(ms);
        for (const LinkFrame &f : step.frames) {
            if (!sendFrame(*link, f))
                return abandonUpload(*link, std::move(outcome));
        }
        if (step.positionAfter)
            progress.setProgressPosition(*step.positionAfter);
    }
    // The drain is the line's last word: when it fails, the line went away
    // before the last bytes were out.
    if (!link->close()) {
        outcome.result = UploadResult::WriteError;
        outcome.reason = link->errorReason();
    }
    return outcome;
}

} // namespace varlo
