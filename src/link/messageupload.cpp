// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/messageupload.h"

#include "model/messageblock.h"
#include "model/messageset.h"

#include <algorithm>

namespace varlo {

UploadPlan planMessageUpload(const MessageSet &set, int commuDelayPosition)
{
    const int delayMs = std::clamp(commuDelayPosition, 0, upload::kMaxCommuDelayPosition) * upload::kCommuDelayUnitMs;
    UploadPlan plan;
    plan.progressMaximum = upload::kProgressMaximum;
    plan.startPosition = 0;
    std::vector<UploadStep> &steps = plan.steps;
    steps.resize(upload::kStepCount);
    for (int s = 0; s < upload::kStepCount; ++s)
        steps[s].positionBefore = s;

    // Filled entry by entry as the slot steps go; complete when they are done.
    std::array<quint8, frame::kDataSize> directory{};
    // The table fills 60 bytes of the frame; the last four stay 0.
    static_assert(MessageSet::kSlotCount * 3 <= frame::kDataSize);

    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        const bool empty = set.isEmpty(slot);
        const DirectoryEntry entry = makeDirectoryEntry(empty, set.run(slot), set.speedCode(slot));
        std::copy(entry.begin(), entry.end(), directory.begin() + 3 * slot);
        if (empty)
            continue;

        UploadStep &step = steps[slot];
        step.pausesMs.push_back(delayMs);
        const MessageBlock block = encodeMessageBlock(set.markup(slot));
        for (int chunk = 0; chunk < block::kSize / frame::kDataSize; ++chunk) {
            const auto address =
                static_cast<quint16>(frame::kBlockAddress + frame::kBlockStride * slot + frame::kDataSize * chunk);
            step.frames.push_back(
                makeWriteFrame(address, FrameData(block.data() + frame::kDataSize * chunk, frame::kDataSize)));
        }
    }

    UploadStep &directoryStep = steps[upload::kDirectoryStep];
    directoryStep.pausesMs.push_back(delayMs);
    directoryStep.frames.push_back(makeWriteFrame(frame::kDirectoryAddress, directory));

    UploadStep &endStep = steps[upload::kEndStep];
    endStep.pausesMs = {delayMs, upload::kEndFrameSettleMs};
    endStep.frames.push_back(makeEndFrame());
    return plan;
}

} // namespace varlo
