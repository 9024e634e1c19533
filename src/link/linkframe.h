// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <array>
#include <span>

namespace varlo {

namespace frame {
inline constexpr quint8 kStart = 0x02; // STX
inline constexpr quint8 kWriteCommand = 0x31; // '1': store 64 bytes
inline constexpr quint8 kEndCommand = 0x33; // '3': the message upload is complete
inline constexpr quint8 kEndArgument = 0x00;
inline constexpr quint8 kTerminator = 0xFF;
inline constexpr int kDataSize = 64;
inline constexpr int kWriteFrameSize = 69; // start, command, address high/low, 64 data, terminator
inline constexpr int kEndFrameSize = 3; // start, command, argument

// The discovery probe. It is not a frame and goes out without line coding;
// the panel answers it with the same byte.
inline constexpr quint8 kProbe = 'T';

// Where the panel keeps what the uploads store.
inline constexpr quint16 kFontAddress = 0x0000; // 4 KiB character generator
inline constexpr quint16 kBlockAddress = 0x2000; // slot k at kBlockAddress + 0x100 * k
inline constexpr quint16 kBlockStride = 0x100;
inline constexpr quint16 kDirectoryAddress = 0x3F00; // the 60-byte directory table
} // namespace frame

using FrameData = std::span<const quint8, frame::kDataSize>;

// One frame as it is built, before line coding: a write frame of 69 bytes or
// the end frame of 3.
class LinkFrame
{
public:
    std::span<const quint8> bytes() const { return {m_bytes.data(), static_cast<size_t>(m_size)}; }
    int size() const { return m_size; }
    // The bytes as they go on the line: each one through lineCode.
    QByteArray lineCoded() const;

    friend LinkFrame makeWriteFrame(quint16 address, FrameData data);
    friend LinkFrame makeEndFrame();

private:
    LinkFrame() = default;

    std::array<quint8, frame::kWriteFrameSize> m_bytes{};
    int m_size = 0;
};

// Stores the 64 data bytes at a panel address (sent high byte first).
LinkFrame makeWriteFrame(quint16 address, FrameData data);
LinkFrame makeEndFrame();

// The line coding of every frame byte. The high nibble of the result is the
// low nibble of the byte XOR 0x0A, the low nibble is the XOR of the byte's
// two nibbles. It is one-to-one; only 0x0A codes to itself.
constexpr quint8 lineCode(quint8 byte)
{
    const int lo = byte & 0x0F;
    const int hi = byte >> 4;
    return static_cast<quint8>(((lo ^ 0x0A) << 4) | (hi ^ lo));
}

// What the panel does on receipt: the inverse of lineCode.
constexpr quint8 lineDecode(quint8 coded)
{
    const int lo = (coded >> 4) ^ 0x0A;
    const int hi = (coded & 0x0F) ^ lo;
    return static_cast<quint8>((hi << 4) | lo);
}

} // namespace varlo
