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
    int pitch = 10;          // pixels from one dot centre to the next
    qreal dotRatio = 0.8;    // dot diameter as a share of the pitch
    QColor lit{255, 40, 24};
    QColor litCore{255, 170, 140}; // centre of a lit dot
    QColor dark{70, 10, 8};
    QColor background{Qt::black};
};

// The size of the picture of `dots`: one pitch per column and row.
QSize LedPictureSize(const DotMatrix &dots, const LedStyle &style);

// Paints the dots with the top-left corner of dot (0, 0)'s pitch square at
// `topLeft`. Only the dots are painted, not the background.
void PaintDotMatrix(QPainter &painter, QPointF topLeft, const DotMatrix &dots, const LedStyle &style);

// The dots on their background, as a picture of LedPictureSize().
QImage RenderLedPicture(const DotMatrix &dots, const LedStyle &style = {});

} // namespace varlo
