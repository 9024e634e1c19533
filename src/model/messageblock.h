// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <array>

namespace varlo {

// What the panel stores for one slot: 256 bytes holding up to 125 cells.
//
//   0        marker 0x55
//   1        checksum: sum of bytes 2..255, modulo 256
//   2        count of cells filled
//   3..127   character code of cell k at 3 + k
//   128..252 attribute of cell k at 128 + k (bit 0 flash, bit 4 bold)
//   253..255 always 0
using MessageBlock = std::array<quint8, 256>;

// Skip byte, speed code, presence byte.
using DirectoryEntry = std::array<quint8, 3>;

namespace block {
inline constexpr int kSize = 256;
inline constexpr int kMarkerOffset = 0;
inline constexpr int kChecksumOffset = 1;
inline constexpr int kCountOffset = 2;
inline constexpr int kCodeOffset = 3;
inline constexpr int kAttributeOffset = 128;
inline constexpr int kCellCapacity = 125;
inline constexpr quint8 kMarker = 0x55;

inline constexpr quint8 kAttributeFlash = 0x01;
inline constexpr quint8 kAttributeBold = 0x10;
} // namespace block

// Encodes a slot's markup. Never fails: unknown escapes and a trailing tilde
// are dropped, and cells past the 125th are left out (the count then says
// 125), so nothing is ever written outside the block.
MessageBlock encodeMessageBlock(QByteArrayView markup);

// The sum of bytes 2 to 255, modulo 256: what byte 1 of a sound block holds.
quint8 messageBlockChecksum(const MessageBlock &block);

// The directory entry of a slot: 1 0 0 for an empty slot, otherwise the skip
// byte (0 when the slot runs), the speed code as it is, and 1.
DirectoryEntry makeDirectoryEntry(bool empty, bool run, quint8 speedCode);

// How many cells the markup fills, without the 125-cell cap, so that the
// editor can warn about text the panel will not show.
int markupCellCount(QByteArrayView markup);
bool markupOverflows(QByteArrayView markup);

} // namespace varlo
