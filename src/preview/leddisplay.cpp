// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/leddisplay.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace varlo {

LedDisplay::LedDisplay(QWidget *parent)
    : QWidget(parent)
{
    // It paints every pixel itself: the background only around the part,
    // which is most of a frame's pixels painted once instead of twice.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LedDisplay::showPart(const QPixmap &source, const QRect &part)
{
    const QRect before = placeOfPart();
    m_source = source;
    m_part = part;
    const QRect after = placeOfPart();
    if (after == before)
        update(after);
    else
        update();
}

QRect LedDisplay::placeOfPart() const
{
    if (m_source.isNull())
        return {};
    const QSize size = (QSizeF(m_part.size()) / m_source.devicePixelRatio()).toSize();
    return QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, size, rect());
}

void LedDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect place = placeOfPart();
    for (const QRect &around : event->region().subtracted(place))
        painter.fillRect(around, palette().window());
    if (!m_source.isNull())
        painter.drawPixmap(place, m_source, m_part);
}

} // namespace varlo
