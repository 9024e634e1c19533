// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/pictureglyphs.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace varlo {

namespace {

constexpr int kRows = FontTable::kGlyphRows;
constexpr int kColumns = FontTable::kGlyphBytes;
// Wider than every code of a face together: more could never be taken.
constexpr int kMaxWidth = FontTable::kGlyphCount * kColumns;

} // namespace

QImage PictureGlyphs::scaled(const QImage &picture)
{
    if (picture.isNull() || picture.width() < 1 || picture.height() < 1)
        return {};
    const double width = std::round(double(picture.width()) * kRows / picture.height());
    const int scaledWidth = std::clamp(int(width), 1, kMaxWidth);
    // Transparent parts read as the white ground a drawing is made on.
    QImage ground(picture.size(), QImage::Format_RGB32);
    ground.fill(Qt::white);
    {
        QPainter painter(&ground);
        painter.drawImage(0, 0, picture);
    }
    const QImage sized = ground.size() == QSize(scaledWidth, kRows)
        ? ground
        : ground.scaled(scaledWidth, kRows, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return sized.convertToFormat(QImage::Format_Grayscale8);
}

std::vector<PictureGlyphs::Columns> PictureGlyphs::cut(const QImage &scaledPicture, int threshold, bool lightIsLit)
{
    std::vector<Columns> glyphs;
    if (scaledPicture.isNull())
        return glyphs;
    const QImage grey = scaledPicture.convertToFormat(QImage::Format_Grayscale8);
    const int width = grey.width();
    glyphs.resize(size_t((width + kColumns - 1) / kColumns));
    for (int y = 0; y < std::min(grey.height(), kRows); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool dark = line[x] < threshold;
            if (dark != lightIsLit)
                glyphs[size_t(x / kColumns)][size_t(x % kColumns)] |= quint8(1u << y);
        }
    }
    return glyphs;
}

} // namespace varlo
