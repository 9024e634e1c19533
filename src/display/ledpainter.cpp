// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ledpainter.h"

#include <QPainter>
#include <QRadialGradient>

#include <cstring>

namespace varlo {

namespace {

// One dot centred at `centre`; the painter antialiases and has no pen.
void paintDot(QPainter &painter, QPointF centre, bool lit, const LedStyle &style)
{
    const qreal radius = style.pitch * style.dotRatio / 2;
    if (lit) {
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

QImage dotImage(bool lit, const LedStyle &style, qreal devicePixelRatio)
{
    const int side = qRound(style.pitch * devicePixelRatio);
    QImage image(side, side, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(style.background);
    if (!image.isNull()) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        paintDot(painter, QPointF(style.pitch, style.pitch) / 2, lit, style);
    }
    return image;
}

} // namespace

QSize ledPictureSize(const DotMatrix &dots, const LedStyle &style)
{
    return QSize(dots.width() * style.pitch, dots.height() * style.pitch);
}

void paintDotMatrix(QPainter &painter, QPointF topLeft, const DotMatrix &dots, const LedStyle &style)
{
    const qreal pitch = style.pitch;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int y = 0; y < dots.height(); ++y) {
        for (int x = 0; x < dots.width(); ++x)
            paintDot(painter, topLeft + QPointF((x + 0.5) * pitch, (y + 0.5) * pitch), dots.lit(x, y), style);
    }
    painter.restore();
}

LedDotImages::LedDotImages(const LedStyle &style, qreal devicePixelRatio)
    : m_style(style)
    , m_devicePixelRatio(devicePixelRatio > 0 ? devicePixelRatio : 1)
    , m_lit(dotImage(true, style, m_devicePixelRatio))
    , m_dark(dotImage(false, style, m_devicePixelRatio))
{
}

QImage LedDotImages::render(const DotMatrix &dots) const
{
    const int side = devicePitch();
    QImage picture(dots.width() * side, dots.height() * side, QImage::Format_RGB32);
    picture.setDevicePixelRatio(m_devicePixelRatio);
    if (picture.isNull() || side == 0)
        return picture;
    // Whole scan lines of dot images, copied byte for byte: no painter, no
    // blending, so nothing can round differently from the prepared dots.
    const size_t dotBytes = size_t(side) * sizeof(QRgb);
    for (int y = 0; y < dots.height(); ++y) {
        for (int line = 0; line < side; ++line) {
            uchar *out = picture.scanLine(y * side + line);
            const uchar *lit = m_lit.constScanLine(line);
            const uchar *dark = m_dark.constScanLine(line);
            for (int x = 0; x < dots.width(); ++x)
                std::memcpy(out + size_t(x) * dotBytes, dots.lit(x, y) ? lit : dark, dotBytes);
        }
    }
    return picture;
}

QImage renderLedPicture(const DotMatrix &dots, const LedStyle &style)
{
    return LedDotImages(style).render(dots);
}

} // namespace varlo
