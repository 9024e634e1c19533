// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fonttable.h"
#include "display/ledrenderer.h"
#include "display/panelscroller.h"
#include "display/panelshow.h"
#include "model/messageblock.h"

#include <QTest>

#include <algorithm>

using namespace varlo;
using Font = FontTable::Font;

namespace {

// The columns of a row of dots as hex bytes, "7C 12 11 ...".
QString columnsHex(const DotMatrix &dots)
{
    QStringList hex;
    for (int x = 0; x < dots.width(); ++x) {
        hex << QString::asprintf("%02X", dots.column(x));
    }
    return hex.join(' ');
}

std::vector<LedCell> ledCells(const QByteArray &codes, const QByteArray &attributes)
{
    std::vector<LedCell> cells;
    for (qsizetype k = 0; k < codes.size(); ++k)
        cells.push_back({quint8(codes[k]), quint8(k < attributes.size() ? attributes[k] : 0)});
    return cells;
}

} // namespace

class TestDisplay : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Glyphs and cells as LED dots.
    void glyphDots();
    void cellRows_data();
    void cellRows();
    void messageBlockRow();
    void dotMatrixEdges();

    // Scrolling, and the slots in turn.
    void speedTable_data();
    void speedTable();
    void flashPhase();
    void scrolling_data();
    void scrolling();
    void passLength_data();
    void passLength();
    void loadedGlyphs();
    void showRunsSlotsInTurn();
    void emptyShowIsDark();

    // When a front end must look again, and the strip it draws from.
    void nextChange_data();
    void nextChange();
    void showNextChange();
    void stripHoldsEveryFrame_data();
    void stripHoldsEveryFrame();
};

void TestDisplay::glyphDots()
{
    // Normal "A" as rows of dots: bit r of a column is row r, column 0 left.
    const DotMatrix dots = renderGlyph(Font::Normal, 'A');
    QCOMPARE(dots.width(), 8);
    QCOMPARE(dots.height(), 7);
    const char *rows[] = {"..#.....", ".#.#....", "#...#...", "#...#...", "#####...", "#...#...", "#...#..."};
    for (int y = 0; y < 7; ++y) {
        QString row;
        for (int x = 0; x < 8; ++x) {
            row += dots.lit(x, y) ? QLatin1Char('#') : QLatin1Char('.');
        }
        QCOMPARE(row, QString::fromLatin1(rows[y]));
    }
    QCOMPARE(renderGlyph(Font::Normal, 'A', 8).height(), 8);
}

void TestDisplay::cellRows_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<bool>("phaseOn");
    QTest::addColumn<QString>("columns");

    const QString a = QStringLiteral("7C 12 11 12 7C 00"); // 5 columns and a gap
    const QString boldA = QStringLiteral("78 7C 16 13 16 7C 78 00");
    const QString blank6 = QStringLiteral("00 00 00 00 00 00");

    QTest::newRow("no cells") << QByteArray() << QByteArray() << true << QString();
    QTest::newRow("letter, space, bold letter")
        << QByteArray("A A") << QByteArray("\x00\x00\x10", 3) << true << a + " 00 00 00 " + boldA;
    QTest::newRow("bold space is 4 wide")
        << QByteArray(" A") << QByteArray("\x10\x00", 2) << true << "00 00 00 00 " + a;
    QTest::newRow("flash lit in the on phase") << QByteArray("AA") << QByteArray("\x01\x00", 2) << true << a + ' ' + a;
    QTest::newRow("flash dark in the off phase, width kept")
        << QByteArray("AA") << QByteArray("\x01\x00", 2) << false << blank6 + ' ' + a;
    QTest::newRow("bold flash dark in the off phase")
        << QByteArray("A") << QByteArray("\x11") << false << QStringLiteral("00 00 00 00 00 00 00 00");
    QTest::newRow("plain cells ignore the phase") << QByteArray("A") << QByteArray(1, 0) << false << a;
    QTest::newRow("picture keeps its leading dark column")
        << QByteArray("\x0E") << QByteArray(1, 0) << true << QStringLiteral("00 08 08 36 08 08 00");
    QTest::newRow("blank of ~R takes the space width") << QByteArray("\x1F"
                                                                     "A")
                                                       << QByteArray(2, 0) << true << "00 00 00 " + a;
}

void TestDisplay::cellRows()
{
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, attributes);
    QFETCH(bool, phaseOn);
    QFETCH(QString, columns);

    std::vector<LedCell> cells;
    for (int k = 0; k < codes.size(); ++k) {
        cells.push_back({quint8(codes[k]), quint8(attributes[k])});
    }
    const DotMatrix dots = renderCells(cells, phaseOn);
    QCOMPARE(dots.height(), 7);
    QCOMPARE(columnsHex(dots), columns);
}

