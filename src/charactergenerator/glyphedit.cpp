// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/glyphedit.h"

#include "display/ledpainter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace varlo {

namespace {

constexpr int kColumns = FontTable::kGlyphBytes;
constexpr int kRows = FontTable::kGlyphRows;

} // namespace

GlyphEdit::GlyphEdit(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(kColumns * 12, kRows * 12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void GlyphEdit::setColumns(const Columns &columns)
{
    m_columns = columns;
    update();
}

QSize GlyphEdit::sizeHint() const
{
    return {kColumns * 36, kRows * 36};
}

int GlyphEdit::pitch() const
{
    return qMax(4, qMin(width() / kColumns, height() / kRows));
}

QPoint GlyphEdit::dotCentre(int x, int y) const
{
    return {x * pitch() + pitch() / 2, y * pitch() + pitch() / 2};
}

QPoint GlyphEdit::dotAt(QPointF point) const
{
    const int x = int(point.x()) / pitch();
    const int y = int(point.y()) / pitch();
    if (point.x() < 0 || point.y() < 0 || x >= kColumns || y >= kRows)
        return {-1, -1};
    return {x, y};
}

void GlyphEdit::setDot(QPoint dot, bool on, int stroke)
{
    if (dot.x() < 0 || lit(dot) == on)
        return;
    Columns changed = m_columns;
    changed[size_t(dot.x())] ^= quint8(1u << dot.y());
    emit edited(changed, stroke);
}

void GlyphEdit::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::Antialiasing);
    DotMatrix dots(kColumns, kRows);
    for (int x = 0; x < kColumns; ++x)
        dots.setColumn(x, m_columns[size_t(x)]);
    const LedStyle style{.pitch = pitch()};
    paintDotMatrix(painter, QPointF(0, 0), dots, style);
    if (hasFocus()) {
        painter.setPen(QPen(Qt::white, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(m_cursor.x() * pitch() + 1, m_cursor.y() * pitch() + 1, pitch() - 2, pitch() - 2));
    }
}

void GlyphEdit::mousePressEvent(QMouseEvent *event)
{
    const QPoint dot = dotAt(event->position());
    if (dot.x() < 0 || event->button() != Qt::LeftButton)
        return;
    m_cursor = dot;
    m_dragLights = !lit(dot);
    m_stroke = ++m_lastStroke;
    setDot(dot, m_dragLights, m_stroke);
    update();
}

void GlyphEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_stroke == 0)
        return;
    const QPoint dot = dotAt(event->position());
    if (dot.x() < 0)
        return;
    m_cursor = dot;
    setDot(dot, m_dragLights, m_stroke);
    update();
}

void GlyphEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_stroke = 0;
}

void GlyphEdit::keyPressEvent(QKeyEvent *event)
{
    QPoint step;
    switch (event->key()) {
    case Qt::Key_Left:
        step = {-1, 0};
        break;
    case Qt::Key_Right:
        step = {1, 0};
        break;
    case Qt::Key_Up:
        step = {0, -1};
        break;
    case Qt::Key_Down:
        step = {0, 1};
        break;
    case Qt::Key_Space:
        setDot(m_cursor, !lit(m_cursor), 0);
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    const QPoint moved = m_cursor + step;
    if (moved.x() >= 0 && moved.x() < kColumns && moved.y() >= 0 && moved.y() < kRows)
        m_cursor = moved;
    update();
}

} // namespace varlo
