// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/messageupload.h"

#include "model/messageblock.h"
#include "model/messageset.h"

#include <algorithm>
#include <optional>

namespace varlo {

namespace {

// The full upload of `set`, or with `held` only the block frames that
// differ from it.
UploadPlan planUpload(const MessageSet &set, const MessageSet *held, int commuDelayPosition)
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
        const MessageBlock block = encodeMessageBlock(set.markup(slot));
        const std::optional<MessageBlock> heldBlock =
            held && !held->isEmpty(slot) ? std::optional(encodeMessageBlock(held->markup(slot))) : std::nullopt;
        for (int chunk = 0; chunk < block::kSize / frame::kDataSize; ++chunk) {
            const int offset = frame::kDataSize * chunk;
            if (heldBlock
                && std::equal(block.begin() + offset, block.begin() + offset + frame::kDataSize,
                              heldBlock->begin() + offset))
                continue;
            const auto address = static_cast<quint16>(frame::kBlockAddress + frame::kBlockStride * slot + offset);
            step.frames.push_back(makeWriteFrame(address, FrameData(block.data() + offset, frame::kDataSize)));
        }
        if (!step.frames.empty())
            step.pausesMs.push_back(delayMs);
    }

    UploadStep &directoryStep = steps[upload::kDirectoryStep];
    directoryStep.pausesMs.push_back(delayMs);
    directoryStep.frames.push_back(makeWriteFrame(frame::kDirectoryAddress, directory));

    UploadStep &endStep = steps[upload::kEndStep];
    endStep.pausesMs = {delayMs, upload::kEndFrameSettleMs};
    endStep.frames.push_back(makeEndFrame());
    return plan;
}

} // namespace

UploadPlan planMessageUpload(const MessageSet &set, int commuDelayPosition)
{
    return planUpload(set, nullptr, commuDelayPosition);
}

UploadPlan planChangedUpload(const MessageSet &held, const MessageSet &set, int commuDelayPosition)
{
    return planUpload(set, &held, commuDelayPosition);
}

} // namespace varlo
