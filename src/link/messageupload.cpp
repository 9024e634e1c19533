// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/messageupload.h"

#include "link/linkreporter.h"
#include "link/panellink.h"
#include "link/uploadstop.h"
#include "model/messageblock.h"
#include "model/messageset.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

namespace varlo {

void sleepPause(int delayMs)
{
    // In short sleeps, so that a stop request ends the pause soon; the next
    // write then gives up.
    const QDeadlineTimer end(delayMs, Qt::PreciseTimer);
    for (qint64 leftMs = end.remainingTime(); leftMs > 0 && !UploadStop::requested(); leftMs = end.remainingTime())
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(leftMs, SerialPort::kStopCheckMs)));
}

std::vector<UploadStep> planMessageUpload(const MessageSet &set, int commuDelayPosition)
{
    const int delayMs = std::clamp(commuDelayPosition, 0, upload::kMaxCommuDelayPosition) * upload::kCommuDelayUnitMs;
    std::vector<UploadStep> steps(upload::kStepCount);

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
    return steps;
}

bool sendMessageSet(const MessageSet &set, const PortChoice &port, int commuDelayPosition, LinkReporter &reporter,
                    const Pause &pause)
{
    std::optional<PanelLink> link = openPanelLink(port, reporter);
    if (!link)
        return false;

    const std::vector<UploadStep> steps = planMessageUpload(set, commuDelayPosition);
    reporter.setProgressMaximum(upload::kProgressMaximum);
    reporter.setProgressPosition(0);
    for (int s = 0; s < upload::kStepCount; ++s) {
        reporter.setProgressPosition(s);
        for (const int ms : steps[s].pausesMs)
            pause(ms);
        for (const LinkFrame &f : steps[s].frames) {
            if (!sendFrame(*link, f)) {
                abandonUpload(*link, reporter);
                return false;
            }
        }
    }
    return completeUpload(*link, reporter);
}

} // namespace varlo
