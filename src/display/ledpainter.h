// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/ledrenderer.h"

#include <QColor>
#include <QImage>
#include <QPointF>

class QPainter;

namespace varlo {

// How dots look: round LEDs on a dark board, lit ones bright red, dark ones
// a dim red so the grid stays visible.
struct LedStyle
{
    int pitch = 10; // pixels from one dot centre to the next
    qreal dotRatio = 0.8; // dot diameter as a share of the pitch
    QColor lit{255, 40, 24};
    QColor litCore{255, 170, 140}; // centre of a lit dot
    QColor dark{70, 10, 8};
    QColor background{Qt::black};
};

// The size of the picture of `dots`: one pitch per column and row.
QSize ledPictureSize(const DotMatrix &dots, const LedStyle &style);

// Paints the dots one by one, each an antialiased ellipse (a lit one with a
// gradient of its own), with the top-left corner of dot (0, 0)'s pitch square
// at `topLeft`. Only the dots are painted, not the background. Slow: for
// pictures drawn again and again, LedDotImages copies prepared dots instead.
void paintDotMatrix(QPainter &painter, QPointF topLeft, const DotMatrix &dots, const LedStyle &style);

// A lit and a dark dot, each drawn once on its pitch square of background at
// a device pixel ratio; a picture of dots is then only copies of the two.
// Every dot lies wholly inside its own square, so the copies give the very
// pixels that painting each dot in place gives.
class LedDotImages
{
public:
    explicit LedDotImages(const LedStyle &style = {}, qreal devicePixelRatio = 1);

    const LedStyle &style() const { return m_style; }
    qreal devicePixelRatio() const { return m_devicePixelRatio; }
    // The pitch in device pixels: the side of each dot image.
    int devicePitch() const { return m_lit.width(); }
    const QImage &lit() const { return m_lit; }
    const QImage &dark() const { return m_dark; }

    // The dots on their background, ledPictureSize() at the pixel ratio.
    QImage render(const DotMatrix &dots) const;

private:
    LedStyle m_style;
    qreal m_devicePixelRatio;
    QImage m_lit;
    QImage m_dark;
};

// The dots on their background, as a picture of ledPictureSize().
QImage renderLedPicture(const DotMatrix &dots, const LedStyle &style = {});

} // namespace varlo
