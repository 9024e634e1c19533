// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/inputexcerpt.h"
#include "model/messageblock.h"
#include "model/messageset.h"

#include <QTest>

using namespace varlo;

class TestModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encoder_data();
    void encoder();
    void directoryEntry_data();
    void directoryEntry();
    void slotLetters();
    void newClearsTextsAndSpeedsButNotRunFlags();
    void inputExcerpts_data();
    void inputExcerpts();
    void byteExcerptsShowWhatIsNoUtf8();
};

void TestModel::encoder_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<QByteArray>("codes"); // cells stored, in order
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<int>("cells"); // cells the markup fills, uncapped
    QTest::addColumn<int>("checksum"); // -1 where only the sum rule is checked

    const QByteArray a124(124, 'a');
    const QByteArray x125(125, '\xFF');

    QTest::newRow("plain letters") << QByteArray("AB") << QByteArray("AB") << QByteArray(2, 0) << 2 << 0x85;
    QTest::newRow("bold on") << QByteArray("~BA") << QByteArray("A") << QByteArray("\x10") << 1 << 0x52;
    QTest::newRow("bold on then off") << QByteArray("~BA~AB") << QByteArray("AB") << QByteArray("\x10\x00", 2) << 2
                                      << -1;
    QTest::newRow("flash toggles") << QByteArray("~Fx~Fy") << QByteArray("xy") << QByteArray("\x01\x00", 2) << 2 << -1;
    QTest::newRow("flash bold flash leaves bold")
        << QByteArray("~F~B~FA") << QByteArray("A") << QByteArray("\x10") << 1 << -1;
    QTest::newRow("flash and bold together")
        << QByteArray("~F~BA~AB") << QByteArray("AB") << QByteArray("\x11\x01") << 2 << -1;
    QTest::newRow("every picture") << QByteArray("~+~H~<~>~P~x~S~O~o")
                                   << QByteArray("\x0D\x0F\x11\x13\x15\x17\x19\x1B\x1D") << QByteArray(9, 0) << 9 << -1;
    QTest::newRow("picture under bold") << QByteArray("~B~+") << QByteArray("\x0D") << QByteArray(1, 0) << 1 << -1;
    QTest::newRow("picture under flash and bold")
        << QByteArray("~F~B~H") << QByteArray("\x0F") << QByteArray(1, 0) << 1 << -1;
    QTest::newRow("blank keeps attributes")
        << QByteArray("~B~R") << QByteArray("\x1F") << QByteArray("\x10") << 1 << -1;
    QTest::newRow("tilde pair") << QByteArray("~~") << QByteArray("~") << QByteArray(1, 0) << 1 << -1;
    QTest::newRow("tilde pair keeps attributes")
        << QByteArray("~F~~") << QByteArray("~") << QByteArray("\x01") << 1 << -1;
    QTest::newRow("three tildes") << QByteArray("~~~") << QByteArray("~") << QByteArray(1, 0) << 1 << -1;
    QTest::newRow("trailing tilde") << QByteArray("A~") << QByteArray("A") << QByteArray(1, 0) << 1 << -1;
    QTest::newRow("lone tilde") << QByteArray("~") << QByteArray() << QByteArray() << 0 << 0;
    QTest::newRow("unknown selectors") << QByteArray("~Z~a~b~f~h~p~r~s~X") << QByteArray() << QByteArray() << 0 << 0;
    QTest::newRow("unknown selector keeps state")
        << QByteArray("~B~ZA") << QByteArray("A") << QByteArray("\x10") << 1 << -1;
    QTest::newRow("only bold on") << QByteArray("~B") << QByteArray() << QByteArray() << 0 << 0;
    QTest::newRow("high bytes") << QByteArray("\x80\xE9\xFE") << QByteArray("\x80\xE9\xFE") << QByteArray(3, 0) << 3
                                << -1;
    QTest::newRow("checksum wraps to zero")
        << QByteArray(3, '\xFF') << QByteArray(3, '\xFF') << QByteArray(3, 0) << 3 << 0x00;
    QTest::newRow("zero byte is a cell") << QByteArray("\x00Z", 2) << QByteArray("\x00Z", 2) << QByteArray(2, 0) << 2
                                         << -1;
    QTest::newRow("124 cells") << a124 << a124 << QByteArray(124, 0) << 124 << -1;
    QTest::newRow("125 cells fill the block") << (a124 + "b") << (a124 + "b") << QByteArray(125, 0) << 125 << -1;
    QTest::newRow("126 cells keep the first 125") << (a124 + "bc") << (a124 + "b") << QByteArray(125, 0) << 126 << -1;
    QTest::newRow("pictures past a full slot")
        << (a124 + "~+~H~P") << (a124 + "\x0D") << QByteArray(125, 0) << 127 << -1;
    QTest::newRow("full flashing block wraps the sum")
        << (QByteArray("~F") + x125) << x125 << QByteArray(125, '\x01') << 125 << 0x7D;
}

void TestModel::encoder()
{
    QFETCH(QByteArray, markup);
    QFETCH(QByteArray, codes);
    QFETCH(QByteArray, attributes);
    QFETCH(int, cells);
    QFETCH(int, checksum);

    const MessageBlock blk = encodeMessageBlock(markup);

    QCOMPARE(blk[0], quint8(0x55));
    QCOMPARE(int(blk[2]), int(codes.size()));
    for (int k = 0; k < block::kCellCapacity; ++k) {
        const quint8 code = k < codes.size() ? quint8(codes[k]) : 0;
        const quint8 attribute = k < attributes.size() ? quint8(attributes[k]) : 0;
        QVERIFY2(blk[3 + k] == code, qPrintable(QStringLiteral("code of cell %1").arg(k)));
        QVERIFY2(blk[128 + k] == attribute, qPrintable(QStringLiteral("attribute of cell %1").arg(k)));
    }
    QCOMPARE(blk[253], quint8(0));
    QCOMPARE(blk[254], quint8(0));
    QCOMPARE(blk[255], quint8(0));

    unsigned sum = 0;
    for (int i = 2; i < 256; ++i)
        sum += blk[i];
    QCOMPARE(int(blk[1]), int(sum % 256));
    if (checksum >= 0)
        QCOMPARE(int(blk[1]), checksum);

    QCOMPARE(markupCellCount(markup), cells);
    QCOMPARE(markupOverflows(markup), cells > 125);
}

