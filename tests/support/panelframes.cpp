// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelframes.h"

#include <algorithm>

namespace varlo::test {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text); // skips the spaces
}

QByteArray repeated(const char *hexText, int times)
{
    return hex(hexText).repeated(times);
}

QByteArray lineCoded(const std::vector<LinkFrame> &frames)
{
    QByteArray raw;
    for (const LinkFrame &frame : frames)
        raw += frame.lineCoded();
    return raw;
}

std::vector<LinkFrame> blockFrames(int slot, const MessageBlock &block)
{
    std::vector<LinkFrame> frames;
    for (int chunk = 0; chunk < PanelMemory::kBlockFrameCount; ++chunk) {
        const quint16 address = quint16(frame::kBlockAddress + frame::kBlockStride * slot + frame::kDataSize * chunk);
        frames.push_back(makeWriteFrame(address, FrameData(block.data() + chunk * frame::kDataSize, frame::kDataSize)));
    }
    return frames;
}

LinkFrame directoryFrame(const std::map<int, DirectoryEntry> &entries)
{
    std::array<quint8, frame::kDataSize> data{};
    for (int slot = 0; slot < PanelMemory::kSlotCount; ++slot) {
        const auto found = entries.find(slot);
        const DirectoryEntry entry = found == entries.end() ? DirectoryEntry{1, 0, 0} : found->second;
        std::copy(entry.begin(), entry.end(), data.begin() + slot * 3);
    }
    return makeWriteFrame(frame::kDirectoryAddress, data);
}

QByteArray slotAUpload(const MessageBlock &block)
{
    std::vector<LinkFrame> frames = blockFrames(0, block);
    frames.push_back(directoryFrame({{0, DirectoryEntry{0, 4, 1}}}));
    frames.push_back(makeEndFrame());
    return lineCoded(frames);
}

QByteArray writesToNowhere(int count)
{
    const std::array<quint8, frame::kDataSize> zeros{};
    QByteArray raw;
    for (int i = 0; i < count; ++i)
        raw += makeWriteFrame(quint16(0x1000 + frame::kDataSize * i), zeros).lineCoded();
    return raw;
}

std::vector<PanelMemory::Upload> feedMemory(PanelMemory &memory, FrameDecoder &decoder, const QByteArray &raw)
{
    std::vector<PanelMemory::Upload> uploads;
    for (const FrameDecoder::Event &event : decoder.feed(raw)) {
        if (auto upload = memory.apply(event))
            uploads.push_back(*upload);
    }
    return uploads;
}

} // namespace varlo::test
