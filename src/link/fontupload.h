// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/uploadplan.h"

#include <QByteArrayView>

#include <optional>

namespace varlo {

namespace fontupload {
// The panel's character generator: 4 KiB from frame::kFontAddress, two
// fonts of 256 glyphs of 8 bytes. How the bytes make glyphs is the font
// table's business; the link only carries them.
inline constexpr int kImageBytes = 0x1000;
inline constexpr int kFrameCount = kImageBytes / frame::kDataSize;
inline constexpr int kProgressMaximum = 64;
} // namespace fontupload

// The 64 write frames that load the character generator: bytes 64i to
// 64i + 63 of the image to panel address 0x40 * i. None for an image that is
// not kImageBytes long.
std::vector<LinkFrame> characterGeneratorFrames(QByteArrayView image);

// Initial: the 64 frames with no pause and no end frame. The progress
// maximum is 64; the position is left where it was until the first frame is
// out and is i after frame i, so it ends at 63. Nothing for an image that is
// not kImageBytes long.
std::optional<UploadPlan> planFontUpload(QByteArrayView image);

} // namespace varlo
