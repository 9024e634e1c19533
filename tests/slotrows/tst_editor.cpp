// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontfile.h"
#include "slotrows/slotedit.h"

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

    void typingStopsAt124();
    void longTextFromProgramStaysAndCanShrink();
    void pasteKeepsWhatFits_data();
    void pasteKeepsWhatFits();
    void typingAnUndrawableCharacterIsRefused_data();
    void typingAnUndrawableCharacterIsRefused();
    void typedCharactersBecomePanelBytes();
    void anotherFontChangesOnlyTheLook();
    void writingAnEqualTextIsNoChange();
    void focusFromProgramSelectsAll();
};

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

void TestEditor::pasteKeepsWhatFits_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("selected"); // characters selected from the cursor on
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("message"); // empty: none

    const QString a120(120, QLatin1Char('a'));
    QTest::newRow("130 into an empty slot")
        << QString() << 0 << 0 << QString(130, QLatin1Char('x')) << QString(124, QLatin1Char('x'))
        << "Pasted 124 of 130 characters: the slot holds 124 typed characters.";
    QTest::newRow("past the limit at the end") << a120 << 120 << 0 << "bcdefgh" << a120 + "bcde"
                                               << "Pasted 4 of 7 characters: the slot holds 124 typed characters.";
    QTest::newRow("fits") << a120 << 120 << 0 << "bcd" << a120 + "bcd"
                          << "";
    QTest::newRow("cut in the middle") << QString(122, QLatin1Char('a')) << 10 << 0 << "XYZ"
                                       << QString(10, QLatin1Char('a')) + "XY" + QString(112, QLatin1Char('a'))
                                       << "Pasted 2 of 3 characters: the slot holds 124 typed characters.";
    QTest::newRow("over a selection") << "hello world" << 6 << 5 << "there"
                                      << "hello there"
                                      << "";
    QTest::newRow("typographic quotes") << QString() << 0 << 0 << "\u201cSale\u201d today"
                                        << "\"Sale\" today"
                                        << "";
    QTest::newRow("picture as its escape") << QString() << 0 << 0 << "I \u2665 you"
                                           << "I ~H you"
                                           << "";
    QTest::newRow("undrawable left out, named once")
        << QString() << 0 << 0 << "a\u03A9b\u03A9c"
        << "abc"
        << "Left out what the panel has no character for: \u201c\u03A9\u201d (U+03A9).";
    // ␀ shows the zero byte, which would end the slot's text in a file.
    QTest::newRow("the zero byte's picture left out")
        << QString() << 0 << 0 << "a\u2400b"
        << "ab"
        << "Left out \u201c\u2400\u201d: a slot can't hold the zero byte.";
}

// Pasted text is not thrown away whole: it keeps what fits and what the
// panel can show, and says what it left out.
void TestEditor::pasteKeepsWhatFits()
{
    QFETCH(QString, before);
    QFETCH(int, cursor);
    QFETCH(int, selected);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    QFETCH(QString, message);

    SlotEdit edit;
    edit.show();
    edit.setMarkup(before.toLatin1());
    edit.setSelection(cursor, selected);
    if (selected == 0)
        edit.setCursorPosition(cursor);
    QSignalSpy refused(&edit, &SlotEdit::refused);
    QApplication::clipboard()->setText(pasted);
    edit.paste();
    QCOMPARE(edit.text(), after);
    QCOMPARE(refused.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(refused.first().first().toString(), message);
}

void TestEditor::typingAnUndrawableCharacterIsRefused_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("typed");
    const QString omega = QStringLiteral("\u03A9");
    QTest::newRow("the first character of an empty box") << QByteArray() << 0 << omega;
    QTest::newRow("in front of the text") << QByteArray("ab") << 0 << omega;
    QTest::newRow("in the middle") << QByteArray("ab") << 1 << omega;
    QTest::newRow("at the end") << QByteArray("ab") << 2 << omega;
    // The panel has a glyph for the zero byte, but a slot can't hold it: it
    // would end the slot's text in a file.
    QTest::newRow("the zero byte's picture") << QByteArray("ab") << 1 << QStringLiteral("\u2400");
}

void TestEditor::typingAnUndrawableCharacterIsRefused()
{
    QFETCH(QByteArray, before);
    QFETCH(int, caret);
    QFETCH(QString, typed);
    SlotEdit edit;
    edit.setMarkup(before);
    edit.show();
    edit.setCursorPosition(caret);
    QSignalSpy refused(&edit, &SlotEdit::refused);
    type(&edit, typed);
    QCOMPARE(edit.markup(), before);
    QCOMPARE(refused.count(), 1);
    QVERIFY(refused.first().first().toString().contains(typed));
    // What the panel can draw still comes in there.
    type(&edit, QStringLiteral("c"));
    QCOMPARE(edit.markup(), QByteArray(before).insert(caret, 'c'));
}

void TestEditor::typedCharactersBecomePanelBytes()
{
    SlotEdit edit;
    edit.show();
    type(&edit, QStringLiteral("Café 5€ Ğ"));
    QCOMPARE(edit.markup(), QByteArray("Caf\x82 5\xFA \xF3"));
}

// With another font's map the same bytes show as that font's characters,
// and typing and paste give its codes; nothing of the text changes.
void TestEditor::anotherFontChangesOnlyTheLook()
{
    const FontFileRead cyrillic = readFontFilePath(QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf"));
    QVERIFY(cyrillic.font);
    SlotEdit edit;
    edit.show();
    edit.setMarkup(QByteArray("\x8C"
                              "A~H"));
    QCOMPARE(edit.text(), QStringLiteral("îA~H"));
    edit.setCursorPosition(1);
    QSignalSpy changed(&edit, &QLineEdit::textChanged);
    edit.setCharMap(cyrillic.font->charMap());
    QCOMPARE(edit.text(), QStringLiteral("МA~H"));
    QCOMPARE(edit.markup(),
             QByteArray("\x8C"
                        "A~H"));
    QCOMPARE(edit.cursorPosition(), 1);
    for (const QList<QVariant> &change : changed)
        QCOMPARE(cyrillic.font->charMap().toBytes(change.first().toString()),
                 QByteArray("\x8C"
                            "A~H"));

    QSignalSpy refused(&edit, &SlotEdit::refused);
    type(&edit, QStringLiteral("Тî"));
    QCOMPARE(edit.markup(),
             QByteArray("\x8C\x92"
                        "A~H"));
    QCOMPARE(refused.count(), 1); // î is no letter of this font
    QApplication::clipboard()->setText(QStringLiteral("Ж♥"));
    edit.paste();
    QCOMPARE(edit.markup(), QByteArray("\x8C\x92\x86~HA~H"));

    // Back to the built-in font: the bytes as they were typed.
    edit.setCharMap(PanelCharMap::builtIn());
    QCOMPARE(edit.text(), QStringLiteral("îÆå~HA~H"));
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
