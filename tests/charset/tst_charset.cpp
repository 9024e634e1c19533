// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fonttable.h"
#include "display/ledrenderer.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>

using namespace varlo;
using Font = FontTable::Font;

namespace {

constexpr Font kFonts[] = {Font::Normal, Font::Bold};

QByteArray glyphBytes(Font font, int code)
{
    const FontTable::Glyph glyph = FontTable::glyph(font, quint8(code));
    return QByteArray(reinterpret_cast<const char *>(glyph.data()), int(glyph.size()));
}

bool glyphIsEmpty(Font font, int code)
{
    return glyphBytes(font, code).count('\0') == FontTable::kGlyphBytes;
}

int litDots(Font font, int code)
{
    int dots = 0;
    for (quint8 column : FontTable::glyph(font, quint8(code))) {
        dots += qPopulationCount(column);
    }
    return dots;
}

// Index of the rightmost column with a lit dot, or -1.
int lastColumn(Font font, int code)
{
    const FontTable::Glyph glyph = FontTable::glyph(font, quint8(code));
    for (int x = FontTable::kGlyphBytes - 1; x >= 0; --x) {
        if (glyph[size_t(x)] != 0) {
            return x;
        }
    }
    return -1;
}

const char *fontName(Font font)
{
    return font == Font::Bold ? "bold" : "normal";
}

// The codes that the character generator must hold identically in both fonts.
std::set<int> sharedCodes()
{
    std::set<int> codes{32, 46, 127, 167, 179, 221, 223, 255};
    for (int code = 0; code <= 31; ++code) {
        codes.insert(code);
    }
    return codes;
}

// The shapes that stand in for line drawing, blocks and shades.
enum class Stroke { Line, Bar, Dash, Cross, Other };

Stroke strokeOf(Font font, int code)
{
    // The lit columns, without the dark ones on either side.
    QByteArray run = glyphBytes(font, code);
    const qsizetype first = std::find_if(run.begin(), run.end(), [](char c) { return c != 0; }) - run.begin();
    while (!run.isEmpty() && run.back() == 0) {
        run.chop(1);
    }
    if (run.isEmpty()) {
        return Stroke::Other;
    }
    const bool fromLeftEdge = first == 0;
    run = run.mid(first);
    const auto allAre = [&run](quint8 value) {
        return std::all_of(run.begin(), run.end(), [value](char c) { return quint8(c) == value; });
    };

    if (fromLeftEdge && run.size() == 1 && quint8(run[0]) == 0x7F) {
        return Stroke::Bar; // column 0, rows 0 to 6
    }
    if (fromLeftEdge && run.size() >= 5 && allAre(0x40)) {
        return Stroke::Line; // row 6, from column 0 on
    }
    const quint8 arm = quint8(run[0]);
    if (qPopulationCount(arm) != 1) {
        return Stroke::Other;
    }
    if (run.size() >= 2 && run.size() <= 4 && arm != 0x40 && allAre(arm)) {
        return Stroke::Dash; // a few dots on one row
    }
    // A plus: arms of one dot on a row, the middle column a vertical stroke
    // through that row, as tall as the plus is wide.
    const qsizetype mid = run.size() / 2;
    const quint8 middle = quint8(run[mid]);
    bool plus =
        run.size() % 2 == 1 && run.size() >= 3 && (middle & arm) && qsizetype(qPopulationCount(middle)) == run.size();
    for (qsizetype x = 0; plus && x < run.size(); ++x) {
        plus = x == mid || quint8(run[x]) == arm;
    }
    return plus ? Stroke::Cross : Stroke::Other;
}

// A minimal well-formed glyph file: a comment line, then every code with an
// empty glyph. Glyph c's header is on line 2 + 8c and its rows follow it.
QByteArray glyphFile()
{
    QByteArray text = "// test glyphs\n";
    for (int code = 0; code < 256; ++code) {
        text += QByteArray("[") + QByteArray::number(code).rightJustified(3, '0') + "] g\n";
        for (int row = 0; row < 7; ++row) {
            text += "........\n";
        }
    }
    return text;
}

int headerLine(int code)
{
    return 2 + 8 * code;
}

// Replaces line `line` (1-based) of `text`.
QByteArray withLine(const QByteArray &text, int line, const QByteArray &replacement)
{
    QList<QByteArray> lines = text.split('\n');
    lines[line - 1] = replacement;
    return lines.join('\n');
}

QByteArray withoutLines(const QByteArray &text, int line, int count = 1)
{
    QList<QByteArray> lines = text.split('\n');
    lines.remove(line - 1, count);
    return lines.join('\n');
}

} // namespace

