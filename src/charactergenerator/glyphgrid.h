// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"

#include <QWidget>

namespace varlo {

// Both faces of a font as LED cells, 16 codes a row, the normal face on the
// left and the bold one on the right. A click chooses a glyph, and so do the
// arrow keys when the grid has the focus (Tab reaches it): they move the
// choice one cell, from one face into the other across the gap, and Return
// or Enter goes on to draw. The chosen glyph is framed, more boldly while the
// grid has the focus.
class GlyphGrid : public QWidget
{
    Q_OBJECT

public:
    explicit GlyphGrid(const FontFile &font, QWidget *parent = nullptr);

    void setCurrent(FontTable::Font face, quint8 code);
    FontTable::Font currentFace() const { return m_face; }
    quint8 currentCode() const { return m_code; }
    // The middle of a glyph's cell, in widget coordinates.
    QPoint cellCentre(FontTable::Font face, quint8 code) const;

    QSize sizeHint() const override;

signals:
    void chosen(varlo::FontTable::Font face, quint8 code);
    // Return or Enter on the chosen glyph.
    void activated();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    QRect cellRect(FontTable::Font face, quint8 code) const;
    void choose(FontTable::Font face, quint8 code);

    const FontFile &m_font;
    FontTable::Font m_face = FontTable::Font::Normal;
    quint8 m_code = 65;
};

} // namespace varlo
