// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontfile.h"
#include "charset/panelcharmap.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>

using namespace varlo;
using Font = FontTable::Font;

namespace {

const QByteArray &builtInText()
{
    static const QByteArray text = fontFileText(FontFile::builtIn());
    return text;
}

// The built-in font's text with line `lineNo` (1 first) replaced.
QByteArray withLine(int lineNo, const QByteArray &replacement)
{
    QByteArrayList lines = builtInText().split('\n');
    lines[lineNo - 1] = replacement;
    return lines.join('\n');
}

QByteArray withoutLine(int lineNo)
{
    QByteArrayList lines = builtInText().split('\n');
    lines.removeAt(lineNo - 1);
    return lines.join('\n');
}

// The line of the header of `code` in the face: "face normal", then for
// each glyph a blank line, the header and 7 rows; a blank line before
// "face bold".
int headerLine(Font face, int code)
{
    const int faceLine = face == Font::Normal ? 1 : 1 + 256 * 9 + 2;
    return faceLine + 2 + code * 9;
}

} // namespace

class TestFontFile : public QObject
{
    Q_OBJECT

private slots:
    void builtInRoundTripsByteForByte();
    void commentAtTheTopIsKept();
    void builtInLabelsGiveTheCharacterMap();
    void glyphsAsDrawn();
    void labels_data();
    void labels();
    void readErrors_data();
    void readErrors();
    void quotedLinesAreEscapedAndCut_data();
    void quotedLinesAreEscapedAndCut();
    void warnings();
    void saveReplacesWholeFileOrNothing();
    void unreadablePaths_data();
    void unreadablePaths();
    void shippedFonts_data();
    void shippedFonts();
    void cyrillicKeepsCodePage866Letters();
    void shippedBoxDrawingJoinsAcrossCells_data();
    void shippedBoxDrawingJoinsAcrossCells();
};

void TestFontFile::builtInRoundTripsByteForByte()
{
    const FontFile builtIn = FontFile::builtIn();
    QCOMPARE(builtIn.image(), FontTable::image().toByteArray());

    const FontFileRead read = readFontFile(builtInText());
    QVERIFY2(read.font, qPrintable(read.errorText()));
    QCOMPARE(read.warnings, QStringList());
    QVERIFY(*read.font == builtIn);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("built-in.vlf"));
    QCOMPARE(saveFontFile(path, *read.font), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), builtInText());
}

void TestFontFile::commentAtTheTopIsKept()
{
    const QByteArray text = "// Cyrillic letters in 128 to 255\n// drawn dot by dot\n" + builtInText();
    const FontFileRead read = readFontFile(text);
    QVERIFY2(read.font, qPrintable(read.errorText()));
    QCOMPARE(read.font->comment().size(), 2);
    QCOMPARE(fontFileText(*read.font), text);
}

// The slot edit boxes show every code as its label; the built-in font's
// labels are what they show, and a glyph the panel draws as no character
// (an icon, a plain stroke where the code page has a block or a line) has a
// name and a stand-in of its own.
void TestFontFile::builtInLabelsGiveTheCharacterMap()
{
    const FontFile builtIn = FontFile::builtIn();
    QVERIFY(builtIn.charTable() == PanelCharMap::builtInTable());
    const auto isEmpty = [&builtIn](Font face, int code) {
        const FontTable::Glyph glyph = builtIn.glyph(face, quint8(code));
        return std::all_of(glyph.begin(), glyph.end(), [](quint8 column) { return column == 0; });
    };
    for (int code = 0; code < 256; ++code) {
        const QString normal = builtIn.label(Font::Normal, quint8(code));
        const QString shown(PanelCharMap::builtIn().toChar(quint8(code)));
        const QString where = QStringLiteral("%1: %2, the map shows %3").arg(code).arg(normal, shown);
        if (code < 0x20 || code == 0x7F)
            QVERIFY2(isNamedFontLabel(normal), qPrintable(where));
        else if (isNamedFontLabel(normal))
            QVERIFY2(shown.front().unicode() == PanelCharMap::kNamedStandIn + code, qPrintable(where));
        else
            QVERIFY2(normal == shown, qPrintable(where));
        // The faces agree on what a code is, except where the bold face
        // leaves a glyph empty; an empty glyph is a blank or a name.
        const QString bold = builtIn.label(Font::Bold, quint8(code));
        for (Font face : {Font::Normal, Font::Bold}) {
            const QString &label = face == Font::Normal ? normal : bold;
            if (isEmpty(face, code))
                QVERIFY2(isNamedFontLabel(label) || label.front().isSpace(), qPrintable(where));
        }
        if (bold != normal)
            QVERIFY2(bold == QStringLiteral("(empty)") && isEmpty(Font::Bold, code) && !isEmpty(Font::Normal, code),
                     qPrintable(QStringLiteral("%1: bold %2").arg(code).arg(bold)));
    }
}