class TestCharset : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void givenGlyphs_data();
    void givenGlyphs();
    void imageLayout();
    void bit7ClearEverywhere();
    void normalCharactersWithinFiveColumns();
    void boldColumnSevenOnlyForNamedCodes();
    void picturesWithinSevenColumns();
    void pictureSizes_data();
    void pictureSizes();
    void arrowsOneRowHigher();
    void sharedCodesIdenticalInBothFonts();
    void emptyCodes();
    void boldHeavierThanNormal();
    void strokePlaces_data();
    void strokePlaces();

    void generatorErrors_data();
    void generatorErrors();
    void generatorWritesTable();
};

void TestCharset::givenGlyphs_data()
{
    QTest::addColumn<Font>("font");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray zero(8, '\0');
    for (Font font : kFonts) {
        for (int code : {0, 31, 32}) {
            QTest::addRow("%s code %d empty", fontName(font), code) << font << code << zero;
        }
        QTest::addRow("%s heart 15", fontName(font)) << font << 15 << QByteArray::fromHex("0E11214221110E00");
        QTest::addRow("%s heart 16", fontName(font)) << font << 16 << QByteArray::fromHex("0C12224422120C00");
        QTest::addRow("%s star 13", fontName(font)) << font << 13 << QByteArray::fromHex("0808146314080800");
        QTest::addRow("%s star 14", fontName(font)) << font << 14 << QByteArray::fromHex("0008083608080000");
    }
    QTest::newRow("code 1 frame with check") << Font::Normal << 1 << QByteArray::fromHex("7F41495149457F00");
    QTest::newRow("code 7 five filled columns") << Font::Normal << 7 << QByteArray::fromHex("7F5D5D5D5D5D7F00");
    QTest::newRow("normal A") << Font::Normal << 65 << QByteArray::fromHex("7C1211127C000000");
    QTest::newRow("bold A") << Font::Bold << 65 << QByteArray::fromHex("787C1613167C7800");
    QTest::newRow("normal slashed zero") << Font::Normal << 48 << QByteArray::fromHex("3E5149453E000000");
}

void TestCharset::givenGlyphs()
{
    QFETCH(Font, font);
    QFETCH(int, code);
    QFETCH(QByteArray, bytes);
    QCOMPARE(glyphBytes(font, code).toHex(' '), bytes.toHex(' '));
}

void TestCharset::imageLayout()
{
    // The table as the upload sends it, and as the panel's memory and the
    // renderer read it: the same layout through either view.
    const FontTable::Image bytes = FontTable::bytes();
    for (const QByteArrayView image : {FontTable::image(), QByteArrayView(bytes.data(), qsizetype(bytes.size()))}) {
        QCOMPARE(image.size(), 4096);
        // Slice 0 as the upload sends it: code 0, then code 1.
        QCOMPARE(image.first(16).toByteArray().toHex(' '),
                 QByteArray("00 00 00 00 00 00 00 00 7f 41 49 51 49 45 7f 00"));
        // The bold font starts at 2048: its "A" is at 2048 + 65 * 8.
        QCOMPARE(image.sliced(2048 + 65 * 8, 8).toByteArray().toHex(), QByteArray("787c1613167c7800"));
    }
    QCOMPARE(FontTable::glyph(Font::Bold, 255).data(), FontTable::bytes().data() + 4088);
}

