// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"
#include "link/portchoice.h"

#include <functional>
#include <vector>

namespace varlo {

class LinkReporter;
class MessageSet;

namespace upload {
inline constexpr int kStepCount = 22; // 20 slot steps, the directory step, the end step
inline constexpr int kDirectoryStep = 20;
inline constexpr int kEndStep = 21;
inline constexpr int kProgressMaximum = 21;
inline constexpr int kMaxCommuDelayPosition = 10;
inline constexpr int kCommuDelayUnitMs = 50; // one track bar position
// The panel needs this extra quiet time before the end frame.
inline constexpr int kEndFrameSettleMs = 50;
} // namespace upload

// Waits for the given time, with the bytes written so far already handed to
// the operating system. Tests pass their own to record the pauses instead of
// waiting.
using Pause = std::function<void(int delayMs)>;
// The real pause: sleeps the calling thread. Does nothing for 0 ms, and ends
// early when an upload stop is requested (UploadStop).
void sleepPause(int delayMs);

// One step of the message upload: the pauses that open it, then its frames.
struct UploadStep
{
    std::vector<int> pausesMs;
    std::vector<LinkFrame> frames;
};

// What the message upload sends, step by step: for each slot with markup a
// pause of the Commu Delay and four block frames; then a pause and the
// directory frame; then a pause, 50 ms more and the end frame. Empty slots
// send nothing. The Commu Delay position (0 to 10, each 50 ms) is clamped.
std::vector<UploadStep> planMessageUpload(const MessageSet &set, int commuDelayPosition);

// Send: opens the panel link, sends the plan with the progress going through
// 0 to 21, closes the port, sets the progress to 0 and shows the green lamp.
// Returns false when the link did not open (nothing was sent) or a write
// failed (the upload stopped there, the port is closed, the lamp is red), also
// when it was the drain after the last frame that failed.
// Blocks until done, so a window runs it on a worker thread.
bool sendMessageSet(const MessageSet &set, const PortChoice &port, int commuDelayPosition, LinkReporter &reporter,
                    const Pause &pause = sleepPause);

} // namespace varlo
