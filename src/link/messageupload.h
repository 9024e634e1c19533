// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/uploadplan.h"

namespace varlo {

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

// What the message upload sends, step by step, with the progress maximum
// 21 and position 0 as the port opens: for each slot with markup (steps 0 to
// 19) a pause of the Commu Delay and four block frames; then a pause and the
// directory frame (step 20); then a pause, 50 ms more and the end frame (step
// 21). Each step shows its number as it begins; empty slots send nothing.
// The Commu Delay position (0 to 10, each 50 ms) is clamped.
UploadPlan planMessageUpload(const MessageSet &set, int commuDelayPosition);

// The same upload for a panel known to hold `held` (the set of its last good
// upload, every frame of it received): of the block frames only those whose
// 64 bytes differ from what the panel holds at that address, then the
// directory frame and the end frame as always. Steps, pauses and progress
// positions are those of the full upload, except that a slot step with no
// frame left has no pause either. A slot empty in `held` has no block the
// panel is known to hold (the full upload leaves it alone), so a slot
// filled now sends its whole block. A slot emptied now sends nothing: its
// directory entry marks it empty and the panel reads no further, just as
// after a full upload. With nothing changed, the directory and end frames
// still go, so the panel starts its show over as after any upload.
//
// It relies on the panel keeping its memory from one upload to the next.
UploadPlan planChangedUpload(const MessageSet &held, const MessageSet &set, int commuDelayPosition);

} // namespace varlo
