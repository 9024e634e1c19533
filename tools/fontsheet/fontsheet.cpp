// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-fontsheet: draws both faces of a font as LED dots on one PNG, a 16 x
// 16 grid per face with the codes in hex along the edges, so that the glyphs
// can be reviewed by eye. docs/font-sheet.png is its output for the built-in
// font; given a .vlf font file it draws that.
//
//   QT_QPA_PLATFORM=offscreen varlo-fontsheet [--pitch N] [FONT.vlf] [OUTPUT.png]
//
// With --proof it draws a proof instead: every glyph in both faces beside its
// label set in DejaVu Sans (read from its file, see --typeface), code in hex,
// to check letter by letter that each glyph is the character its label names.
// tools/font-pictures.sh (make font-pictures) redraws every sheet and proof
// in docs/:
//
//   QT_QPA_PLATFORM=offscreen varlo-fontsheet --proof [--codes 80-FF] [FONT.vlf] [OUTPUT.png]

#include "charset/fontfile.h"
#include "proofsheet.h"
#include "display/ledrenderer.h"
#include "display/ledpainter.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

using namespace varlo;

namespace {

struct Layout
{
    int pitch; // dot pitch
    int cellW; // one glyph with its gap
    int cellH;
    int labelW; // row labels on the left
    int labelH; // column labels on top
    int titleH;
    int margin;
    int gridW; // labels plus 16 cells
    int gridH; // title, labels and 16 cells
};

Layout makeLayout(int pitch)
{
    Layout l{};
    l.pitch = pitch;
    l.cellW = FontTable::kGlyphBytes * pitch + 2 * pitch;
    l.cellH = FontTable::kGlyphRows * pitch + 2 * pitch;
    l.labelW = 6 * pitch;
    l.labelH = 3 * pitch;
    l.titleH = 5 * pitch;
    l.margin = 3 * pitch;
    l.gridW = l.labelW + 16 * l.cellW;
    l.gridH = l.titleH + l.labelH + 16 * l.cellH;
    return l;
}

void paintGrid(QPainter &painter, const Layout &l, QPoint origin, const FontFile &font, FontTable::Font face,
               const QString &title)
{
    const LedStyle style{.pitch = l.pitch};
    const QColor ink(220, 220, 220);
    const QColor faint(150, 150, 150);

    QFont titleFont(QStringLiteral("DejaVu Sans"));
    titleFont.setPixelSize(l.pitch * 5 / 2);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(ink);
    painter.drawText(QRect(origin.x(), origin.y(), l.gridW, l.titleH), Qt::AlignLeft | Qt::AlignVCenter, title);

    QFont labelFont(QStringLiteral("DejaVu Sans Mono"));
    labelFont.setPixelSize(l.pitch * 3 / 2 + 2);
    painter.setFont(labelFont);
    painter.setPen(faint);
    const int top = origin.y() + l.titleH;
    const int left = origin.x() + l.labelW;
    for (int i = 0; i < 16; ++i) {
        const QString digit = QString::number(i, 16).toUpper();
        painter.drawText(QRect(left + i * l.cellW, top, l.cellW - 2 * l.pitch, l.labelH), Qt::AlignCenter,
                         QStringLiteral("0x_") + digit);
        painter.drawText(QRect(origin.x(), top + l.labelH + i * l.cellH, l.labelW - l.pitch, l.cellH - 2 * l.pitch),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0x") + digit + QStringLiteral("_"));
    }

    for (int code = 0; code < FontTable::kGlyphCount; ++code) {
        const QPointF at(left + (code % 16) * l.cellW, top + l.labelH + (code / 16) * l.cellH);
        paintDotMatrix(painter, at, glyphDots(font, face, quint8(code)), style);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws both faces of a panel font as LED dots on one PNG: the built-in font, or the .vlf "
                       "font file given."));
    parser.addHelpOption();
    QCommandLineOption pitchOption(QStringLiteral("pitch"), QStringLiteral("Pixels between dot centres (4 to 40)."),
                                   QStringLiteral("N"), QStringLiteral("8"));
    parser.addOption(pitchOption);
    QCommandLineOption proofOption(QStringLiteral("proof"),
                                   QStringLiteral("Draw a proof: each glyph in both faces beside its label."));
    parser.addOption(proofOption);
    QCommandLineOption codesOption(
        QStringLiteral("codes"), QStringLiteral("With --proof, only the codes FIRST to LAST, in hex (default 00-FF)."),
        QStringLiteral("FIRST-LAST"), QStringLiteral("00-FF"));
    parser.addOption(codesOption);
    QCommandLineOption typefaceOption(
        QStringLiteral("typeface"), QStringLiteral("With --proof, the font file the labels are set in."),
        QStringLiteral("FILE"), QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    parser.addOption(typefaceOption);
    parser.addPositionalArgument(QStringLiteral("font"),
                                 QStringLiteral("Font file to draw (default: the built-in font)."),
                                 QStringLiteral("[FONT.vlf]"));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("PNG to write (default font-sheet.png)."),
                                 QStringLiteral("[OUTPUT.png]"));
    parser.process(app);

    bool ok = false;
    const int pitch = parser.value(pitchOption).toInt(&ok);
    if (!ok || pitch < 4 || pitch > 40) {
        QTextStream(stderr) << "varlo-fontsheet: --pitch takes a number from 4 to 40\n";
        return 2;
    }
    QStringList args = parser.positionalArguments();
    if (args.size() > 2) {
        parser.showHelp(2);
    }
    FontFile font = FontFile::builtIn();
    QString name; // the built-in font's sheet names no file
    if (!args.isEmpty() && args.first().endsWith(QLatin1String(".vlf"))) {
        const QString path = args.takeFirst();
        const FontFileRead read = readFontFilePath(path);
        for (const QString &warning : read.warnings)
            QTextStream(stderr) << path << ": warning: " << warning << '\n';
        if (!read.font) {
            QTextStream(stderr) << path << (read.errorLine > 0 ? QStringLiteral(":%1").arg(read.errorLine) : QString())
                                << ": error: " << read.error << '\n';
            return 1;
        }
        font = *read.font;
        name = QStringLiteral("  (%1)").arg(QFileInfo(path).fileName());
    }
    if (args.size() > 1) {
        parser.showHelp(2);
    }
    const QString output = args.isEmpty() ? QStringLiteral("font-sheet.png") : args.first();

    if (parser.isSet(proofOption)) {
        ProofSheet proof;
        proof.pitch = pitch;
        const QStringList range = parser.value(codesOption).split(QLatin1Char('-'));
        bool firstOk = false;
        bool lastOk = false;
        if (range.size() == 2) {
            proof.firstCode = range.at(0).toInt(&firstOk, 16);
            proof.lastCode = range.at(1).toInt(&lastOk, 16);
        }
        if (!firstOk || !lastOk || proof.firstCode > proof.lastCode || proof.lastCode > 255) {
            QTextStream(stderr) << "varlo-fontsheet: --codes takes two hex codes from 00 to FF, as 80-FF\n";
            return 2;
        }
        proof.typeface = loadProofTypeface(parser.value(typefaceOption));
        if (!proof.typeface.isValid()) {
            QTextStream(stderr) << "varlo-fontsheet: cannot read the typeface " << parser.value(typefaceOption)
                                << " (Debian: fonts-dejavu-core)\n";
            return 1;
        }
        proof.title = QStringLiteral("Proof: code, normal, bold, label")
            + (name.isEmpty() ? QStringLiteral("  (built-in)") : name);
        if (!paintProofSheet(font, proof).save(output, "PNG")) {
            QTextStream(stderr) << "varlo-fontsheet: cannot write " << output << '\n';
            return 1;
        }
        return 0;
    }

    const Layout l = makeLayout(pitch);
    QImage sheet(l.gridW + 2 * l.margin, 2 * l.gridH + 3 * l.margin, QImage::Format_RGB32);
    sheet.fill(QColor(16, 16, 16));
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::TextAntialiasing);
        paintGrid(painter, l, QPoint(l.margin, l.margin), font, FontTable::Font::Normal,
                  QStringLiteral("Font 0: normal") + name);
        paintGrid(painter, l, QPoint(l.margin, 2 * l.margin + l.gridH), font, FontTable::Font::Bold,
                  QStringLiteral("Font 1: bold") + name);
    }

    if (!sheet.save(output, "PNG")) {
        QTextStream(stderr) << "varlo-fontsheet: cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
