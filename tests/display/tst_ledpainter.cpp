// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ledpainter.h"

#include "model/messageblock.h"

#include <QPainter>
#include <QTest>

using namespace varlo;

class TestLedPainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void litDarkAndGap();
    void copiesMatchPaintedDots_data();
    void copiesMatchPaintedDots();
};

void TestLedPainter::litDarkAndGap()
{
    DotMatrix dots(2, 7);
    dots.setLit(0, 0);
    dots.setLit(1, 6);

    LedStyle style;
    style.pitch = 12;
    const QImage picture = renderLedPicture(dots, style);
    QCOMPARE(picture.size(), QSize(24, 84));

    const auto at = [&](int x, int y) { return picture.pixelColor(x, y); };
    const auto centre = [&](int dotX, int dotY) { return at(dotX * 12 + 6, dotY * 12 + 6); };

    // Lit dots are bright red, dark dots a dim red, the board between them
    // is the background.
    for (QColor lit : {centre(0, 0), centre(1, 6)}) {
        QVERIFY2(lit.red() > 200 && lit.red() > lit.green(), qPrintable(lit.name()));
    }
    for (QColor dark : {centre(1, 0), centre(0, 6)}) {
        QVERIFY2(dark.red() >= 40 && dark.red() < 120 && dark.green() < 40, qPrintable(dark.name()));
    }
    QCOMPARE(at(0, 0), style.background);
    QCOMPARE(at(12, 12), style.background);
}

namespace {

// The picture as each dot painted in place gives it: the reference that the
// copied dot images must match.
QImage paintedDotByDot(const DotMatrix &dots, const LedStyle &style, qreal devicePixelRatio)
{
    const QSize size = ledPictureSize(dots, style) * devicePixelRatio;
    QImage picture(size, QImage::Format_RGB32);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(style.background);
    QPainter painter(&picture);
    paintDotMatrix(painter, QPointF(0, 0), dots, style);
    return picture;
}

// Bold and flashing cells between plain ones, the flash phase as given.
DotMatrix mixedCells(bool phaseOn, int height)
{
    const std::vector<LedCell> cells{
        {'V', block::kAttributeBold},
        {'a', 0},
        {'r', block::kAttributeFlash},
        {'l', block::kAttributeBold | block::kAttributeFlash},
        {'o', 0},
        {0x7F, block::kAttributeBold},
        {'W', 0},
    };
    return renderCells(cells, phaseOn, height);
}

} // namespace

void TestLedPainter::copiesMatchPaintedDots_data()
{
    QTest::addColumn<int>("pitch");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<bool>("phaseOn");
    QTest::addColumn<int>("height");

    // The Preview's smallest and largest pitch, its default, odd pitches
    // whose dot centres fall on half pixels, and a doubled pixel ratio.
    QTest::newRow("pitch 3") << 3 << 1.0 << true << 7;
    QTest::newRow("pitch 8 flash dark") << 8 << 1.0 << false << 7;
    QTest::newRow("pitch 10 full cell") << 10 << 1.0 << true << 8;
    QTest::newRow("pitch 13") << 13 << 1.0 << true << 7;
    QTest::newRow("pitch 40") << 40 << 1.0 << true << 7;
    QTest::newRow("pitch 7 ratio 2") << 7 << 2.0 << true << 7;
    QTest::newRow("pitch 8 ratio 2 flash dark") << 8 << 2.0 << false << 8;
}

void TestLedPainter::copiesMatchPaintedDots()
{
    QFETCH(int, pitch);
    QFETCH(qreal, ratio);
    QFETCH(bool, phaseOn);
    QFETCH(int, height);

    LedStyle style;
    style.pitch = pitch;
    const DotMatrix dots = mixedCells(phaseOn, height);
    const QImage expected = paintedDotByDot(dots, style, ratio);
    const LedDotImages images(style, ratio);
    const QImage copied = images.render(dots);
    QCOMPARE(copied.devicePixelRatio(), ratio);
    QCOMPARE(copied.size(), expected.size());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (copied.pixel(x, y) != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3, painted %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(copied.pixel(x, y), 8, 16)
                                     .arg(expected.pixel(x, y), 8, 16)));
        }
    }
    // The default picture is the same copies at ratio 1.
    if (ratio == 1.0)
        QCOMPARE(renderLedPicture(dots, style), expected);
}

QTEST_MAIN(TestLedPainter)
#include "tst_ledpainter.moc"
