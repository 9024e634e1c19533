// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"

namespace varlo::fontdata {

// The two fonts as FontTable lays them out, defined in the source that
// varlo-fontgen writes into the build tree from the glyph files.
extern const unsigned char kImage[FontTable::kImageBytes];
// The label of each glyph, font * 256 + code, UTF-8 as in the glyph files.
extern const char *const kLabels[FontTable::kFontCount * FontTable::kGlyphCount];

} // namespace varlo::fontdata
