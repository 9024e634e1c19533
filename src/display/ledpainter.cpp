// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ledpainter.h"

#include <QPainter>
#include <QRadialGradient>

namespace varlo {

QSize LedPictureSize(const DotMatrix &dots, const LedStyle &style)
{
    return QSize(dots.width() * style.pitch, dots.height() * style.pitch);
}

void PaintDotMatrix(QPainter &painter, QPointF topLeft, const DotMatrix &dots, const LedStyle &style)
{
    const qreal pitch = style.pitch;
    const qreal radius = pitch * style.dotRatio / 2;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int y = 0; y < dots.height(); ++y) {
        for (int x = 0; x < dots.width(); ++x) {
            const QPointF centre = topLeft + QPointF((x + 0.5) * pitch, (y + 0.5) * pitch);
            if (dots.lit(x, y)) {
                // A hot centre fading to the lens colour reads as a lamp.
                QRadialGradient glow(centre - QPointF(radius, radius) * 0.25, radius);
                glow.setColorAt(0.0, style.litCore);
                glow.setColorAt(0.55, style.lit);
                glow.setColorAt(1.0, style.lit.darker(130));
                painter.setBrush(glow);
            } else {
                painter.setBrush(style.dark);
            }
            painter.drawEllipse(centre, radius, radius);
        }
    }
    painter.restore();
}

QImage RenderLedPicture(const DotMatrix &dots, const LedStyle &style)
{
    QImage picture(LedPictureSize(dots, style), QImage::Format_RGB32);
    picture.fill(style.background);
    if (!picture.isNull()) {
        QPainter painter(&picture);
        PaintDotMatrix(painter, QPointF(0, 0), dots, style);
    }
    return picture;
}

} // namespace varlo
