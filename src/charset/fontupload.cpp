// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontupload.h"

#include "link/linkreporter.h"
#include "link/panellink.h"

namespace varlo {

std::vector<LinkFrame> characterGeneratorFrames(QByteArrayView image)
{
    std::vector<LinkFrame> frames;
    if (image.size() != FontTable::kImageBytes)
        return frames;
    const auto *bytes = reinterpret_cast<const quint8 *>(image.data());
    frames.reserve(fontupload::kFrameCount);
    for (int i = 0; i < fontupload::kFrameCount; ++i) {
        // A byte's panel address is its offset in the image.
        const auto address = static_cast<quint16>(frame::kFontAddress + frame::kDataSize * i);
        frames.push_back(makeWriteFrame(address, FrameData(bytes + frame::kDataSize * i, frame::kDataSize)));
    }
    return frames;
}

bool sendCharacterGenerator(QByteArrayView image, const PortChoice &port, LinkReporter &reporter)
{
    const std::vector<LinkFrame> frames = characterGeneratorFrames(image);
    if (frames.empty())
        return false;

    std::optional<PanelLink> link = openPanelLink(port, reporter);
    if (!link)
        return false;

    // The position is left where it was until the first frame is out.
    reporter.setProgressMaximum(fontupload::kProgressMaximum);
    for (int i = 0; i < int(frames.size()); ++i) {
        if (!sendFrame(*link, frames[i])) {
            abandonUpload(*link, reporter);
            return false;
        }
        reporter.setProgressPosition(i);
    }
    return completeUpload(*link, reporter);
}

} // namespace varlo