void TestCharset::bit7ClearEverywhere()
{
    for (int i = 0; i < FontTable::kImageBytes; ++i) {
        QVERIFY2(FontTable::bytes()[size_t(i)] < 0x80, qPrintable(QStringLiteral("byte %1").arg(i)));
    }
}

void TestCharset::normalCharactersWithinFiveColumns()
{
    QList<int> wide;
    for (int code = 32; code < 256; ++code) {
        if (lastColumn(Font::Normal, code) > 4) {
            wide << code;
        }
    }
    QCOMPARE(wide, QList<int>{});
}

void TestCharset::boldColumnSevenOnlyForNamedCodes()
{
    QList<int> usingColumn7;
    for (int code = 0; code < 256; ++code) {
        if (lastColumn(Font::Bold, code) == 7) {
            usingColumn7 << code;
        }
    }
    QCOMPARE(usingColumn7, (QList<int>{35, 37, 47, 169, 199, 209}));
}

void TestCharset::picturesWithinSevenColumns()
{
    for (Font font : kFonts) {
        for (int code = 1; code <= 30; ++code) {
            QVERIFY2(lastColumn(font, code) <= 6, qPrintable(QStringLiteral("code %1").arg(code)));
        }
    }
}

void TestCharset::pictureSizes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QRect>("box"); // the lit dots' bounding box: columns x rows

    QTest::newRow("13 star 7 x 7") << 13 << QRect(0, 0, 7, 7);
    QTest::newRow("14 small star 5 x 5") << 14 << QRect(1, 1, 5, 5);
    QTest::newRow("15 heart rows 0 to 6") << 15 << QRect(0, 0, 7, 7);
    QTest::newRow("16 squat heart rows 1 to 6") << 16 << QRect(0, 1, 7, 6);
    QTest::newRow("23 plane, wings 7 rows") << 23 << QRect(0, 0, 7, 7);
    QTest::newRow("24 plane, wings 5 rows") << 24 << QRect(0, 1, 7, 5);
    QTest::newRow("27 disc 6 x 7") << 27 << QRect(0, 0, 6, 7);
    QTest::newRow("28 small disc 4 x 5") << 28 << QRect(1, 1, 4, 5);
    QTest::newRow("29 ring 6 x 7") << 29 << QRect(0, 0, 6, 7);
    QTest::newRow("30 small ring 4 x 5") << 30 << QRect(1, 1, 4, 5);
}

void TestCharset::pictureSizes()
{
    QFETCH(int, code);
    QFETCH(QRect, box);

    QRect lit;
    const DotMatrix dots = renderGlyph(Font::Normal, quint8(code));
    for (int y = 0; y < dots.height(); ++y) {
        for (int x = 0; x < dots.width(); ++x) {
            if (dots.lit(x, y)) {
                lit |= QRect(x, y, 1, 1);
            }
        }
    }
    QCOMPARE(lit, box);
}

void TestCharset::arrowsOneRowHigher()
{
    // 18 and 20 are the arrows of 17 and 19 moved up a row, shaft on row 2.
    for (int code : {17, 19}) {
        const FontTable::Glyph arrow = FontTable::glyph(Font::Normal, quint8(code));
        const FontTable::Glyph higher = FontTable::glyph(Font::Normal, quint8(code + 1));
        for (size_t x = 0; x < arrow.size(); ++x) {
            QCOMPARE(arrow[x] & 0x01, 0); // nothing is lost at the top
            QCOMPARE(higher[x], quint8(arrow[x] >> 1));
        }
        // The shaft: row 3 lit across the whole arrow.
        for (size_t x = 0; x < 7; ++x) {
            QVERIFY(arrow[x] & 0x08);
        }
    }
}

void TestCharset::sharedCodesIdenticalInBothFonts()
{
    QList<int> differing;
    for (int code : sharedCodes()) {
        if (glyphBytes(Font::Normal, code) != glyphBytes(Font::Bold, code)) {
            differing << code;
        }
    }
    QCOMPARE(differing, QList<int>{});
}

