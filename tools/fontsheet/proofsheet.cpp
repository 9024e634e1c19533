// SPDX-License-Identifier: GPL-3.0-or-later
#include "proofsheet.h"

#include "display/ledpainter.h"
#include "display/ledrenderer.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace varlo {

namespace {

constexpr int kCodesPerRow = 8;
const QColor kInk(230, 230, 230);
const QColor kFaint(140, 140, 140);

// Text in the proof's own typeface only: glyph runs of the raw font, never a
// font the machine would merge in for a missing character.
class ProofText
{
public:
    ProofText(QPainter &painter, const QRawFont &typeface)
        : m_painter(painter)
        , m_typeface(typeface)
    {
    }

    qreal width(const QString &text, qreal pixelSize) const
    {
        const QRawFont font = sized(pixelSize);
        qreal width = 0;
        for (const QPointF &advance : font.advancesForGlyphIndexes(font.glyphIndexesForString(text)))
            width += advance.x();
        return width;
    }

    // Centred on `centreX`, the baseline at `baseline`.
    void draw(const QString &text, qreal pixelSize, qreal centreX, qreal baseline, const QColor &colour)
    {
        const QRawFont font = sized(pixelSize);
        const QList<quint32> indexes = font.glyphIndexesForString(text);
        QList<QPointF> positions;
        qreal x = 0;
        for (const QPointF &advance : font.advancesForGlyphIndexes(indexes)) {
            positions << QPointF(x, 0);
            x += advance.x();
        }
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        m_painter.setPen(colour);
        m_painter.drawGlyphRun(QPointF(centreX - x / 2, baseline), run);
    }

    bool has(const QString &character) const
    {
        const QList<uint> ucs4 = character.toUcs4();
        return ucs4.size() == 1 && m_typeface.supportsCharacter(ucs4.first());
    }

private:
    QRawFont sized(qreal pixelSize) const
    {
        QRawFont font = m_typeface;
        font.setPixelSize(pixelSize);
        return font;
    }

    QPainter &m_painter;
    QRawFont m_typeface;
};

// A name label, or a character written as a number, in up to three short
// lines that fit the label column.
QStringList wrapped(const QString &text, const ProofText &writer, qreal pixelSize, qreal width)
{
    QStringList lines;
    // Names such as (plane-short-wings) break after a hyphen too.
    QString spaced = text;
    spaced.replace(QLatin1Char('-'), QStringLiteral("- "));
    for (const QString &word : spaced.split(QLatin1Char(' '))) {
        const QString joint =
            lines.isEmpty() || lines.last().endsWith(QLatin1Char('-')) ? QString() : QStringLiteral(" ");
        if (!lines.isEmpty() && writer.width(lines.last() + joint + word, pixelSize) <= width)
            lines.last() += joint + word;
        else
            lines << word;
    }
    return lines;
}

} // namespace

DotMatrix glyphDots(const FontFile &font, FontTable::Font face, quint8 code)
{
    DotMatrix dots(FontTable::kGlyphBytes, FontTable::kGlyphRows);
    const FontTable::Glyph glyph = font.glyph(face, code);
    for (int x = 0; x < FontTable::kGlyphBytes; ++x)
        dots.setColumn(x, glyph[size_t(x)]);
    return dots;
}

QRawFont loadProofTypeface(const QString &path)
{
    QRawFont font(path, 12);
    return font.isValid() ? font : QRawFont();
}

QImage paintProofSheet(const FontFile &font, const ProofSheet &proof)
{
    const int p = proof.pitch;
    const int glyphW = FontTable::kGlyphBytes * p;
    const int glyphH = FontTable::kGlyphRows * p;
    const int codeW = 4 * p;
    const int labelW = 10 * p;
    const int cellW = codeW + glyphW + p + glyphW + p + labelW + 2 * p;
    const int cellH = glyphH + 3 * p;
    const int margin = 3 * p;
    const int titleH = 6 * p;
    const int codes = proof.lastCode - proof.firstCode + 1;
    const int rows = (codes + kCodesPerRow - 1) / kCodesPerRow;
    const int columns = std::min(codes, kCodesPerRow);

    QImage sheet(2 * margin + columns * cellW, 2 * margin + titleH + rows * cellH, QImage::Format_RGB32);
    sheet.fill(QColor(16, 16, 16));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    ProofText text(painter, proof.typeface);
    const LedStyle style{.pitch = p};

    const qreal titleSize = 2.6 * p;
    text.draw(proof.title, titleSize, margin + text.width(proof.title, titleSize) / 2, margin + 3.5 * p, kInk);

    for (int i = 0; i < codes; ++i) {
        const quint8 code = quint8(proof.firstCode + i);
        const int left = margin + (i % kCodesPerRow) * cellW;
        const int top = margin + titleH + (i / kCodesPerRow) * cellH;
        const qreal middle = top + glyphH / 2.0;

        const QString hex = QStringLiteral("%1").arg(int(code), 2, 16, QLatin1Char('0')).toUpper();
        text.draw(hex, 1.8 * p, left + codeW / 2.0, middle + 0.6 * p, kFaint);
        paintDotMatrix(painter, QPointF(left + codeW, top), glyphDots(font, FontTable::Font::Normal, code), style);
        paintDotMatrix(painter, QPointF(left + codeW + glyphW + p, top), glyphDots(font, FontTable::Font::Bold, code),
                       style);

        // The normal face's label; a bold label that says otherwise (a
        // glyph the bold face leaves empty) follows it after a slash.
        const QString normal = font.label(FontTable::Font::Normal, code);
        const QString bold = font.label(FontTable::Font::Bold, code);
        QString label = normal == bold ? normal : normal + QStringLiteral(" / ") + bold;
        const qreal labelX = left + codeW + 2 * glyphW + 2 * p + labelW / 2.0;
        if (!isNamedFontLabel(label) && label.size() == 1 && text.has(label) && writtenFontLabel(label).size() == 1) {
            text.draw(label, 5 * p, labelX, top + glyphH - 0.5 * p, kInk);
            continue;
        }
        if (normal == bold)
            label = writtenFontLabel(normal);
        else
            label = writtenFontLabel(normal) + QStringLiteral(" / ") + writtenFontLabel(bold);
        const qreal size = 1.5 * p;
        const QStringList lines = wrapped(label, text, size, labelW);
        qreal baseline = middle - (lines.size() - 1) * size * 0.6 + size * 0.4;
        for (const QString &line : lines) {
            text.draw(line, size, labelX, baseline, kInk);
            baseline += size * 1.2;
        }
    }
    return sheet;
}

} // namespace varlo
