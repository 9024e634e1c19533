// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fonttable.h"

// Defined in the source that varlo-fontgen writes into the build tree.
namespace varlo::fontdata {
extern const unsigned char kImage[4096];
} // namespace varlo::fontdata

namespace varlo {

static_assert(FontTable::kImageBytes == sizeof(fontdata::kImage));
static_assert(FontTable::offset(FontTable::Font::Bold, 255) == FontTable::kImageBytes - FontTable::kGlyphBytes);

FontTable::Image FontTable::bytes()
{
    return std::span<const quint8, kImageBytes>(fontdata::kImage, kImageBytes);
}

QByteArrayView FontTable::image()
{
    return QByteArrayView(fontdata::kImage, kImageBytes);
}

FontTable::Glyph FontTable::glyph(Font font, quint8 code)
{
    return glyph(bytes(), font, code);
}

FontTable::Glyph FontTable::glyph(Image image, Font font, quint8 code)
{
    return image.subspan(offset(font, code)).first<kGlyphBytes>();
}

} // namespace varlo
