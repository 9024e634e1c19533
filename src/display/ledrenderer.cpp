// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ledrenderer.h"

#include <QtGlobal>

#include <algorithm>

namespace varlo {

DotMatrix::DotMatrix(int width, int height)
    : m_height(std::clamp(height, 1, kMaxHeight))
    , m_columns(size_t(std::max(width, 0)), 0)
{
    Q_ASSERT(height == FontTable::kGlyphRows || height == kMaxHeight);
}

bool DotMatrix::lit(int x, int y) const
{
    return y >= 0 && y < m_height && (column(x) >> y) & 1u;
}

void DotMatrix::setLit(int x, int y, bool on)
{
    if (x < 0 || x >= width() || y < 0 || y >= m_height) {
        return;
    }
    const quint8 bit = quint8(1u << y);
    m_columns[size_t(x)] = on ? quint8(m_columns[size_t(x)] | bit) : quint8(m_columns[size_t(x)] & ~bit);
}

quint8 DotMatrix::column(int x) const
{
    return x >= 0 && x < width() ? m_columns[size_t(x)] : 0;
}

void DotMatrix::setColumn(int x, quint8 bits)
{
    if (x >= 0 && x < width()) {
        m_columns[size_t(x)] = bits & rowMask();
    }
}

namespace {

FontTable::Font fontOf(quint8 attribute)
{
    return (attribute & block::kAttributeBold) ? FontTable::Font::Bold : FontTable::Font::Normal;
}

} // namespace

DotMatrix renderGlyph(FontTable::Font font, quint8 code, int height)
{
    const FontTable::Glyph glyph = FontTable::glyph(font, code);
    DotMatrix dots(FontTable::kGlyphBytes, height);
    for (int x = 0; x < FontTable::kGlyphBytes; ++x) {
        dots.setColumn(x, glyph[size_t(x)]);
    }
    return dots;
}

// Spacing: a cell is as wide as its glyph up to the last lit column, plus one
// dark column, so the glyph's own dark columns on the left stay (a normal "!"
// is 4 columns, most normal letters 6, a 7-column bold letter 8). A glyph
// with no lit dot at all, the space (32), the blank of "~R" (31) and the
// other empty codes, takes a fixed width instead: 3 columns in the normal
// font, 4 in the bold font.
int cellWidthOf(FontTable::Font font, quint8 code)
{
    return cellWidthOf(FontTable::bytes(), font, code);
}

int cellWidthOf(FontTable::Image glyphs, FontTable::Font font, quint8 code)
{
    const FontTable::Glyph glyph = FontTable::glyph(glyphs, font, code);
    for (int x = FontTable::kGlyphBytes - 1; x >= 0; --x) {
        if (glyph[size_t(x)] != 0) {
            return x + 2;
        }
    }
    return font == FontTable::Font::Bold ? 4 : 3;
}

DotMatrix renderCells(std::span<const LedCell> cells, bool phaseOn, int height)
{
    return renderCells(cells, phaseOn, FontTable::bytes(), height);
}

DotMatrix renderCells(std::span<const LedCell> cells, bool phaseOn, FontTable::Image glyphs, int height)
{
    int width = 0;
    for (const LedCell &cell : cells) {
        width += cellWidthOf(glyphs, fontOf(cell.attribute), cell.code);
    }

    DotMatrix dots(width, height);
    int left = 0;
    for (const LedCell &cell : cells) {
        const FontTable::Font font = fontOf(cell.attribute);
        const int cellWidth = cellWidthOf(glyphs, font, cell.code);
        const bool dark = (cell.attribute & block::kAttributeFlash) && !phaseOn;
        if (!dark) {
            const FontTable::Glyph glyph = FontTable::glyph(glyphs, font, cell.code);
            // The trailing dark column, and an empty glyph's fixed width,
            // may reach past the glyph's 8 columns.
            for (int x = 0; x < cellWidth && x < FontTable::kGlyphBytes; ++x) {
                dots.setColumn(left + x, glyph[size_t(x)]);
            }
        }
        left += cellWidth;
    }
    return dots;
}

std::vector<LedCell> messageBlockCells(const MessageBlock &block)
{
    // A count past the capacity can only come from a damaged block; the
    // cells it names beyond 125 would lie in the attribute area.
    const int count = std::min<int>(block[block::kCountOffset], block::kCellCapacity);
    std::vector<LedCell> cells(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        cells[size_t(k)] = {block[size_t(block::kCodeOffset + k)], block[size_t(block::kAttributeOffset + k)]};
    }
    return cells;
}

DotMatrix renderMessageBlock(const MessageBlock &block, bool phaseOn, int height)
{
    return renderCells(messageBlockCells(block), phaseOn, height);
}

} // namespace varlo
