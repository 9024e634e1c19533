// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/glyphgrid.h"

#include "display/ledpainter.h"

#include <QMouseEvent>
#include <QPainter>

namespace varlo {

namespace {

constexpr int kPitch = 2;
constexpr int kCellWidth = FontTable::kGlyphBytes * kPitch + 4;
constexpr int kCellHeight = FontTable::kGlyphRows * kPitch + 4;
constexpr int kPerRow = 16;
constexpr int kFaceWidth = kPerRow * kCellWidth;
constexpr int kFaceGap = 12;
constexpr int kGridHeight = FontTable::kGlyphCount / kPerRow * kCellHeight;

} // namespace

GlyphGrid::GlyphGrid(const FontFile &font, QWidget *parent)
    : QWidget(parent)
    , m_font(font)
{
    setFixedSize(sizeHint());
}

QSize GlyphGrid::sizeHint() const
{
    return {2 * kFaceWidth + kFaceGap, kGridHeight};
}

QRect GlyphGrid::cellRect(FontTable::Font face, quint8 code) const
{
    const int left = face == FontTable::Font::Normal ? 0 : kFaceWidth + kFaceGap;
    return {left + (code % kPerRow) * kCellWidth, (code / kPerRow) * kCellHeight, kCellWidth, kCellHeight};
}

QPoint GlyphGrid::cellCentre(FontTable::Font face, quint8 code) const
{
    return cellRect(face, code).center();
}

void GlyphGrid::setCurrent(FontTable::Font face, quint8 code)
{
    m_face = face;
    m_code = code;
    update();
}

void GlyphGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const LedStyle style{.pitch = kPitch, .dotRatio = 1.0};
    for (FontTable::Font face : {FontTable::Font::Normal, FontTable::Font::Bold}) {
        for (int code = 0; code < FontTable::kGlyphCount; ++code) {
            const QRect cell = cellRect(face, quint8(code));
            if (!event->rect().intersects(cell))
                continue;
            DotMatrix dots(FontTable::kGlyphBytes, FontTable::kGlyphRows);
            const FontTable::Glyph glyph = m_font.glyph(face, quint8(code));
            for (int x = 0; x < FontTable::kGlyphBytes; ++x)
                dots.setColumn(x, glyph[size_t(x)]);
            paintDotMatrix(painter, cell.topLeft() + QPointF(2, 2), dots, style);
        }
    }
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(cellRect(m_face, m_code).adjusted(0, 0, -1, -1));
}

void GlyphGrid::mousePressEvent(QMouseEvent *event)
{
    for (FontTable::Font face : {FontTable::Font::Normal, FontTable::Font::Bold}) {
        for (int code = 0; code < FontTable::kGlyphCount; ++code) {
            if (cellRect(face, quint8(code)).contains(event->position().toPoint())) {
                setCurrent(face, quint8(code));
                emit chosen(face, quint8(code));
                return;
            }
        }
    }
}

} // namespace varlo