void TestModel::directoryEntry_data()
{
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("run");
    QTest::addColumn<int>("speed");
    QTest::addColumn<QByteArray>("entry");

    QTest::newRow("empty, running, speed 4") << true << true << 4 << QByteArray("\x01\x00\x00", 3);
    QTest::newRow("empty, stopped, speed 2") << true << false << 2 << QByteArray("\x01\x00\x00", 3);
    QTest::newRow("text, stopped, speed 2") << false << false << 2 << QByteArray("\x01\x02\x01", 3);
    QTest::newRow("text, running, speed 2") << false << true << 2 << QByteArray("\x00\x02\x01", 3);
    QTest::newRow("speed 9 passes through") << false << true << 9 << QByteArray("\x00\x09\x01", 3);
    QTest::newRow("speed 255 passes through") << false << false << 255 << QByteArray("\x01\xFF\x01", 3);
}

void TestModel::directoryEntry()
{
    QFETCH(bool, empty);
    QFETCH(bool, run);
    QFETCH(int, speed);
    QFETCH(QByteArray, entry);

    const DirectoryEntry e = makeDirectoryEntry(empty, run, quint8(speed));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(e.data()), 3), entry);
}

void TestModel::slotLetters()
{
    QCOMPARE(MessageSet::slotLetter(0), 'A');
    QCOMPARE(MessageSet::slotLetter(19), 'T');
    QCOMPARE(MessageSet::slotIndex('A'), 0);
    QCOMPARE(MessageSet::slotIndex('t'), 19);
    QCOMPARE(MessageSet::slotIndex('U'), -1);
    QCOMPARE(MessageSet::slotIndex('@'), -1);
}

void TestModel::newClearsTextsAndSpeedsButNotRunFlags()
{
    MessageSet set;
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QVERIFY(set.run(i));
    set.setMarkup(3, "HI~H");
    set.setSpeedCode(3, 1);
    set.setRun(5, false);

    set.clearForNew();

    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        QVERIFY(set.isEmpty(i));
        QCOMPARE(set.speedCode(i), quint8(4));
        QCOMPARE(set.run(i), i != 5);
    }
}

void TestModel::inputExcerpts_data()
{
    // The same input as bytes and as text, where it is text at all.
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain text as it is") << QByteArray("face nromal") << QStringLiteral("face nromal");
    QTest::newRow("a backslash stays single") << QByteArray("C:\\x") << QStringLiteral("C:\\x");
    QTest::newRow("escape, tab, NUL, line breaks")
        << QByteArray("\x1b[31mred\tA\0B\r\n", 14) << QStringLiteral("\\x1b[31mred\\tA\\0B\\r\\n");
    QTest::newRow("DEL and a C1 control") << QByteArray("a\x7f"
                                                        "b\xc2\x9b"
                                                        "c")
                                          << QStringLiteral("a\\x7fb\\x9bc");
    QTest::newRow("a right-to-left override and a zero-width space")
        << QByteArray("abc\u202Edef\u200B") << QStringLiteral("abc\\u202edef\\u200b");
    QTest::newRow("letters beyond ASCII as they are") << QByteArray("Ж№€😀") << QStringLiteral("Ж№€😀");
    QTest::newRow("40 characters are not cut") << QByteArray(40, 'x') << QString(40, QLatin1Char('x'));
    QTest::newRow("41 characters are") << QByteArray(41, 'x') << QString(40, QLatin1Char('x')) + QChar(0x2026);
    QTest::newRow("a long line of a file")
        << QByteArray(900 * 1024, '#') << QString(40, QLatin1Char('#')) + QChar(0x2026);
    QString tabs;
    for (int i = 0; i < 39; ++i)
        tabs += QStringLiteral("\\t");
    QTest::newRow("the cut counts characters, not bytes or escapes")
        << QByteArray(39, '\t') + "Жx" << tabs + QStringLiteral("Ж") + QChar(0x2026);
}

void TestModel::inputExcerpts()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, shown);

    QCOMPARE(inputExcerpt(input), shown);
    QCOMPARE(inputExcerpt(QString::fromUtf8(input)), shown);
}

void TestModel::byteExcerptsShowWhatIsNoUtf8()
{
    // Bytes that are no part of UTF-8 (Latin-1, a stray continuation byte,
    // an overlong slash, a surrogate, a sequence cut short) as \\xNN.
    QCOMPARE(inputExcerpt(QByteArray("caf\xe9 \x80 \xc0\xaf \xed\xa0\x80 \xe2\x82")),
             QStringLiteral("caf\\xe9 \\x80 \\xc0\\xaf \\xed\\xa0\\x80 \\xe2\\x82"));
    // A lone surrogate in text.
    const QChar lone[] = {QLatin1Char('a'), QChar(0xD800), QLatin1Char('b')};
    QCOMPARE(inputExcerpt(QStringView(lone, 3)), QStringLiteral("a\\ud800b"));
}

QTEST_APPLESS_MAIN(TestModel)
#include "tst_model.moc"