void TestDisplay::messageBlockRow()
{
    // "A", bold "A" and the star picture; the cells past the count stay out.
    const MessageBlock block = encodeMessageBlock("A~BA~+");
    QCOMPARE(columnsHex(renderMessageBlock(block, true)),
             QStringLiteral("7C 12 11 12 7C 00 78 7C 16 13 16 7C 78 00 08 08 14 63 14 08 08 00"));
}

void TestDisplay::dotMatrixEdges()
{
    DotMatrix dots(3, 7);
    dots.setColumn(1, 0xFF); // row 7 does not exist in a 7-row grid
    QCOMPARE(dots.column(1), quint8(0x7F));
    QVERIFY(dots.lit(1, 6));
    QVERIFY(!dots.lit(1, 7));
    QVERIFY(!dots.lit(-1, 0));
    QVERIFY(!dots.lit(3, 0));
    dots.setLit(1, 3, false);
    QCOMPARE(dots.column(1), quint8(0x77));

    DotMatrix tall(1, 8);
    tall.setColumn(0, 0xFF);
    QVERIFY(tall.lit(0, 7));
}

void TestDisplay::speedTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("dotsPerSecond");

    QTest::newRow("code 0") << 0 << "SLOW" << 10;
    QTest::newRow("code 1") << 1 << "NORMAL" << 16;
    QTest::newRow("code 2") << 2 << "FAST" << 25;
    QTest::newRow("code 3") << 3 << "FASTER" << 40;
    QTest::newRow("code 4") << 4 << "FASTEST" << 60;
    QTest::newRow("code 5 runs at the fastest") << 5 << "FASTEST" << 60;
    QTest::newRow("code 255 runs at the fastest") << 255 << "FASTEST" << 60;
}

void TestDisplay::speedTable()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QFETCH(int, dotsPerSecond);

    const ScrollSpeed &speed = scrollSpeedFor(quint8(code));
    QCOMPARE(QString::fromLatin1(speed.name), name);
    QCOMPARE(speed.dotsPerSecond, dotsPerSecond);
    QCOMPARE(int(speed.code), std::min(code, 4));
}

void TestDisplay::flashPhase()
{
    const int half = display::kFlashHalfPeriodMs;
    QVERIFY(flashPhaseOn(0));
    QVERIFY(flashPhaseOn(half - 1));
    QVERIFY(!flashPhaseOn(half));
    QVERIFY(!flashPhaseOn(2 * half - 1));
    QVERIFY(flashPhaseOn(2 * half));
    QVERIFY(!flashPhaseOn(3 * half));
    QVERIFY(flashPhaseOn(-1));
}

void TestDisplay::scrolling_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("speedCode");
    QTest::addColumn<int>("elapsedMs");
    QTest::addColumn<QString>("columns"); // of an 8-dot display

    // Normal "A" is 7C 12 11 12 7C and a dark column; bold "A" is
    // 78 7C 16 13 16 7C 78 and a dark column.
    const QByteArray a("A");
    const QByteArray plain(1, 0);
    QTest::newRow("dark at the start") << a << plain << 0 << 0 << "00 00 00 00 00 00 00 00";
    QTest::newRow("SLOW: first column at the right edge after 100 ms")
        << a << plain << 0 << 100 << "00 00 00 00 00 00 00 7C";
    QTest::newRow("SLOW: one step short of the second column") << a << plain << 0 << 199 << "00 00 00 00 00 00 00 7C";
    QTest::newRow("FASTEST: five steps after 84 ms") << a << plain << 4 << 84 << "00 00 00 7C 12 11 12 7C";
    QTest::newRow("FAST: at the left edge after 8 steps") << a << plain << 2 << 320 << "7C 12 11 12 7C 00 00 00";
    QTest::newRow("SLOW: last lit column at the left edge") << a << plain << 0 << 1200 << "7C 00 00 00 00 00 00 00";
    QTest::newRow("SLOW: gone after the pass") << a << plain << 0 << 1400 << "00 00 00 00 00 00 00 00";
    QTest::newRow("bold is drawn from the bold font")
        << a << QByteArray("\x10") << 2 << 320 << "78 7C 16 13 16 7C 78 00";
    QTest::newRow("bold letter is wider: second cell further right")
        << QByteArray("AA") << QByteArray("\x10\x00", 2) << 0 << 1500 << "00 7C 12 11 12 7C 00 00";
    QTest::newRow("flash lit in the first half period")
        << a << QByteArray("\x01") << 0 << 400 << "00 00 00 00 7C 12 11 12";
    QTest::newRow("flash dark in the second half period, still scrolling")
        << QByteArray("AA") << QByteArray("\x01\x00", 2) << 0 << 900 << "00 00 00 00 00 7C 12 11";
    QTest::newRow("flash lit again after a period")
        << a << QByteArray("\x01") << 0 << 1000 << "11 12 7C 00 00 00 00 00";
}

