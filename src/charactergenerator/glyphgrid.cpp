// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/glyphgrid.h"

#include "display/ledpainter.h"

#include <QKeyEvent>
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
    setFocusPolicy(Qt::StrongFocus);
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
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(cellRect(m_face, m_code).adjusted(1, 1, -1, -1));
    } else {
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(cellRect(m_face, m_code).adjusted(0, 0, -1, -1));
    }
}

void GlyphGrid::mousePressEvent(QMouseEvent *event)
{
    for (FontTable::Font face : {FontTable::Font::Normal, FontTable::Font::Bold}) {
        for (int code = 0; code < FontTable::kGlyphCount; ++code) {
            if (cellRect(face, quint8(code)).contains(event->position().toPoint())) {
                choose(face, quint8(code));
                return;
            }
        }
    }
}

void GlyphGrid::choose(FontTable::Font face, quint8 code)
{
    setCurrent(face, code);
    emit chosen(face, code);
}

void GlyphGrid::keyPressEvent(QKeyEvent *event)
{
    using Font = FontTable::Font;
    const int column = m_code % kPerRow;
    const int row = m_code / kPerRow;
    constexpr int kLastColumn = kPerRow - 1;
    constexpr int kLastRow = FontTable::kGlyphCount / kPerRow - 1;
    switch (event->key()) {
    case Qt::Key_Left:
        if (column > 0)
            choose(m_face, quint8(m_code - 1));
        else if (m_face == Font::Bold)
            choose(Font::Normal, quint8(row * kPerRow + kLastColumn));
        return;
    case Qt::Key_Right:
        if (column < kLastColumn)
            choose(m_face, quint8(m_code + 1));
        else if (m_face == Font::Normal)
            choose(Font::Bold, quint8(row * kPerRow));
        return;
    case Qt::Key_Up:
        if (row > 0)
            choose(m_face, quint8(m_code - kPerRow));
        return;
    case Qt::Key_Down:
        if (row < kLastRow)
            choose(m_face, quint8(m_code + kPerRow));
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit activated();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void GlyphGrid::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update(cellRect(m_face, m_code));
}

void GlyphGrid::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update(cellRect(m_face, m_code));
}

} // namespace varlo
