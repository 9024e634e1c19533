// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"

#include <QWidget>

namespace varlo {

// Both faces of a font as LED cells, 16 codes a row, the normal face on the
// left and the bold one on the right. A click chooses a glyph; the chosen
// one is framed.
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

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QRect cellRect(FontTable::Font face, quint8 code) const;

    const FontFile &m_font;
    FontTable::Font m_face = FontTable::Font::Normal;
    quint8 m_code = 65;
};

} // namespace varlo
