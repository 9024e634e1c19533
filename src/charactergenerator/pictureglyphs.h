// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"

#include <QImage>

#include <array>
#include <vector>

namespace varlo {

// A picture as glyphs: scaled to the 7 rows a glyph lights, keeping its
// shape, and cut into cells of 8 columns from the left, the last one filled
// up with dark columns. A pixel darker than `threshold` (0 to 255, by its
// grey over a white ground, so a transparent pixel is white) lights its
// dot; with `lightIsLit` a lighter one does, for a light drawing on a dark
// ground.
struct PictureGlyphs
{
    using Columns = std::array<quint8, FontTable::kGlyphBytes>;

    static constexpr int kDefaultThreshold = 128;

    // The picture at glyph height, grey, before the threshold.
    static QImage scaled(const QImage &picture);
    static std::vector<Columns> cut(const QImage &scaledPicture, int threshold, bool lightIsLit);
};

} // namespace varlo
