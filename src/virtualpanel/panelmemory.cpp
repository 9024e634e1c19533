// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel/panelmemory.h"

#include "model/messageset.h"

#include <algorithm>

namespace varlo {

namespace {

// 0x0F, 0x3F00: how bytes and addresses read in the errors.
QString hex(uint value, int digits = 2)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString slotName(int slot)
{
    return QStringLiteral("slot %1").arg(QLatin1Char(MessageSet::slotLetter(slot)));
}

} // namespace

PanelMemory::PanelMemory()
{
    const FontTable::Image builtIn = FontTable::bytes();
    std::copy(builtIn.begin(), builtIn.end(), m_characterGenerator.begin());
}

template <typename MakeText>
void PanelMemory::noteError(MakeText text)
{
    if (m_errors.size() < kKeptErrors)
        m_errors << text();
    else
        ++m_errorsDropped;
}

DirectoryEntry PanelMemory::directoryEntry(int slot) const
{
    const size_t at = size_t(slot) * kDirectoryEntryBytes;
    return {m_directory.at(at), m_directory.at(at + 1), m_directory.at(at + 2)};
}

bool PanelMemory::isPresent(int slot) const
{
    return directoryEntry(slot)[2] == 1;
}

bool PanelMemory::runs(int slot) const
{
    return isPresent(slot) && directoryEntry(slot)[0] == 0;
}

bool PanelMemory::markerOk(int slot) const
{
    return block(slot)[block::kMarkerOffset] == block::kMarker;
}

bool PanelMemory::checksumOk(int slot) const
{
    return block(slot)[block::kChecksumOffset] == messageBlockChecksum(block(slot));
}

std::vector<int> PanelMemory::runningSlots() const
{
    std::vector<int> running;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (runs(slot))
            running.push_back(slot);
    }
    return running;
}

PanelMemory::Place PanelMemory::locate(quint16 address)
{
    // Only the addresses the uploads write are known; anything else, an
    // address inside a region but off its 64-byte grid included, would
    // overlap what the uploads keep apart.
    if (address % frame::kDataSize != 0)
        return {};
    if (address < frame::kFontAddress + FontTable::kImageBytes)
        return {Region::Font, (address - frame::kFontAddress) / frame::kDataSize, 0};
    const int blockOffset = address - frame::kBlockAddress;
    if (blockOffset >= 0 && blockOffset < kSlotCount * frame::kBlockStride)
        return {Region::Block, blockOffset / frame::kBlockStride,
                (blockOffset % frame::kBlockStride) / frame::kDataSize};
    if (address == frame::kDirectoryAddress)
        return {Region::Directory, 0, 0};
    return {};
}

std::optional<PanelMemory::Upload> PanelMemory::apply(const FrameDecoder::Event &event)
{
    switch (event.kind) {
    case FrameDecoder::Kind::Probe:
        noteFontCutShort();
        return std::nullopt;
    case FrameDecoder::Kind::WriteFrame: {
        const Place place = locate(event.address);
        if (place.region != Region::Font)
            noteFontCutShort();
        storeWrite(event, place);
        if (place.region == Region::Font)
            return finishFontFrame(place.index);
        return std::nullopt;
    }
    case FrameDecoder::Kind::EndFrame:
        noteFontCutShort();
        return finishMessageUpload(event.argument);
    case FrameDecoder::Kind::Malformed:
        noteMalformed(event);
        return std::nullopt;
    }
    return std::nullopt;
}

void PanelMemory::storeWrite(const FrameDecoder::Event &event, const Place &place)
{
    quint8 *target = nullptr;
    switch (place.region) {
    case Region::Font:
        target = m_characterGenerator.data() + event.address - frame::kFontAddress;
        m_fontLoaded = true;
        break;
    case Region::Block:
        target = m_blocks[size_t(place.index)].data() + place.chunk * frame::kDataSize;
        m_blockFrames[size_t(place.index)].set(size_t(place.chunk));
        break;
    case Region::Directory:
        target = m_directory.data();
        m_directoryWritten = true;
        break;
    case Region::Unknown:
        noteError([&] { return QStringLiteral("write frame to unknown address %1").arg(hex(event.address, 4)); });
        return;
    }
    std::copy(event.data.begin(), event.data.end(), target);
    ++m_writeFrames;
}

std::optional<PanelMemory::Upload> PanelMemory::finishFontFrame(int index)
{
    m_fontFrames.set(size_t(index));
    if (!m_fontFrames.all())
        return std::nullopt;
    m_fontFrames.reset();
    return takeUpload(UploadKind::Font);
}

PanelMemory::Upload PanelMemory::finishMessageUpload(quint8 argument)
{
    if (argument != frame::kEndArgument)
        noteError([&] { return QStringLiteral("end frame with argument %1, not 0x00").arg(hex(argument)); });
    if (!m_directoryWritten)
        noteError([] { return QStringLiteral("end frame without a directory frame"); });
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (!isPresent(slot))
            continue;
        const MessageBlock &blk = block(slot);
        const size_t frames = m_blockFrames[size_t(slot)].count();
        // A panel keeps its memory between uploads, so an upload may send
        // only the block frames that changed; a frame never received at
        // all since the panel started means one was lost on the line and
        // the block holds whatever the memory held before.
        if (frames < size_t(kBlockFrameCount)) {
            noteError([&] {
                return QStringLiteral("%1: %2 of %3 block frames received")
                    .arg(slotName(slot))
                    .arg(frames)
                    .arg(kBlockFrameCount);
            });
        }
        if (!markerOk(slot))
            noteError([&] {
                return QStringLiteral("%1: bad marker %2, not 0x55")
                    .arg(slotName(slot), hex(blk[block::kMarkerOffset]));
            });
        if (!checksumOk(slot)) {
            noteError([&] {
                return QStringLiteral("%1: bad checksum %2, the bytes sum to %3")
                    .arg(slotName(slot), hex(blk[block::kChecksumOffset]), hex(messageBlockChecksum(blk)));
            });
        }
        if (blk[block::kCountOffset] > block::kCellCapacity) {
            noteError([&] {
                return QStringLiteral("%1: count %2 is more than the %3 cells a block holds")
                    .arg(slotName(slot))
                    .arg(blk[block::kCountOffset])
                    .arg(block::kCellCapacity);
            });
        }
    }
    m_directoryWritten = false;
    return takeUpload(UploadKind::Message);
}

void PanelMemory::noteFontCutShort()
{
    if (m_fontFrames.none())
        return;
    noteError([&] {
        return QStringLiteral("font upload cut short: %1 of %2 frames")
            .arg(m_fontFrames.count())
            .arg(fontupload::kFrameCount);
    });
    m_fontFrames.reset();
}

void PanelMemory::noteMalformed(const FrameDecoder::Event &event)
{
    noteError([&] {
        // A stray byte's offset is its own; a broken frame's is where it began.
        const QString where = event.fault == FrameDecoder::Fault::StrayByte
            ? QStringLiteral("at line byte %1")
            : QStringLiteral("in the frame from line byte %1");
        return QStringLiteral("%1 %2: %3")
            .arg(QLatin1String(FrameDecoder::faultName(event.fault)), where.arg(event.offset), hex(event.offending));
    });
}

PanelMemory::Upload PanelMemory::takeUpload(UploadKind kind)
{
    Upload upload{kind, m_writeFrames, m_errors, m_errorsDropped};
    m_writeFrames = 0;
    m_errors.clear();
    m_errorsDropped = 0;
    return upload;
}

} // namespace varlo
