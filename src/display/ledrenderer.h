// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"
#include "model/messageblock.h"

#include <span>
#include <vector>

namespace varlo {

// A grid of LED dots, `width` columns by `height` rows, all dark at first.
// The height is 7 (the rows a glyph may light) or 8 (the panel's full cell,
// whose last row stays dark). Each column is held like a glyph column: bit y
// lights row y, row 0 at the top.
class DotMatrix
{
public:
    static constexpr int kMaxHeight = 8;

    DotMatrix() = default;
    DotMatrix(int width, int height);

    int width() const { return int(m_columns.size()); }
    int height() const { return m_height; }

    // Dots outside the grid are dark.
    bool lit(int x, int y) const;
    void setLit(int x, int y, bool on = true);

    // Bit y of the result is row y of column x; 0 outside the grid.
    quint8 column(int x) const;
    // Rows at and below the height are cut off.
    void setColumn(int x, quint8 bits);

    friend bool operator==(const DotMatrix &, const DotMatrix &) = default;

private:
    quint8 rowMask() const { return quint8((1u << m_height) - 1); }

    int m_height = FontTable::kGlyphRows;
    std::vector<quint8> m_columns;
};

// One character cell of a message block: the glyph code and the attribute
// byte (bit 4 bold, bit 0 flash).
struct LedCell
{
    quint8 code = 0;
    quint8 attribute = 0;
};

// One glyph in all 8 of its columns, as the font sheet shows it.
DotMatrix renderGlyph(FontTable::Font font, quint8 code, int height = FontTable::kGlyphRows);

// Every function below draws from the built-in fonts unless it is given
// another character generator (`glyphs`), such as the one a panel's memory
// holds after an upload.

// How many columns a cell of this glyph takes in a rendered row.
int cellWidthOf(FontTable::Font font, quint8 code);
int cellWidthOf(FontTable::Image glyphs, FontTable::Font font, quint8 code);

// A row of cells side by side, each from the bold font when its attribute has
// bit 4 set and from the normal font otherwise. Flash cells (bit 0) blink:
// they are lit while `phaseOn` is true and dark, at their full width, while
// it is false.
DotMatrix renderCells(std::span<const LedCell> cells, bool phaseOn, int height = FontTable::kGlyphRows);
DotMatrix renderCells(std::span<const LedCell> cells, bool phaseOn, FontTable::Image glyphs,
                      int height = FontTable::kGlyphRows);

// The cells a message block holds: as many as its count says, at most 125.
std::vector<LedCell> messageBlockCells(const MessageBlock &block);

// The cells a message block holds, rendered as a row.
DotMatrix renderMessageBlock(const MessageBlock &block, bool phaseOn, int height = FontTable::kGlyphRows);

} // namespace varlo