void TestFontFile::glyphsAsDrawn()
{
    // Normal A: 7C 12 11 12 7C 00 00 00; the file draws it row by row.
    const int header = headerLine(Font::Normal, 65);
    QCOMPARE(builtInText().split('\n').at(header - 1), QByteArray("[065] A"));
    QCOMPARE(builtInText().split('\n').at(header), QByteArray("..#....."));
    // Light the bottom-right dot that column 7 can hold: byte 7 becomes 0x40.
    const FontFileRead read = readFontFile(withLine(header + 7, "#...#..#"));
    QVERIFY2(read.font, qPrintable(read.errorText()));
    const FontTable::Glyph a = read.font->glyph(Font::Normal, 65);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(a.data()), 8), QByteArray::fromHex("7C1211127C000040"));
}

void TestFontFile::labels_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("label"); // empty: refused
    QTest::addColumn<QString>("writtenAgain");

    QTest::newRow("letter") << QStringLiteral("Ж") << QStringLiteral("Ж") << QStringLiteral("Ж");
    QTest::newRow("opening bracket alone") << QStringLiteral("(") << QStringLiteral("(") << QStringLiteral("(");
    QTest::newRow("name") << QStringLiteral("(heart)") << QStringLiteral("(heart)") << QStringLiteral("(heart)");
    QTest::newRow("code point") << QStringLiteral("U+0416") << QStringLiteral("Ж") << QStringLiteral("Ж");
    QTest::newRow("space by number") << QStringLiteral("U+0020") << QStringLiteral(" ") << QStringLiteral("U+0020");
    QTest::newRow("space itself") << QStringLiteral(" ") << QStringLiteral(" ") << QStringLiteral("U+0020");
    QTest::newRow("no-break space") << QStringLiteral("U+00a0") << QStringLiteral("\u00A0") << QStringLiteral("U+00A0");
    QTest::newRow("two characters") << QStringLiteral("AB") << QString() << QString();
    QTest::newRow("trailing space") << QStringLiteral("A ") << QString() << QString();
    QTest::newRow("empty brackets") << QStringLiteral("()") << QString() << QString();
    QTest::newRow("control character") << QStringLiteral("U+0007") << QString() << QString();
    QTest::newRow("beyond U+FFFF") << QStringLiteral("\U0001F600") << QString() << QString();
    QTest::newRow("stand-in of named codes") << QStringLiteral("U+E041") << QString() << QString();
}

void TestFontFile::labels()
{
    QFETCH(QString, written);
    QFETCH(QString, label);
    QFETCH(QString, writtenAgain);
    QString why;
    const std::optional<QString> parsed = parseFontLabel(written, &why);
    if (label.isEmpty()) {
        QVERIFY(!parsed);
        QVERIFY(!why.isEmpty());
        return;
    }
    QVERIFY2(parsed, qPrintable(why));
    QCOMPARE(*parsed, label);
    QCOMPARE(writtenFontLabel(*parsed), writtenAgain);
}

