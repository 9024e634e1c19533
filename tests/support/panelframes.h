// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"
#include "model/messageblock.h"
#include "virtualpanel/framedecoder.h"
#include "virtualpanel/panelmemory.h"

#include <QByteArray>

#include <map>
#include <vector>

namespace varlo::test {

// Frames as a sender puts them on the line, built by hand so that a test
// can leave one out or spoil one.

// Bytes written as hexadecimal pairs, spaces allowed: hex("82 B2 A0").
QByteArray hex(const char *text);
// Those bytes `times` over.
QByteArray repeated(const char *hexText, int times);

// The frames' line-coded bytes, one after the other.
QByteArray lineCoded(const std::vector<LinkFrame> &frames);
// The four write frames of a slot's block.
std::vector<LinkFrame> blockFrames(int slot, const MessageBlock &block);
// The directory with the given entries; every other slot empty (1 0 0).
LinkFrame directoryFrame(const std::map<int, DirectoryEntry> &entries);
// Slot A with the block given, running at speed code 4, and the end frame.
QByteArray slotAUpload(const MessageBlock &block);
// `count` write frames of zeros to addresses nothing lives at, 0x1000 on,
// one frame's data apart: an error each for the panel's memory.
QByteArray writesToNowhere(int count);

// Feeds raw line bytes to the memory as varlo-panel does; returns the
// uploads they complete.
std::vector<PanelMemory::Upload> feedMemory(PanelMemory &memory, FrameDecoder &decoder, const QByteArray &raw);

} // namespace varlo::test
