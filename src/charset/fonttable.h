// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <span>

namespace varlo {

// The panel's character generator: two fonts of 256 glyphs, 4096 bytes in
// all, built into the program from src/charset/glyphs/*.txt.
//
//   bytes    0..2047  font 0, the normal font, codes 0 to 255 in order
//   bytes 2048..4095  font 1, the bold font
//
// A glyph is 8 column bytes, leftmost column first; bit r of a column lights
// row r, row 0 at the top. Bit 7 is never set, so row 7 stays dark.
class FontTable
{
public:
    enum class Font : quint8 { Normal = 0, Bold = 1 };

    static constexpr int kFontCount = 2;
    static constexpr int kGlyphCount = 256;
    static constexpr int kGlyphBytes = 8;
    static constexpr int kGlyphRows = 7; // rows that a glyph may light
    static constexpr int kFontBytes = kGlyphCount * kGlyphBytes;
    static constexpr int kImageBytes = kFontCount * kFontBytes;

    using Glyph = std::span<const quint8, kGlyphBytes>;
    // A whole character generator in this layout: the built-in table, or
    // what a panel's memory holds after an upload.
    using Image = std::span<const quint8, kImageBytes>;

    // The whole table in panel order, as the character generator upload
    // sends it.
    static Image bytes();
    static QByteArrayView image();

    // The 8 column bytes of one glyph, from the built-in table or from
    // another character generator.
    static Glyph glyph(Font font, quint8 code);
    static Glyph glyph(Image image, Font font, quint8 code);

    // Where the glyph of `code` in `font` starts: font * 2048 + code * 8. The
    // panel address of a glyph is the same number.
    static constexpr int offset(Font font, quint8 code) { return int(font) * kFontBytes + int(code) * kGlyphBytes; }
};

} // namespace varlo