void TestDisplay::scrolling()
{
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, attributes);
    QFETCH(int, speedCode);
    QFETCH(int, elapsedMs);
    QFETCH(QString, columns);

    const PanelScroller scroller(ledCells(codes, attributes), quint8(speedCode), FontTable::bytes(), 8);
    const DotMatrix frame = scroller.frameAt(elapsedMs);
    QCOMPARE(frame.height(), display::kHeightDots);
    QCOMPARE(columnsHex(frame), columns);
}

void TestDisplay::passLength_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<int>("speedCode");
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<qint64>("passMs");

    // A normal letter is 6 dots with its gap; 80 + width steps at the rate.
    // Normal H is 6 dots with its gap, I 5; bold H 7, bold I 6; the heart,
    // never bold, 8.
    QTest::newRow("HI at SLOW") << QByteArray("HI") << 0 << 11 << qint64(9100);
    QTest::newRow("HI at NORMAL, rounded up") << QByteArray("HI") << 1 << 11 << qint64(5688);
    QTest::newRow("bold HI~H at FASTEST") << QByteArray("~BHI~H") << 4 << 21 << qint64(1684);
    QTest::newRow("no cells still crosses the display") << QByteArray("~B") << 3 << 0 << qint64(2000);
}

void TestDisplay::passLength()
{
    QFETCH(QByteArray, markup);
    QFETCH(int, speedCode);
    QFETCH(int, textWidth);
    QFETCH(qint64, passMs);

    const PanelScroller scroller = PanelScroller::fromBlock(encodeMessageBlock(markup), quint8(speedCode));
    QCOMPARE(scroller.widthDots(), display::kWidthDots);
    QCOMPARE(scroller.textWidthDots(), textWidth);
    QCOMPARE(scroller.stepCount(), display::kWidthDots + textWidth);
    QCOMPARE(scroller.passDurationMs(), passMs);
    QCOMPARE(scroller.stepAt(passMs), scroller.stepCount());
    QCOMPARE(scroller.stepAt(passMs - 1), scroller.stepCount() - 1);
    // The still is the text from its start at the left edge, then dark.
    const DotMatrix still = scroller.still();
    for (int x = 0; x < still.width(); ++x)
        QCOMPARE(still.column(x), scroller.text().column(x));
}

void TestDisplay::loadedGlyphs()
{
    // A character generator whose "A" is one lit column at its very right
    // end: the cell is 8 columns wide, and the dots are the loaded ones.
    std::array<quint8, FontTable::kImageBytes> loaded{};
    std::copy(FontTable::bytes().begin(), FontTable::bytes().end(), loaded.begin());
    std::fill_n(loaded.begin() + FontTable::offset(Font::Normal, 'A'), FontTable::kGlyphBytes, 0);
    loaded[size_t(FontTable::offset(Font::Normal, 'A') + 6)] = 0x41;

    const PanelScroller scroller(ledCells("AA", {}), 0, loaded, 16);
    QCOMPARE(scroller.textWidthDots(), 16);
    QCOMPARE(columnsHex(scroller.still()), QStringLiteral("00 00 00 00 00 00 41 00 00 00 00 00 00 00 41 00"));
    // The built-in fonts are untouched.
    QCOMPARE(cellWidthOf(Font::Normal, 'A'), 6);
}

void TestDisplay::showRunsSlotsInTurn()
{
    PanelShow show(8);
    show.append(2, PanelScroller(ledCells("A", {}), 4, FontTable::bytes(), 8)); // 14 steps at 60: 234 ms
    show.append(5, PanelScroller(ledCells("AA", {}), 0, FontTable::bytes(), 8)); // 20 steps at 10: 2000 ms
    QCOMPARE(show.cycleDurationMs(), 2234);

    const auto moment = [&](qint64 ms) {
        const PanelShow::Moment m = show.momentAt(ms);
        return QStringLiteral("%1 %2 %3").arg(m.item).arg(m.slot).arg(m.itemElapsedMs);
    };
    QCOMPARE(moment(0), QStringLiteral("0 2 0"));
    QCOMPARE(moment(233), QStringLiteral("0 2 233"));
    QCOMPARE(moment(234), QStringLiteral("1 5 0"));
    QCOMPARE(moment(2233), QStringLiteral("1 5 1999"));
    QCOMPARE(moment(2234 + 10), QStringLiteral("0 2 10"));

    // The second slot's frames, on its own clock.
    QCOMPARE(columnsHex(show.frameAt(234 + 100)), QStringLiteral("00 00 00 00 00 00 00 7C"));
    QCOMPARE(columnsHex(show.frameAt(234 + 800)), QStringLiteral("7C 12 11 12 7C 00 7C 12"));
}

