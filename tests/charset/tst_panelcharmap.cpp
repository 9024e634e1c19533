// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/panelcharmap.h"

#include <QSet>
#include <QTest>

using namespace varlo;

class TestPanelCharMap : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyByteRoundTrips();
    void characters_data();
    void characters();
    void undrawableCharacters_data();
    void undrawableCharacters();
    void aTableOfOnesOwnGivesItsMeaning();
    void textGivesPanelBytes_data();
    void textGivesPanelBytes();
    void everyShownByteComesBackFromText();
    void undrawableCharacterIsNamed_data();
    void undrawableCharacterIsNamed();
    void aTableWithTwoCodesForOneCharacterIsRefused();
};

void TestPanelCharMap::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString shown = PanelCharMap::builtIn().toDisplay(all);
    QCOMPARE(shown.size(), 256);
    QCOMPARE(PanelCharMap::builtIn().firstUndrawable(shown), -1);
    QCOMPARE(PanelCharMap::builtIn().toBytes(shown), all);
    // Characters that stood for a byte before, from an older copy of a
    // slot, give that byte still.
    QCOMPARE(PanelCharMap::builtIn().toByte(QChar(0x00AD)), std::optional<quint8>(240));
    QCOMPARE(PanelCharMap::builtIn().toByte(QChar(0x024E)), std::optional<quint8>(157));
    // One character per byte: no two bytes look alike to the map.
    QCOMPARE(QSet<QChar>(shown.begin(), shown.end()).size(), 256);
}

void TestPanelCharMap::characters_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter") << 0x41 << QStringLiteral("A");
    QTest::newRow("tilde") << 0x7E << QStringLiteral("~");
    QTest::newRow("space") << 0x20 << QStringLiteral(" ");
    QTest::newRow("star picture code") << 0x0D << QStringLiteral("\u240D");
    QTest::newRow("null") << 0x00 << QStringLiteral("\u2400");
    QTest::newRow("delete") << 0x7F << QStringLiteral("\u2421");
    QTest::newRow("C cedilla") << 0x80 << QStringLiteral("Ç");
    QTest::newRow("e acute") << 0x82 << QStringLiteral("é");
    QTest::newRow("U umlaut") << 0x9A << QStringLiteral("Ü");
    QTest::newRow("cent at 155, stand-in") << 155 << QStringLiteral("\u023C");
    QTest::newRow("yen at 157, stand-in") << 157 << QStringLiteral("\u04B0");
    QTest::newRow("peseta") << 158 << QStringLiteral("₧");
    QTest::newRow("cent at 189") << 189 << QStringLiteral("¢");
    QTest::newRow("yen at 190") << 190 << QStringLiteral("¥");
    // Places the panel draws as a plain stroke have names, not the code
    // page's characters, and show as stand-ins of their own.
    QTest::newRow("bottom line at 176, named") << 176 << QStringLiteral("\uE0B0");
    QTest::newRow("bottom line at 219, named") << 219 << QStringLiteral("\uE0DB");
    QTest::newRow("small cross at 197, named") << 197 << QStringLiteral("\uE0C5");
    QTest::newRow("empty 223, named") << 223 << QStringLiteral("\uE0DF");
    QTest::newRow("vertical line at 179") << 179 << QStringLiteral("\u2502");
    QTest::newRow("low line") << 0x5F << QStringLiteral("_");
    QTest::newRow("dotted i at 213") << 213 << QStringLiteral("\u0456");
    QTest::newRow("sharp s") << 225 << QStringLiteral("ß");
    QTest::newRow("soft hyphen at 240, stand-in") << 240 << QStringLiteral("\u2010");
    QTest::newRow("OE") << 242 << QStringLiteral("Œ");
    QTest::newRow("G breve") << 243 << QStringLiteral("Ğ");
    QTest::newRow("g breve") << 244 << QStringLiteral("ğ");
    QTest::newRow("I dot") << 245 << QStringLiteral("İ");
    QTest::newRow("euro") << 250 << QStringLiteral("€");
    QTest::newRow("superscript two") << 253 << QStringLiteral("²");
    QTest::newRow("no-break space") << 255 << QStringLiteral("\u00A0");
}