void TestFontFile::readErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("fragment");

    const int a = headerLine(Font::Normal, 65);
    const int boldB = headerLine(Font::Bold, 66);
    const int boldFace = headerLine(Font::Bold, 0) - 2;
    QTest::newRow("no face line") << withLine(1, "") << 3 << QStringLiteral("\"face normal\"");
    QTest::newRow("unknown face") << withLine(boldFace, "face italic") << boldFace << QStringLiteral("face italic");
    QTest::newRow("bold face twice") << builtInText() + "face bold\n"
                                     << builtInText().count('\n') + 1 << QStringLiteral("twice");
    QTest::newRow("code missing") << withLine(a, "[066] B") << a << QStringLiteral("expected [065]");
    QTest::newRow("code out of order") << withLine(a, "[064] @") << a << QStringLiteral("twice or out of order");
    QTest::newRow("code beyond 255") << withLine(a, "[300] A") << a << QStringLiteral("beyond 255");
    QTest::newRow("row too short") << withLine(a + 2, ".#...#.") << a + 2 << QStringLiteral("7 characters");
    QTest::newRow("row too long") << withLine(a + 2, ".#...#...") << a + 2 << QStringLiteral("9 characters");
    QTest::newRow("stray character") << withLine(a + 2, ".#..x#..") << a + 2 << QStringLiteral("'x'");
    QTest::newRow("six rows") << withoutLine(a + 7) << a + 7 << QStringLiteral("6 rows");
    QTest::newRow("eight rows") << withLine(a + 8, "........") << a + 8 << QStringLiteral("glyph header");
    QTest::newRow("label of two characters") << withLine(a, "[065] AA") << a << QStringLiteral("one character");
    QTest::newRow("header without label") << withLine(a, "[065] ") << a << QStringLiteral("glyph header");
    QTest::newRow("a character for two codes of one face")
        << withLine(boldB, "[066] A") << boldB << QStringLiteral("[065]");
    QTest::newRow("normal face ends early")
        << withLine(boldFace - 9, "face bold") << boldFace - 9 << QStringLiteral("after 255 glyphs");
    QTest::newRow("file ends inside a glyph") << builtInText().left(builtInText().size() - 9)
                                              << builtInText().count('\n') - 1 << QStringLiteral("6 of 7 rows");
    QTest::newRow("no bold face") << builtInText().left(builtInText().indexOf("\nface bold") + 1) << boldFace - 1
                                  << QStringLiteral("without \"face bold\"");
    QTest::newRow("text after the last glyph")
        << builtInText() + "[256] more\n"
        << builtInText().count('\n') + 1 << QStringLiteral("after glyph [255] of the bold face");
    QTest::newRow("not UTF-8") << withLine(a, "[065] \xC4") << a << QStringLiteral("UTF-8");
    QTest::newRow("empty file") << QByteArray() << 0 << QStringLiteral("not a font file");
}

void TestFontFile::readErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, fragment);
    const FontFileRead read = readFontFile(text);
    QVERIFY(!read.font);
    QVERIFY2(read.error.contains(fragment), qPrintable(read.errorText()));
    QCOMPARE(read.errorLine, line);
    if (line > 0)
        QVERIFY(read.errorText().startsWith(QStringLiteral("line %1: ").arg(line)));
}

void TestFontFile::quotedLinesAreEscapedAndCut_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fragment");

    const int a = headerLine(Font::Normal, 65);
    const int boldFace = headerLine(Font::Bold, 0) - 2;
    QTest::newRow("escape sequence in a face line")
        << withLine(boldFace, "face \x1b]0;owned\x07") << QStringLiteral("\"face \\x1b]0;owned\\x07\"");
    QTest::newRow("tab in a row") << withLine(a + 2, ".#..\t#..") << QStringLiteral("'\\t'");
    QTest::newRow("zero byte in a row") << withLine(a + 2, QByteArray(".#..\0#..", 8)) << QStringLiteral("'\\0'");
    QTest::newRow("a label with a control character") << withLine(a, "[065] \x1b[") << QStringLiteral("found \"\\x1b[\"");
    QTest::newRow("a 900 KB line") << withLine(a, "[065] " + QByteArray(900 * 1024, 'A'))
                                   << QStringLiteral("found \"") + QString(40, QLatin1Char('A')) + QChar(0x2026)
            + QLatin1Char('"');
    QTest::newRow("the environment read as a font")
        << QByteArray("HOME=/root\0PATH=/usr/bin\0SECRET=do not print me\0", 48)
        << QStringLiteral("found \"HOME=/root\\0PATH=/usr/bin\\0SECRET=do not p\u2026\"");
}

void TestFontFile::quotedLinesAreEscapedAndCut()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fragment);

    const FontFileRead read = readFontFile(text);

    QVERIFY(!read.font);
    QVERIFY2(read.error.contains(fragment), qPrintable(read.error));
    QVERIFY2(read.error.size() < 200, qPrintable(read.error.left(200)));
    for (const QChar c : read.error)
        QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7F, qPrintable(read.error));
}

// Rules of the built-in faces that a font of one's own may break are
// warnings: the font is read all the same.
void TestFontFile::warnings()
{
    const int a = headerLine(Font::Normal, 65);
    const int boldHeart = headerLine(Font::Bold, 15);
    QByteArray text = withLine(a + 1, "..#...#.");
    QByteArrayList lines = text.split('\n');
    lines[boldHeart] = "#######.";
    lines.insert(a + 7, "// a comment among the glyphs");
    text = lines.join('\n');

    const FontFileRead read = readFontFile(text);
    QVERIFY2(read.font, qPrintable(read.errorText()));
    QCOMPARE(read.warnings.size(), 3);
    QVERIFY2(read.warnings.at(0).startsWith(QStringLiteral("line %1: comments").arg(a + 8)),
             qPrintable(read.warnings.at(0)));
    QVERIFY2(read.warnings.at(1).contains(QStringLiteral("columns 5 to 7 at codes 65:")),
             qPrintable(read.warnings.at(1)));
    QVERIFY2(read.warnings.at(2).startsWith(QStringLiteral("codes 15 differ")), qPrintable(read.warnings.at(2)));
    QCOMPARE(read.font->glyph(Font::Normal, 65)[6], quint8(0x01));
}

void TestFontFile::saveReplacesWholeFileOrNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mine.vlf"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old text");
    old.close();

    FontFile font = FontFile::builtIn();
    QCOMPARE(font.setLabel(Font::Normal, 128, QStringLiteral("Ж")), QString());
    QCOMPARE(saveFontFile(path, font), QString());
    const FontFileRead read = readFontFilePath(path);
    QVERIFY2(read.font, qPrintable(read.errorText()));
    QCOMPARE(read.font->label(Font::Normal, 128), QStringLiteral("Ж"));

    // A folder where the file should go is refused and left as it was.
    const QString folder = dir.filePath(QStringLiteral("folder.vlf"));
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(!saveFontFile(folder, font).isEmpty());
    QVERIFY(QFileInfo(folder).isDir());
}

void TestFontFile::unreadablePaths_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("named pipe that nobody writes") << QStringLiteral("fifo");
    QTest::newRow("too large") << QStringLiteral("large");
}

void TestFontFile::unreadablePaths()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("font.vlf"));
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == QLatin1String("large")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(2 * 1024 * 1024));
    }
    // A pipe would be waited on for ever; it must be refused unread.
    const FontFileRead read = readFontFilePath(path);
    QVERIFY(!read.font);
    QVERIFY(!read.error.isEmpty());
    QCOMPARE(read.errorLine, 0);
}

void TestFontFile::shippedFonts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("sameAs"); // a built-in code with the same glyph, or -1 for a new drawing

    QTest::newRow("Cyrillic A as the Latin one") << QStringLiteral("cyrillic.vlf") << 128 << QStringLiteral("А") << 65;
    QTest::newRow("Cyrillic Zhe") << QStringLiteral("cyrillic.vlf") << 134 << QStringLiteral("Ж") << -1;
    QTest::newRow("Cyrillic Ya") << QStringLiteral("cyrillic.vlf") << 159 << QStringLiteral("Я") << -1;
    QTest::newRow("Cyrillic small ya") << QStringLiteral("cyrillic.vlf") << 239 << QStringLiteral("я") << -1;
    QTest::newRow("Cyrillic Yo") << QStringLiteral("cyrillic.vlf") << 240 << QStringLiteral("Ё") << 211;
    QTest::newRow("Cyrillic small yo as e diaeresis")
        << QStringLiteral("cyrillic.vlf") << 241 << QStringLiteral("ё") << 137;
    QTest::newRow("Cyrillic Ukrainian Ie") << QStringLiteral("cyrillic.vlf") << 242 << QStringLiteral("Є") << -1;
    QTest::newRow("no-break space") << QStringLiteral("cyrillic.vlf") << 255 << QStringLiteral("\u00A0") << 255;
    QTest::newRow("Greek Lambda") << QStringLiteral("greek.vlf") << 138 << QStringLiteral("Λ") << -1;
    QTest::newRow("Greek Omega") << QStringLiteral("greek.vlf") << 151 << QStringLiteral("Ω") << -1;
    QTest::newRow("Greek final sigma") << QStringLiteral("greek.vlf") << 170 << QStringLiteral("ς") << -1;
    QTest::newRow("Greek small omega") << QStringLiteral("greek.vlf") << 224 << QStringLiteral("ω") << -1;
    QTest::newRow("Greek alpha with tonos") << QStringLiteral("greek.vlf") << 225 << QStringLiteral("ά") << -1;
    QTest::newRow("Greek Omega with tonos") << QStringLiteral("greek.vlf") << 240 << QStringLiteral("Ώ") << -1;
    QTest::newRow("Greek plus-minus as the built-in one")
        << QStringLiteral("greek.vlf") << 241 << QStringLiteral("±") << 241;
}