void TestCharset::emptyCodes()
{
    // Exactly these codes are empty; every other code shows something.
    const QList<int> normalEmpty{0, 10, 11, 12, 31, 32, 127, 223, 255};
    const QList<int> boldEmpty{0, 10, 11, 12, 31, 32, 127, 223, 251, 252, 253, 254, 255};
    for (Font font : kFonts) {
        QList<int> empty;
        for (int code = 0; code < 256; ++code) {
            if (glyphIsEmpty(font, code)) {
                empty << code;
            }
        }
        QCOMPARE(empty, font == Font::Bold ? boldEmpty : normalEmpty);
    }
}

void TestCharset::boldHeavierThanNormal()
{
    // Every printable character the bold font draws differently has more
    // lit dots than its normal form. The bars at the left edge stay one dot
    // wide, like 179.
    const std::set<int> shared = sharedCodes();
    const std::set<int> bars{180, 185, 186, 204};
    QList<int> notHeavier;
    for (int code = 33; code <= 250; ++code) {
        if (shared.count(code) || bars.count(code) || code == 127) {
            continue;
        }
        if (litDots(Font::Bold, code) <= litDots(Font::Normal, code)) {
            notHeavier << code;
        }
    }
    QCOMPARE(notHeavier, QList<int>{});
}

void TestCharset::strokePlaces_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<Stroke>("stroke");
    QTest::addColumn<bool>("bold"); // the bold font draws it too

    const auto add = [](std::initializer_list<int> codes, Stroke stroke, const char *name) {
        for (int code : codes) {
            QTest::addRow("%d %s", code, name) << code << stroke << true;
        }
    };
    add({176, 177, 178, 219, 220}, Stroke::Line, "line");
    add({179, 180, 185, 186, 204}, Stroke::Bar, "bar");
    add({193, 194, 196, 202, 203, 205}, Stroke::Dash, "dash");
    add({187, 188, 191, 192, 195, 197, 200, 201, 206, 217, 218}, Stroke::Cross, "cross");
    QTest::newRow("254 line, normal font only") << 254 << Stroke::Line << false;
}

void TestCharset::strokePlaces()
{
    QFETCH(int, code);
    QFETCH(Stroke, stroke);
    QFETCH(bool, bold);
    QCOMPARE(strokeOf(Font::Normal, code), stroke);
    if (bold) {
        QCOMPARE(strokeOf(Font::Bold, code), stroke);
    }
}

void TestCharset::generatorErrors_data()
{
    QTest::addColumn<QByteArray>("normal");
    QTest::addColumn<QByteArray>("bold");
    QTest::addColumn<QString>("where"); // "file:line:" that the message must start with
    QTest::addColumn<QString>("message"); // text the message must contain

    const QByteArray good = glyphFile();
    const int row0Of5 = headerLine(5) + 1;

    QTest::newRow("code missing") << withoutLines(good, headerLine(5), 8) << good
                                  << QStringLiteral("normal.txt:%1:").arg(headerLine(5))
                                  << QStringLiteral("[006] comes too early: expected [005]");
    QTest::newRow("code twice") << withLine(good, headerLine(5), "[004] again") << good
                                << QStringLiteral("normal.txt:%1:").arg(headerLine(5))
                                << QStringLiteral("[004] appears twice or out of order");
    QTest::newRow("row too short") << withLine(good, row0Of5 + 2, ".......") << good
                                   << QStringLiteral("normal.txt:%1:").arg(row0Of5 + 2)
                                   << QStringLiteral("row 2 of glyph [005] has 7 characters");
    QTest::newRow("row too long") << withLine(good, row0Of5, "........#") << good
                                  << QStringLiteral("normal.txt:%1:").arg(row0Of5)
                                  << QStringLiteral("has 9 characters");
    QTest::newRow("stray character") << withLine(good, row0Of5 + 6, "...x....") << good
                                     << QStringLiteral("normal.txt:%1:").arg(row0Of5 + 6)
                                     << QStringLiteral("column 3 is 'x'");
    QTest::newRow("six rows") << withoutLines(good, row0Of5 + 6) << good
                              << QStringLiteral("normal.txt:%1:").arg(headerLine(6) - 1)
                              << QStringLiteral("glyph [005] has 6 rows");
    QTest::newRow("header without label")
        << withLine(good, headerLine(0), "[000]") << good << QStringLiteral("normal.txt:%1:").arg(headerLine(0))
        << QStringLiteral("expected a glyph header");
    QTest::newRow("file ends early") << good.left(good.indexOf("[200]")) << good
                                     << QStringLiteral("normal.txt:%1:").arg(headerLine(200) - 1)
                                     << QStringLiteral("after 200 glyphs");
    QTest::newRow("text after the last glyph")
        << good + "[256] more\n"
        << good << QStringLiteral("normal.txt:%1:").arg(headerLine(256)) << QStringLiteral("after glyph [255]");
    QTest::newRow("fault in the bold file")
        << good << withLine(good, row0Of5, "#######") << QStringLiteral("bold.txt:%1:").arg(row0Of5)
        << QStringLiteral("has 7 characters");
}

