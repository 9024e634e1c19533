// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"
#include "link/portchoice.h"
#include "link/uploadoutcome.h"

#include <functional>
#include <optional>
#include <vector>

namespace varlo {

class UploadProgress;

// One step of an upload: the progress position shown as it begins, the
// pauses that open it, its frames, and the position shown once they are
// out. A step need not have all of them.
struct UploadStep
{
    std::optional<int> positionBefore;
    std::vector<int> pausesMs;
    std::vector<LinkFrame> frames;
    std::optional<int> positionAfter;
};

// What an upload does once the port is open: the progress maximum, the
// position shown with it (none leaves the bar where it was), then the steps
// in order. The message upload and the character generator upload are
// plans; runUpload sends either.
struct UploadPlan
{
    int progressMaximum = 0;
    std::optional<int> startPosition;
    std::vector<UploadStep> steps;

    // Every frame in the order it goes out.
    std::vector<LinkFrame> frames() const;
    // How many bytes go on the line: line coding keeps the count.
    qint64 lineBytes() const;
};

// Waits for the given time, with the bytes written so far already handed to
// the operating system. Tests pass their own to record the pauses instead of
// waiting.
using Pause = std::function<void(int delayMs)>;
// The real pause: sleeps the calling thread. Does nothing for 0 ms, and ends
// early when an upload stop is requested (UploadStop).
void sleepPause(int delayMs);

// Opens the port (or finds the panel, for AUTO: openPanelLink), sends the
// plan and closes the port once the last byte has left the wire. A write
// that fails ends it there, the port closed at once. Blocks until done, so a
// window runs it on a worker thread (UploadWorker).
UploadOutcome runUpload(const UploadPlan &plan, const PortChoice &port, UploadProgress &progress,
                        const Pause &pause = sleepPause);

} // namespace varlo
