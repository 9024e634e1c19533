// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"

namespace varlo::fontdata {

// The two fonts as FontTable lays them out, defined in the source that
// varlo-fontgen writes into the build tree from the glyph files.
extern const unsigned char kImage[FontTable::kImageBytes];

} // namespace varlo::fontdata