void TestPanelCharMap::characters()
{
    QFETCH(int, byte);
    QFETCH(QString, shown);
    QCOMPARE(QString(PanelCharMap::builtIn().toChar(quint8(byte))), shown);
    QCOMPARE(PanelCharMap::builtIn().toByte(shown.at(0)), std::optional<quint8>(quint8(byte)));
}

void TestPanelCharMap::undrawableCharacters_data()
{
    QTest::addColumn<QString>("ch");
    // Code page 850 places the panel's font fills with something else.
    QTest::newRow("o slash") << QStringLiteral("ø");
    QTest::newRow("O slash") << QStringLiteral("Ø");
    QTest::newRow("multiplication") << QStringLiteral("×");
    QTest::newRow("dotless i") << QStringLiteral("ı");
    QTest::newRow("three quarters") << QStringLiteral("¾");
    QTest::newRow("section") << QStringLiteral("§");
    // Blocks, shades and box drawing: the panel draws a line along the
    // bottom, a dash or a small cross at their code page places, which are
    // not these characters; a block must not come out as an underscore.
    QTest::newRow("full block") << QStringLiteral("█");
    QTest::newRow("lower half block") << QStringLiteral("▄");
    QTest::newRow("upper half block") << QStringLiteral("▀");
    QTest::newRow("light shade") << QStringLiteral("░");
    QTest::newRow("dark shade") << QStringLiteral("▓");
    QTest::newRow("black square") << QStringLiteral("■");
    QTest::newRow("horizontal line") << QStringLiteral("─");
    QTest::newRow("double horizontal") << QStringLiteral("═");
    QTest::newRow("double vertical") << QStringLiteral("║");
    QTest::newRow("crossing lines") << QStringLiteral("┼");
    QTest::newRow("corner") << QStringLiteral("┌");
    // Nowhere in the font.
    QTest::newRow("omega") << QStringLiteral("Ω");
    QTest::newRow("curly quote") << QStringLiteral("\u2019");
    QTest::newRow("tab") << QStringLiteral("\t");
}

void TestPanelCharMap::undrawableCharacters()
{
    QFETCH(QString, ch);
    QVERIFY(!PanelCharMap::builtIn().toByte(ch.at(0)));
    QCOMPARE(PanelCharMap::builtIn().firstUndrawable(QStringLiteral("ab") + ch), 2);
    QCOMPARE(PanelCharMap::builtIn().firstUndrawable(ch + QStringLiteral("ab")), 0);
    QCOMPARE(PanelCharMap::builtIn().firstUndrawable(ch), 0);
}

void TestPanelCharMap::aTableOfOnesOwnGivesItsMeaning()
{
    // A font that draws a Greek omega where the built-in one has the euro.
    PanelCharMap::Table table = PanelCharMap::builtInTable();
    table[250] = u'\u03A9';
    const std::optional<PanelCharMap> map = PanelCharMap::fromTable(table);
    QVERIFY(map);
    QCOMPARE(map->toChar(250), QChar(0x03A9));
    QCOMPARE(map->toByte(QChar(0x03A9)), std::optional<quint8>(250));
    QVERIFY(!map->toByte(QChar(0x20AC)));
    QCOMPARE(map->toBytes(QStringLiteral("A\u03A9")), QByteArray("A\xFA"));
}

void TestPanelCharMap::aTableWithTwoCodesForOneCharacterIsRefused()
{
    PanelCharMap::Table table = PanelCharMap::builtInTable();
    table[250] = u'A';
    QVERIFY(!PanelCharMap::fromTable(table));
    table[250] = char16_t(0xD83D); // half of a surrogate pair
    QVERIFY(!PanelCharMap::fromTable(table));
}