void TestCharset::generatorErrors()
{
    QFETCH(QByteArray, normal);
    QFETCH(QByteArray, bold);
    QFETCH(QString, where);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto write = [&](const QString &name, const QByteArray &text) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    write(QStringLiteral("normal.txt"), normal);
    write(QStringLiteral("bold.txt"), bold);

    QProcess gen;
    gen.start(QStringLiteral(VARLO_FONTGEN_PATH),
              {dir.filePath(QStringLiteral("normal.txt")), dir.filePath(QStringLiteral("bold.txt")),
               dir.filePath(QStringLiteral("out.cpp"))});
    QVERIFY(gen.waitForFinished(10000));

    const QString errors = QString::fromUtf8(gen.readAllStandardError());
    QCOMPARE(gen.exitStatus(), QProcess::NormalExit);
    QCOMPARE(gen.exitCode(), 1);
    QVERIFY2(errors.startsWith(dir.filePath(where)), qPrintable(errors));
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.cpp"))));
}

void TestCharset::generatorWritesTable()
{
    // One drawn glyph in each file, written with CRLF line ends.
    QByteArray normal = glyphFile();
    const int a = headerLine(65);
    normal = withLine(normal, a + 1, "..#.....");
    normal = withLine(normal, a + 2, ".#.#....");
    normal = withLine(normal, a + 3, "#...#...");
    normal = withLine(normal, a + 5, "#####...");
    QByteArray bold = withLine(glyphFile(), headerLine(255) + 7, "#######.");
    bold.replace("\n", "\r\n");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const auto &[name, text] : {std::pair{"normal.txt", normal}, std::pair{"bold.txt", bold}}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QProcess gen;
    gen.start(QStringLiteral(VARLO_FONTGEN_PATH),
              {dir.filePath(QStringLiteral("normal.txt")), dir.filePath(QStringLiteral("bold.txt")),
               dir.filePath(QStringLiteral("out.cpp"))});
    QVERIFY(gen.waitForFinished(10000));
    QCOMPARE(gen.exitCode(), 0);

    QFile out(dir.filePath(QStringLiteral("out.cpp")));
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QByteArray source = out.readAll();
    QVERIFY(source.contains("const unsigned char kImage[FontTable::kImageBytes] = {"));
    // The dots drawn above, as column bytes; then the last bold glyph, lit
    // on its bottom row only.
    QVERIFY(source.contains("0x14, 0x12, 0x11, 0x12, 0x14, 0x00, 0x00, 0x00, // [065] 'g'"));
    QVERIFY(source.contains("0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x00, // [255] 'g'"));
    QCOMPARE(source.count("// ["), 512);
    // The labels follow, every byte an octal escape: 'g' is \147.
    QCOMPARE(source.count("\"\\147\", // label of ["), 512);
}

QTEST_GUILESS_MAIN(TestCharset)
#include "tst_charset.moc"