void TestDisplay::emptyShowIsDark()
{
    const PanelShow show;
    QVERIFY(show.isEmpty());
    QCOMPARE(show.momentAt(500).item, -1);
    const DotMatrix frame = show.frameAt(500);
    QCOMPARE(frame.width(), display::kWidthDots);
    QCOMPARE(frame, DotMatrix(display::kWidthDots, display::kHeightDots));
}

void TestDisplay::nextChange_data()
{
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("speedCode");

    QTest::newRow("plain, fastest") << QByteArray("HELLO") << QByteArray() << 4;
    QTest::newRow("flash, slowest") << QByteArray("AB") << QByteArray("\x01\x01") << 0;
    QTest::newRow("flash, normal") << QByteArray("A B") << QByteArray("\x00\x11\x00") << 1;
    QTest::newRow("no cells") << QByteArray() << QByteArray() << 2;
}

void TestDisplay::nextChange()
{
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, attributes);
    QFETCH(int, speedCode);

    const PanelScroller scroller(ledCells(codes, attributes), quint8(speedCode));
    QCOMPARE(scroller.hasFlash(), attributes.contains('\x01') || attributes.contains('\x11'));
    // What may change the display: the step, and the flash phase of a text
    // with flash cells. Walking back from the end of the pass gives, for
    // every millisecond, the first later one at which either differs.
    const auto state = [&](qint64 ms) {
        return std::pair(scroller.stepAt(ms), scroller.hasFlash() && flashPhaseOn(ms));
    };
    const qint64 pass = scroller.passDurationMs();
    qint64 next = pass;
    for (qint64 ms = pass - 1; ms >= 0; --ms) {
        if (state(ms) != state(ms + 1))
            next = ms + 1;
        if (scroller.nextChangeMs(ms) != next)
            QFAIL(qPrintable(QStringLiteral("at %1 ms: next change at %2 ms, expected %3 ms")
                                 .arg(ms)
                                 .arg(scroller.nextChangeMs(ms))
                                 .arg(next)));
        // Nothing shows in between.
        QCOMPARE(scroller.frameAt(next - 1), scroller.frameAt(ms));
    }
    // Past the pass, still always later.
    QVERIFY(scroller.nextChangeMs(pass + 5) > pass + 5);
}

void TestDisplay::showNextChange()
{
    PanelShow show(8);
    QCOMPARE(show.nextChangeMs(0), -1); // nothing runs, nothing changes
    show.append(2, PanelScroller(ledCells("A", {}), 4, FontTable::bytes(), 8)); // 14 steps at 60: 234 ms
    show.append(5, PanelScroller(ledCells("A", "\x01"), 0, FontTable::bytes(), 8)); // 14 steps at 10: 1400 ms
    QCOMPARE(show.cycleDurationMs(), 1634);

    QCOMPARE(show.nextChangeMs(0), 17); // the first step at 60 a second
    QCOMPARE(show.nextChangeMs(230), 234); // the next slot begins
    QCOMPARE(show.nextChangeMs(234), 234 + 100); // its first step at 10 a second
    // Its flash cells blink on its own clock: lit from 234, dark at 734.
    QCOMPARE(show.nextChangeMs(234 + 450), 234 + 500);
    QCOMPARE(show.nextChangeMs(1633), 1634); // round again
    QCOMPARE(show.nextChangeMs(1634 + 1), 1634 + 17);
}

void TestDisplay::stripHoldsEveryFrame_data()
{
    QTest::addColumn<int>("widthDots");
    QTest::newRow("80 dots") << 80;
    QTest::newRow("narrower than a letter") << 4;
}

void TestDisplay::stripHoldsEveryFrame()
{
    QFETCH(int, widthDots);
    const PanelScroller scroller(ledCells("V~o", QByteArray("\x10\x01\x11")), 3, FontTable::bytes(), widthDots);
    for (const bool phaseOn : {true, false}) {
        const DotMatrix strip = scroller.strip(phaseOn);
        QCOMPARE(strip.width(), 2 * widthDots + scroller.textWidthDots());
        for (int step = 0; step < scroller.stepCount(); ++step) {
            const DotMatrix frame = scroller.frameAtStep(step, phaseOn);
            for (int x = 0; x < widthDots; ++x)
                QCOMPARE(strip.column(step + x), frame.column(x));
        }
    }
}

QTEST_GUILESS_MAIN(TestDisplay)
#include "tst_display.moc"
