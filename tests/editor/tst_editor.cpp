// SPDX-License-Identifier: GPL-3.0-or-later
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

    void typingStopsAt124();
    void longTextFromProgramStaysAndCanShrink();
    void pasteObeysTheLimit();
    void typingAnUndrawableCharacterIsRefused();
    void typedCharactersBecomePanelBytes();
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
