// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "console/uploadendview.h"
#include "link/uploadplan.h"
#include "link/uploadprogress.h"

#include <QStringList>

#include <functional>
#include <mutex>

namespace varlo::test {

// Records what an upload tells and how its end is shown, in order, as short
// lines, with the texts the programs show:
//   "status:<text>" (the port opened, as the status bar shows it),
//   "max:<n>", "pos:<n>", and from the end "message:<text>|<reason>",
//   "lamp:green", "lamp:red", "pos:0".
// Safe to call from the upload's thread while the test reads.
class RecordingReporter final : public UploadProgress, public UploadEndView
{
public:
    // Called on the upload's thread after a position is recorded; a test can
    // hold the upload there (to make a device vanish, for example).
    std::function<void(int position)> onProgressPosition;

    // Runs the upload on a thread, as a window does, then records its end
    // as the programs show it (showUploadEnd).
    UploadOutcome upload(const UploadPlan &plan, const PortChoice &port, const Pause &pause = sleepPause);

    void portOpened(const PortChoice &port) override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;

    void showFailure(const QString &text, const UploadOutcome &outcome) override;
    void showResult(bool done) override;
    void resetProgress() override { setProgressPosition(0); }

    QStringList events() const;
    // The events that are not progress positions.
    QStringList eventsWithoutPositions() const;
    // The positions in order.
    QList<int> positions() const;
    // The reason given with the last message, or an empty string.
    QString lastReason() const;

private:
    void record(const QString &event);

    mutable std::mutex m_mutex;
    QStringList m_events;
    QString m_lastReason;
};

} // namespace varlo::test
