// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fonttable.h"

#include "charset/fontimage.h"
#include "link/fontupload.h"

namespace varlo {

static_assert(FontTable::offset(FontTable::Font::Bold, 255) == FontTable::kImageBytes - FontTable::kGlyphBytes);
// The table is what the character generator upload carries, byte for byte.
static_assert(FontTable::kImageBytes == fontupload::kImageBytes);

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