void TestPanelCharMap::textGivesPanelBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("plain") << QStringLiteral("OPEN") << QByteArray("OPEN");
    QTest::newRow("escapes as they are") << QStringLiteral("~BSALE~A ~H~~") << QByteArray("~BSALE~A ~H~~");
    QTest::newRow("accent and heart") << QStringLiteral("Café ♥") << QByteArray("\x43\x61\x66\x82\x20\x7E\x48", 7);
    QTest::newRow("star") << QStringLiteral("★") << QByteArray("~+");
    QTest::newRow("heart") << QStringLiteral("♥") << QByteArray("~H");
    QTest::newRow("heavy heart") << QStringLiteral("❤") << QByteArray("~H");
    QTest::newRow("heavy heart, emoji look") << QStringLiteral("❤\uFE0F") << QByteArray("~H");
    QTest::newRow("left arrow") << QStringLiteral("←") << QByteArray("~<");
    QTest::newRow("right arrow") << QStringLiteral("→") << QByteArray("~>");
    QTest::newRow("telephone") << QStringLiteral("☎") << QByteArray("~P");
    QTest::newRow("receiver") << QStringLiteral("📞") << QByteArray("~P");
    QTest::newRow("plane") << QStringLiteral("✈") << QByteArray("~x");
    QTest::newRow("smile") << QStringLiteral("☺") << QByteArray("~S");
    QTest::newRow("slight smile") << QStringLiteral("🙂") << QByteArray("~S");
    QTest::newRow("smiling eyes") << QStringLiteral("😊") << QByteArray("~S");
    QTest::newRow("black circle") << QStringLiteral("●") << QByteArray("~O");
    QTest::newRow("white circle") << QStringLiteral("○") << QByteArray("~o");
    QTest::newRow("double quotes") << QStringLiteral("“a” „b“") << QByteArray("\"a\" \"b\"");
    QTest::newRow("single quotes") << QStringLiteral("‘a’ ‚b") << QByteArray("'a' 'b");
    QTest::newRow("dashes") << QStringLiteral("1–2—3") << QByteArray("1-2-3");
    QTest::newRow("ellipsis") << QStringLiteral("wait…") << QByteArray("wait...");
    // The map's own meaning first: the panel's byte 255 is a blank too.
    QTest::newRow("no-break space") << QStringLiteral("a\u00A0b")
                                    << QByteArray("a\xFF"
                                                  "b");
    QTest::newRow("after a pair") << QStringLiteral("🙂é") << QByteArray("~S\x82");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestPanelCharMap::textGivesPanelBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const PanelCharMap::Conversion conversion = PanelCharMap::builtIn().fromText(text);
    QVERIFY2(!conversion.undrawable, qPrintable(conversion.undrawable ? conversion.undrawable->describe() : QString()));
    QCOMPARE(conversion.bytes, bytes);
}

void TestPanelCharMap::everyShownByteComesBackFromText()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const PanelCharMap &map = PanelCharMap::builtIn();
    const PanelCharMap::Conversion conversion = map.fromText(map.toDisplay(all));
    QVERIFY(!conversion.undrawable);
    QCOMPARE(conversion.bytes, all);
}

void TestPanelCharMap::undrawableCharacterIsNamed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("described");

    QTest::newRow("o slash") << QStringLiteral("Smørrebrød") << 0xF8u << 3 << QStringLiteral("“ø” (U+00F8)");
    QTest::newRow("omega first") << QStringLiteral("Ω") << 0x3A9u << 1 << QStringLiteral("“Ω” (U+03A9)");
    // Columns count characters: the pair before it is one.
    QTest::newRow("after a pair") << QStringLiteral("🙂×") << 0xD7u << 2 << QStringLiteral("“×” (U+00D7)");
    QTest::newRow("emoji without a picture")
        << QStringLiteral("hi 😀") << 0x1F600u << 4 << QStringLiteral("“😀” (U+1F600)");
    // Shown escaped: a message never steers the terminal.
    QTest::newRow("tab") << QStringLiteral("a\tb") << 0x9u << 2 << QStringLiteral("“\\t” (U+0009)");
    QTest::newRow("escape") << QStringLiteral("\x1b[2J") << 0x1Bu << 1 << QStringLiteral("“\\x1b” (U+001B)");
}

void TestPanelCharMap::undrawableCharacterIsNamed()
{
    QFETCH(QString, text);
    QFETCH(uint, codePoint);
    QFETCH(int, column);
    QFETCH(QString, described);
    const PanelCharMap::Conversion conversion = PanelCharMap::builtIn().fromText(text);
    QVERIFY(conversion.undrawable);
    QCOMPARE(uint(conversion.undrawable->codePoint), codePoint);
    QCOMPARE(conversion.undrawable->column, qsizetype(column));
    QCOMPARE(conversion.undrawable->describe(), described);
}

QTEST_GUILESS_MAIN(TestPanelCharMap)
#include "tst_panelcharmap.moc"
