// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"
#include "link/linkframe.h"
#include "link/portchoice.h"

#include <QByteArrayView>

#include <vector>

namespace varlo {

class LinkReporter;

namespace fontupload {
inline constexpr int kFrameCount = FontTable::kImageBytes / frame::kDataSize;
inline constexpr int kProgressMaximum = 64;
} // namespace fontupload

// The 64 write frames that load the character generator: bytes 64i to
// 64i + 63 of the image to panel address 0x40 * i. The image is laid out
// as the font table, FontTable::kImageBytes in all; one of another size
// gives no frames.
std::vector<LinkFrame> characterGeneratorFrames(QByteArrayView image);

// Initial: opens the panel link as Send does and writes the 64 frames with no
// pause and no end frame. The progress maximum is 64 and the position is i
// after frame i, so it ends at 63 before dropping to 0 with the green lamp.
// Returns false when the link did not open or a write or the final drain
// failed (port closed, red lamp, progress 0), and at once, opening nothing, for an image of the
// wrong size.
bool sendCharacterGenerator(QByteArrayView image, const PortChoice &port, LinkReporter &reporter);

} // namespace varlo
