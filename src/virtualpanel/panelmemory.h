// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"
#include "link/fontupload.h"
#include "virtualpanel/framedecoder.h"
#include "model/messageblock.h"

#include <QStringList>

#include <array>
#include <bitset>
#include <optional>
#include <vector>

namespace varlo {

// The panel's memory as the uploads leave it, for a panel that exists only
// in software: the 4 KiB character generator at 0x0000, the 20 message
// blocks at 0x2000 + 0x100 * k and the directory at 0x3F00. Decoded frames
// are stored by their address; what a real panel would do with bad data is
// unknown, so everything is stored as it arrives and what is wrong with it
// is written down as text for the person watching.
//
// Uploads. A message upload completes at its end frame: then every block
// that the directory names present is checked for its marker and checksum,
// and for frames never received (an upload may send only what changed).
// A font upload has no end frame; it completes when all 64 of its frames
// (each address once, in any order) have arrived. Errors gather from one
// completed upload to the next and go out with the upload that ends them.
// Only the first kKeptErrors are kept as text, the rest are counted: a line
// full of garbage holds millions of errors and no end frame, and the first
// few say what went wrong.
//
// The character generator starts as the built-in fonts, which is what the
// panel shows until one is loaded. It counts as loaded from the first font
// frame on: from then on the memory no longer holds the built-in fonts as
// such, and a font upload cut short is reported as an error when the next
// upload begins.
class PanelMemory
{
public:
    static constexpr int kSlotCount = 20;
    static constexpr int kBlockFrameCount = block::kSize / frame::kDataSize;
    static constexpr int kDirectoryEntryBytes = 3;
    // The 20 entries, then 4 bytes the sender fills but nothing reads.
    static constexpr int kDirectoryBytes = frame::kDataSize;
    // Errors kept as text per upload; the others are only counted.
    static constexpr int kKeptErrors = 20;

    enum class UploadKind { Message, Font };

    // What a completed upload brought.
    struct Upload
    {
        UploadKind kind = UploadKind::Message;
        int writeFrames = 0; // write frames stored since the previous upload completed
        QStringList errors; // the first kKeptErrors since the previous upload completed
        qint64 errorsDropped = 0; // the errors after those, counted only

        qint64 errorCount() const { return errors.size() + errorsDropped; }
    };

    PanelMemory();

    // Stores one event of the frame decoder, or notes what is wrong with
    // it. Returns the upload it completes, if it completes one.
    std::optional<Upload> apply(const FrameDecoder::Event &event);

    // The character generator: the built-in fonts until a font frame
    // overwrites them.
    FontTable::Image characterGenerator() const { return m_characterGenerator; }
    bool fontLoaded() const { return m_fontLoaded; }

    const MessageBlock &block(int slot) const { return m_blocks.at(size_t(slot)); }
    DirectoryEntry directoryEntry(int slot) const;
    bool isPresent(int slot) const; // presence byte 1
    bool runs(int slot) const; // present and skip byte 0
    quint8 speedCode(int slot) const { return directoryEntry(slot)[1]; }
    bool markerOk(int slot) const;
    bool checksumOk(int slot) const;
    // The slots that run, in slot order.
    std::vector<int> runningSlots() const;

    // Errors not yet handed out with an upload: the first kKeptErrors, and
    // how many more there were.
    const QStringList &pendingErrors() const { return m_errors; }
    qint64 pendingErrorsDropped() const { return m_errorsDropped; }

private:
    enum class Region { Font, Block, Directory, Unknown };
    struct Place
    {
        Region region = Region::Unknown;
        int index = 0; // font frame, or slot
        int chunk = 0; // block frame within the slot
    };
    static Place locate(quint16 address);

    void storeWrite(const FrameDecoder::Event &event, const Place &place);
    std::optional<Upload> finishFontFrame(int index);
    Upload finishMessageUpload(quint8 argument);
    void noteFontCutShort();
    void noteMalformed(const FrameDecoder::Event &event);
    // Keeps the error that `text` makes, or only counts it once kKeptErrors
    // are kept (without making the text).
    template <typename MakeText>
    void noteError(MakeText text);
    Upload takeUpload(UploadKind kind);

    std::array<quint8, FontTable::kImageBytes> m_characterGenerator{};
    std::array<MessageBlock, kSlotCount> m_blocks{};
    // The block frames received since the panel started: the memory keeps
    // them from one upload to the next.
    std::array<std::bitset<kBlockFrameCount>, kSlotCount> m_blockFrames{};
    std::array<quint8, kDirectoryBytes> m_directory{};
    bool m_fontLoaded = false;

    // The upload in progress.
    std::bitset<fontupload::kFrameCount> m_fontFrames;
    bool m_directoryWritten = false;
    int m_writeFrames = 0;
    QStringList m_errors;
    qint64 m_errorsDropped = 0;
};

} // namespace varlo