namespace {

FontFile ShippedFont(const QString &file)
{
    const FontFileRead read = readFontFilePath(QStringLiteral(VARLO_FONTS_DIR "/") + file);
    if (!read.font)
        qFatal("%s: %s", qPrintable(file), qPrintable(read.errorText()));
    return *read.font;
}

bool SameGlyph(const FontTable::Glyph &a, const FontTable::Glyph &b)
{
    return std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

// The fonts that ship keep ASCII, the icons and the pictures of the built-in
// font, hold their letters where the code page of their alphabet has them,
// and read without a warning: the box-drawing and block places are wider
// than the built-in face's 5 columns, as their characters are.
void TestFontFile::shippedFonts()
{
    QFETCH(QString, file);
    QFETCH(int, code);
    QFETCH(QString, label);
    QFETCH(int, sameAs);
    const FontFileRead read = readFontFilePath(QStringLiteral(VARLO_FONTS_DIR "/") + file);
    QVERIFY2(read.font, qPrintable(read.errorText()));
    QCOMPARE(read.warnings, QStringList());
    const FontFile builtIn = FontFile::builtIn();
    QCOMPARE(read.font->image().left(128 * 8), builtIn.image().left(128 * 8));
    QCOMPARE(read.font->image().mid(2048, 128 * 8), builtIn.image().mid(2048, 128 * 8));
    for (Font face : {Font::Normal, Font::Bold}) {
        QCOMPARE(read.font->label(face, quint8(code)), label);
        const FontTable::Glyph glyph = read.font->glyph(face, quint8(code));
        const FontTable::Glyph builtInGlyph = builtIn.glyph(face, quint8(sameAs < 0 ? code : sameAs));
        QCOMPARE(SameGlyph(glyph, builtInGlyph), sameAs >= 0);
    }
}

// Code page 866's Ё ё Є є Ї ї Ў ў at 0xF0 to 0xF7, and a capital with a
// breve that is not its small letter.
void TestFontFile::cyrillicKeepsCodePage866Letters()
{
    const FontFile cyrillic = ShippedFont(QStringLiteral("cyrillic.vlf"));
    const QString letters = QStringLiteral("ЁёЄєЇїЎў");
    for (int i = 0; i < letters.size(); ++i) {
        for (Font face : {Font::Normal, Font::Bold})
            QCOMPARE(cyrillic.label(face, quint8(0xF0 + i)), QString(letters.at(i)));
    }
    QCOMPARE(cyrillic.label(Font::Normal, 0x89), QStringLiteral("Й"));
    QCOMPARE(cyrillic.label(Font::Normal, 0xA9), QStringLiteral("й"));
    const QList<QPair<int, int>> capitalAndSmall{{0x89, 0xA9}, {0xF0, 0xF1}, {0xF6, 0xF7}};
    for (const auto &[capital, small] : capitalAndSmall) {
        for (Font face : {Font::Normal, Font::Bold})
            QVERIFY2(!SameGlyph(cyrillic.glyph(face, quint8(capital)), cyrillic.glyph(face, quint8(small))),
                     qPrintable(QStringLiteral("%1 and %2").arg(capital).arg(small)));
    }
}

void TestFontFile::shippedBoxDrawingJoinsAcrossCells_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("cyrillic") << QStringLiteral("cyrillic.vlf");
    QTest::newRow("greek") << QStringLiteral("greek.vlf");
}

// A line of box drawing that reaches an edge of its cell meets the next cell
// on the row it is drawn on, whichever glyph that is: a single line on the
// middle row or column, a double one a dot either side. Both faces draw the
// same lines, so that bold and normal cells join too.
void TestFontFile::shippedBoxDrawingJoinsAcrossCells()
{
    QFETCH(QString, file);
    const FontFile font = ShippedFont(file);
    using Dots = QList<int>;
    const QList<Dots> joinable{{}, {3}, {2, 4}};
    for (int code = 179; code <= 218; ++code) {
        const FontTable::Glyph glyph = font.glyph(Font::Normal, quint8(code));
        QVERIFY(SameGlyph(glyph, font.glyph(Font::Bold, quint8(code))));
        Dots left, right, top, bottom;
        for (int row = 0; row < FontTable::kGlyphRows; ++row) {
            if (glyph[0] >> row & 1)
                left << row;
            if (glyph[7] >> row & 1)
                right << row;
        }
        for (int column = 0; column < FontTable::kGlyphBytes; ++column) {
            if (glyph[size_t(column)] & 0x01)
                top << column;
            if (glyph[size_t(column)] & 0x40)
                bottom << column;
        }
        const QString where = QStringLiteral("%1 %2").arg(code).arg(font.label(Font::Normal, quint8(code)));
        QVERIFY2(joinable.contains(left) && joinable.contains(right), qPrintable(where));
        QVERIFY2(joinable.contains(top) && joinable.contains(bottom), qPrintable(where));
        // Every box-drawing character has at least two arms.
        const int arms = int(!left.isEmpty()) + int(!right.isEmpty()) + int(!top.isEmpty()) + int(!bottom.isEmpty());
        QVERIFY2(arms >= 2, qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(TestFontFile)
#include "tst_fontfile.moc"
