// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ledpainter.h"

#include <QTest>

using namespace varlo;

class TestLedPainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void litDarkAndGap();
};

void TestLedPainter::litDarkAndGap()
{
    DotMatrix dots(2, 7);
    dots.setLit(0, 0);
    dots.setLit(1, 6);

    LedStyle style;
    style.pitch = 12;
    const QImage picture = RenderLedPicture(dots, style);
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

QTEST_MAIN(TestLedPainter)
#include "tst_ledpainter.moc"
