// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/leddisplay.h"

#include <QPainter>
#include <QStyle>

namespace varlo {

LedDisplay::LedDisplay(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
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

void LedDisplay::paintEvent(QPaintEvent *)
{
    if (m_source.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(placeOfPart(), m_source, m_part);
}

} // namespace varlo
