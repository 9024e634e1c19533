// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/fontupload.h"

namespace varlo {

std::vector<LinkFrame> characterGeneratorFrames(QByteArrayView image)
{
    std::vector<LinkFrame> frames;
    if (image.size() != fontupload::kImageBytes)
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

std::optional<UploadPlan> planFontUpload(QByteArrayView image)
{
    std::vector<LinkFrame> frames = characterGeneratorFrames(image);
    if (frames.empty())
        return std::nullopt;
    UploadPlan plan;
    plan.progressMaximum = fontupload::kProgressMaximum;
    for (int i = 0; i < int(frames.size()); ++i)
        plan.steps.push_back({std::nullopt, {}, {frames[i]}, i});
    return plan;
}

} // namespace varlo
