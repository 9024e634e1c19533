#include "appfixture.h"

#include "model/messageset.h"

using namespace varlo;
using namespace varlo::test;

class TestDocuments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void insertion_data();
    void insertion();
    void insertionWithoutAFocusedSlotDoesNothing();
    void insertionAfterTabKeepsTheOldText();
    void toolButtonsAndMenusLeaveTheFocus();
    void everyInsertCommand_data();
    void everyInsertCommand();
    void overlongMarkupIsFlagged();
};

void TestDocuments::insertion_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("anchor"); // where the selection starts (the caret, if no selection)
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("expectedCaret");

    QTest::newRow("caret after AB, star") << QByteArray("ABCD") << 2 << 2 << "PicStar"
                                          << QByteArray("AB~+CD") << 4;
    QTest::newRow("empty slot, heart") << QByteArray() << 0 << 0 << "BtnHeart" << QByteArray("~H") << 2;
    QTest::newRow("BC selected forwards, phone") << QByteArray("ABCD") << 1 << 3 << "BtnPhone"
                                                 << QByteArray("A~PBCD") << 3;
    QTest::newRow("BC selected backwards, phone") << QByteArray("ABCD") << 3 << 1 << "BtnPhone"
                                                  << QByteArray("A~PBCD") << 3;
    QTest::newRow("at the end, tilde") << QByteArray("AB") << 2 << 2 << "ToolButton8"
                                       << QByteArray("AB~~") << 4;
    QTest::newRow("null") << QByteArray("AB") << 0 << 0 << "BtnNull" << QByteArray("~RAB") << 2;
    QTest::newRow("124 plus bold is 126") << QByteArray(124, 'a') << 124 << 124 << "ToolButton3"
                                          << QByteArray(124, 'a') + "~B" << 126;
    QTest::newRow("bytes above 0x7F stay") << QByteArray("\x82\xFA") << 1 << 1 << "BtnSpeed1"
                                           << QByteArray("\x82~F\xFA") << 3;
}

void TestDocuments::insertion()
{
    QFETCH(QByteArray, text);
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QString, command);
    QFETCH(QByteArray, expected);
    QFETCH(int, expectedCaret);

    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    SlotEdit *edit = s.edit(6);
    edit->setMarkup(text);
    edit->setFocus(Qt::MouseFocusReason);
    edit->setCursorPosition(anchor);
    edit->cursorForward(true, caret - anchor);

    QTest::mouseClick(s.find<QToolButton>(command), Qt::LeftButton);
    QCOMPARE(edit->markup(), expected);
    QCOMPARE(edit->cursorPosition(), expectedCaret);
    QVERIFY(!edit->hasSelectedText());
    QCOMPARE(s.window->focusWidget(), edit);
    QVERIFY(s.window->isModified());
    s.tick();
    QCOMPARE(s.runBox(6)->text(), QString::number(expected.size()));
    QVERIFY(s.btnSave()->isEnabled());
}

void TestDocuments::insertionWithoutAFocusedSlotDoesNothing()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    s.tick();
    auto *port = s.find<QComboBox>(QStringLiteral("ComboBox3"));
    port->setFocus();
    const MessageSet before = s.window->messageSet();
    for (const char *name : {"PicStar", "BtnNull", "ToolButton3"})
        QTest::mouseClick(s.find<QToolButton>(QLatin1String(name)), Qt::LeftButton);
    s.find<QAction>(QStringLiteral("Heart1"))->trigger();
    QCOMPARE(s.window->messageSet(), before);
    QVERIFY(!s.window->isModified());
    s.tick();
    QVERIFY(!s.btnSave()->isEnabled());
    QCOMPARE(s.window->focusWidget(), port);
}

void TestDocuments::insertionAfterTabKeepsTheOldText()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    s.edit(1)->setMarkup("HELLO");
    QCOMPARE(QApplication::focusWidget(), s.edit(0));
    QTest::keyClick(s.edit(0), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), s.edit(1));
    QCOMPARE(s.edit(1)->selectedText(), QStringLiteral("HELLO"));
    s.find<QAction>(QStringLiteral("Plane1"))->trigger();
    QCOMPARE(s.edit(1)->markup(), QByteArray("~xHELLO"));
    QCOMPARE(s.edit(1)->cursorPosition(), 2);
}

void TestDocuments::toolButtonsAndMenusLeaveTheFocus()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    SlotEdit *edit = s.edit(3);
    edit->setFocus(Qt::MouseFocusReason);

    // Through the Picture menu, as a user picks from it.
    auto *picture = s.find<QMenu>(QStringLiteral("Picture1"));
    picture->popup(s.window->mapToGlobal(QPoint(40, 20)));
    QVERIFY(QTest::qWaitForWindowExposed(picture));
    picture->setActiveAction(s.find<QAction>(QStringLiteral("UserDefine1")));
    QTest::keyClick(picture, Qt::Key_Return);
    QTRY_VERIFY(!picture->isVisible());
    QCOMPARE(edit->markup(), QByteArray("~R"));
    QTRY_COMPARE(QApplication::focusWidget(), edit);

    QTest::mouseClick(s.find<QToolButton>(QStringLiteral("BtnSmile")), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), edit);
    QCOMPARE(edit->markup(), QByteArray("~R~S"));
}

void TestDocuments::everyInsertCommand_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("escape");
    const std::pair<const char *, const char *> commands[] = {
        {"Star1", "~+"},       {"Heart1", "~H"},   {"RightArrow1", "~>"}, {"LeftArrow1", "~<"},
        {"Smile1", "~S"},      {"Plane1", "~x"},   {"Circle01", "~O"},    {"Circle1", "~o"},
        {"Phone1", "~P"},      {"ToolButton8", "~~"}, {"UserDefine1", "~R"}, {"BtnSpeed1", "~F"},
        {"ToolButton2", "~A"}, {"ToolButton3", "~B"},
    };
    for (const auto &[action, escape] : commands)
        QTest::newRow(action) << QString::fromLatin1(action) << QByteArray(escape);
}

void TestDocuments::everyInsertCommand()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, escape);
    QTemporaryDir dir;
    Started s(dir.path());
    s.edit(0)->setFocus();
    s.find<QAction>(action)->trigger();
    QCOMPARE(s.edit(0)->markup(), escape);
}

void TestDocuments::overlongMarkupIsFlagged()
{
    QTemporaryDir dir;
    Started s(dir.path());
    MessageSet set = s.window->messageSet();
    set.setMarkup(0, QByteArray(124, 'a') + "~+~+");          // 126 cells
    set.setMarkup(1, QByteArray(123, 'a') + "~B~F~+~H");      // 125 cells
    s.window->takeTextsAndSpeedCodes(set);
    s.tick();
    QCheckBox *over = s.runBox(0);
    QCheckBox *full = s.runBox(1);
    QCOMPARE(over->text(), QStringLiteral("128"));
    QVERIFY(over->statusTip().contains(QLatin1String("126")));
    QVERIFY(over->statusTip().contains(QLatin1String("125")));
    QCOMPARE(over->palette().color(QPalette::WindowText), QColor(200, 0, 0));
    QVERIFY(full->statusTip().isEmpty());
    QVERIFY(full->palette().color(QPalette::WindowText) != QColor(200, 0, 0));

    // Shortened again, the warning goes.
    s.edit(0)->setMarkup("short");
    s.tick();
    QVERIFY(over->statusTip().isEmpty());
    QCOMPARE(over->palette().color(QPalette::WindowText),
             full->palette().color(QPalette::WindowText));
}

QObject *makeTestDocuments()
{
    return new TestDocuments;
}

#include "tst_documents.moc"
