// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/panelcharmap.h"
#include "editor/slotedit.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

using namespace varlo;

namespace {

// QTest::keyClicks takes Latin-1 only; this types any character, as a
// keyboard layout or input method would deliver it.
void type(QWidget *widget, const QString &text)
{
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyByteRoundTrips();
    void characters_data();
    void characters();
    void undrawableCharacters_data();
    void undrawableCharacters();

    void typingStopsAt124();
    void longTextFromProgramStaysAndCanShrink();
    void pasteObeysTheLimit();
    void typingAnUndrawableCharacterIsRefused();
    void typedCharactersBecomePanelBytes();
    void writingAnEqualTextIsNoChange();
    void focusFromProgramSelectsAll();
};

void TestEditor::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString shown = PanelCharMap::toDisplay(all);
    QCOMPARE(shown.size(), 256);
    QCOMPARE(PanelCharMap::firstUndrawable(shown), -1);
    QCOMPARE(PanelCharMap::toBytes(shown), all);
    // Characters that stood for a byte before, from an older copy of a
    // slot, give that byte still.
    QCOMPARE(PanelCharMap::toByte(QChar(0x00AD)), std::optional<quint8>(240));
    QCOMPARE(PanelCharMap::toByte(QChar(0x024E)), std::optional<quint8>(157));
    // One character per byte: no two bytes look alike to the map.
    QCOMPARE(QSet<QChar>(shown.begin(), shown.end()).size(), 256);
}

void TestEditor::characters_data()
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
    QTest::newRow("light shade") << 176 << QStringLiteral("\u2591");
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

void TestEditor::characters()
{
    QFETCH(int, byte);
    QFETCH(QString, shown);
    QCOMPARE(QString(PanelCharMap::toChar(quint8(byte))), shown);
    QCOMPARE(PanelCharMap::toByte(shown.at(0)), std::optional<quint8>(quint8(byte)));
}

void TestEditor::undrawableCharacters_data()
{
    QTest::addColumn<QString>("ch");
    // Code page 850 places the panel's font fills with something else.
    QTest::newRow("o slash") << QStringLiteral("ø");
    QTest::newRow("O slash") << QStringLiteral("Ø");
    QTest::newRow("multiplication") << QStringLiteral("×");
    QTest::newRow("dotless i") << QStringLiteral("ı");
    QTest::newRow("three quarters") << QStringLiteral("¾");
    QTest::newRow("section") << QStringLiteral("§");
    // Nowhere in the font.
    QTest::newRow("omega") << QStringLiteral("Ω");
    QTest::newRow("curly quote") << QStringLiteral("\u2019");
    QTest::newRow("tab") << QStringLiteral("\t");
}

void TestEditor::undrawableCharacters()
{
    QFETCH(QString, ch);
    QVERIFY(!PanelCharMap::toByte(ch.at(0)));
    QCOMPARE(PanelCharMap::firstUndrawable(QStringLiteral("ab") + ch), 2);
}

void TestEditor::typingStopsAt124()
{
    SlotEdit edit;
    edit.show();
    QSignalSpy refused(&edit, &SlotEdit::refused);
    QTest::keyClicks(&edit, QString(130, QLatin1Char('x')));
    QCOMPARE(edit.text().size(), SlotEdit::kTypingLimit);
    QCOMPARE(refused.count(), 6);
    QVERIFY(refused.first().first().toString().contains(QLatin1String("124")));
}

void TestEditor::longTextFromProgramStaysAndCanShrink()
{
    SlotEdit edit;
    edit.show();
    const QByteArray longText(130, 'y');
    edit.setMarkup(longText);
    QCOMPARE(edit.markup(), longText);

    edit.setCursorPosition(130);
    QTest::keyClicks(&edit, QStringLiteral("z"));
    QCOMPARE(edit.markup(), longText);

    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.markup().size(), 129);
    // Shrunk, but still over the limit: it may not grow back.
    QTest::keyClicks(&edit, QStringLiteral("z"));
    QCOMPARE(edit.markup().size(), 129);
}

void TestEditor::pasteObeysTheLimit()
{
    SlotEdit edit;
    edit.show();
    edit.setMarkup(QByteArray(120, 'a'));
    edit.setCursorPosition(120);
    QApplication::clipboard()->setText(QStringLiteral("bcdefgh"));
    edit.paste();
    QCOMPARE(edit.markup(), QByteArray(120, 'a'));
    QApplication::clipboard()->setText(QStringLiteral("bcd"));
    edit.paste();
    QCOMPARE(edit.markup(), QByteArray(120, 'a') + "bcd");
}

void TestEditor::typingAnUndrawableCharacterIsRefused()
{
    SlotEdit edit;
    edit.show();
    QSignalSpy refused(&edit, &SlotEdit::refused);
    type(&edit, QStringLiteral("a\u03A9b"));
    QCOMPARE(edit.markup(), QByteArray("ab"));
    QCOMPARE(refused.count(), 1);
    QVERIFY(refused.first().first().toString().contains(QStringLiteral("\u03A9")));
}

void TestEditor::typedCharactersBecomePanelBytes()
{
    SlotEdit edit;
    edit.show();
    type(&edit, QStringLiteral("Café 5€ Ğ"));
    QCOMPARE(edit.markup(), QByteArray("Caf\x82 5\xFA \xF3"));
}

void TestEditor::writingAnEqualTextIsNoChange()
{
    SlotEdit edit;
    edit.setMarkup("HI~H");
    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    edit.setMarkup("HI~H");
    QCOMPARE(changed.count(), 0);
    edit.setMarkup("HI~S");
    QCOMPARE(changed.count(), 1);
}

void TestEditor::focusFromProgramSelectsAll()
{
    QWidget window;
    auto *first = new SlotEdit(&window);
    auto *second = new SlotEdit(&window);
    second->move(0, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    second->setMarkup("ABCD");
    first->setFocus();
    second->setFocus(Qt::OtherFocusReason);
    QCOMPARE(second->selectedText(), QStringLiteral("ABCD"));
    // A click places the caret instead.
    first->setFocus();
    second->deselect();
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(4, 8));
    QVERIFY(second->selectedText().isEmpty());
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
