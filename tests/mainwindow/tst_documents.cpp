// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/appfixture.h"

#include "files/messagefile.h"
#include "model/messageset.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QThread>

#include <cerrno>

using namespace varlo;
using namespace varlo::test;

namespace {

// A document with texts in A and C and a speed change in B, not saved.
void makeChanges(Started &s)
{
    QTest::keyClicks(s.edit(0), QStringLiteral("HI~H"));
    QTest::keyClicks(s.edit(2), QStringLiteral("THIRD"));
    s.speedButton(1)->click();
    QVERIFY(s.document().isModified());
}

// A message file for the set whose slots hold `texts` at speed code `speed`.
QByteArray fileFor(const QList<QByteArray> &texts, quint8 speed = 4)
{
    MessageSet set;
    set.clearForNew();
    set.speedCodes().fill(speed);
    for (int i = 0; i < texts.size(); ++i)
        set.setMarkup(i, texts[i]);
    return encodeMessageFile(set);
}

QString captionFor(const QString &name)
{
    return QString::fromLatin1(Document::kCaptionPrefix) + name + QLatin1Char(']');
}

// What the user sees of the document, to show that a command changed none
// of it.
struct Snapshot
{
    MessageSet set;
    QString fileName;
    QString caption;
    bool modified;

    explicit Snapshot(const Started &s)
        : set(s.document().messageSet())
        , fileName(s.document().fileName())
        , caption(s.window->windowTitle())
        , modified(s.document().isModified())
    {
    }
    bool operator==(const Snapshot &) const = default;
};

} // namespace

class TestDocuments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestUiFont(); }

    void insertion_data();
    void insertion();
    void insertionWithoutAFocusedSlotDoesNothing();
    void insertionAfterTabKeepsTheOldText();
    void toolButtonsAndMenusLeaveTheFocus();
    void everyInsertCommand_data();
    void everyInsertCommand();
    void overlongMarkupIsFlagged();

    void openValidFile();
    void openReadOnlyFile();
    void cancelledOpenChangesNothing();
    void failedOpenChangesNothing_data();
    void failedOpenChangesNothing();
    void openWithBadTrailerTakesWhatWasRead();
    void openDialogRemembersItsName();
    void fileNamedAtStartUpOpensAsOpenDoes_data();
    void fileNamedAtStartUpOpensAsOpenDoes();

    void saveUntitledAsksForAName();
    void cancelledUntitledSaveWritesNothing();
    void saveNamedDocumentWritesWithoutDialog();
    void saveOverExistingFileReplacesIt();
    void failedSaveKeepsTheFlag();
    void saveFaultKeepsTheOldFile_data();
    void saveFaultKeepsTheOldFile();
    void killedMidSaveLeavesAWholeFile();
    void tooLongTextIsNotSaved();
    void openedUntitleIsStillUntitled();
    void saveAs();
    void cancelledSaveAsChangesNothing();

    void closeQuestion_data();
    void closeQuestion();
    void closeWithoutChangesAsksNothing();

    void killedWithUnsavedMessagesOffersThemBack();
    void cancelAtTheCloseQuestionKeepsTheMessages_data();
    void cancelAtTheCloseQuestionKeepsTheMessages();
    void restoredNamedSetSavesToItsFile();
    void saveNewAndOpenRemoveTheCopy_data();
    void saveNewAndOpenRemoveTheCopy();

    void replacingUnsavedEditsAsks_data();
    void replacingUnsavedEditsAsks();
};

void TestDocuments::insertion_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("anchor"); // where the selection starts (the caret, if no selection)
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("expectedCaret");

    QTest::newRow("caret after AB, star") << QByteArray("ABCD") << 2 << 2 << "PicStar" << QByteArray("AB~+CD") << 4;
    QTest::newRow("empty slot, heart") << QByteArray() << 0 << 0 << "BtnHeart" << QByteArray("~H") << 2;
    QTest::newRow("BC selected forwards, phone")
        << QByteArray("ABCD") << 1 << 3 << "BtnPhone" << QByteArray("A~PBCD") << 3;
    QTest::newRow("BC selected backwards, phone")
        << QByteArray("ABCD") << 3 << 1 << "BtnPhone" << QByteArray("A~PBCD") << 3;
    QTest::newRow("at the end, tilde") << QByteArray("AB") << 2 << 2 << "ToolButton8" << QByteArray("AB~~") << 4;
    QTest::newRow("null") << QByteArray("AB") << 0 << 0 << "BtnNull" << QByteArray("~RAB") << 2;
    QTest::newRow("124 plus bold is 126")
        << QByteArray(124, 'a') << 124 << 124 << "ToolButton3" << QByteArray(124, 'a') + "~B" << 126;
    QTest::newRow("bytes above 0x7F stay")
        << QByteArray("\x82\xFA") << 1 << 1 << "BtnSpeed1" << QByteArray("\x82~F\xFA") << 3;
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
    QVERIFY(s.document().isModified());
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(6)->text(), QString::number(expected.size()));
    QVERIFY(s.btnSave()->isEnabled());
}

void TestDocuments::insertionWithoutAFocusedSlotDoesNothing()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    QVERIFY(s.tick());
    auto *port = s.find<QComboBox>(QStringLiteral("ComboBox3"));
    port->setFocus();
    const MessageSet before = s.document().messageSet();
    for (const char *name : {"PicStar", "BtnNull", "ToolButton3"})
        QTest::mouseClick(s.find<QToolButton>(QLatin1String(name)), Qt::LeftButton);
    s.find<QAction>(QStringLiteral("Heart1"))->trigger();
    QCOMPARE(s.document().messageSet(), before);
    QVERIFY(!s.document().isModified());
    QVERIFY(s.tick());
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
    // Past slot A's speed button.
    QTest::keyClick(s.edit(0), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
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
        {"Star1", "~+"},       {"Heart1", "~H"},    {"RightArrow1", "~>"}, {"LeftArrow1", "~<"},  {"Smile1", "~S"},
        {"Plane1", "~x"},      {"Circle01", "~O"},  {"Circle1", "~o"},     {"Phone1", "~P"},      {"ToolButton8", "~~"},
        {"UserDefine1", "~R"}, {"BtnSpeed1", "~F"}, {"ToolButton2", "~A"}, {"ToolButton3", "~B"},
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
    MessageSet set = s.document().messageSet();
    set.setMarkup(0, QByteArray(124, 'a') + "~+~+"); // 126 cells
    set.setMarkup(1, QByteArray(123, 'a') + "~B~F~+~H"); // 125 cells
    s.document().takeTextsAndSpeedCodes(set);
    QVERIFY(s.tick());
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
    QVERIFY(s.tick());
    QVERIFY(over->statusTip().isEmpty());
    QCOMPARE(over->palette().color(QPalette::WindowText), full->palette().color(QPalette::WindowText));
}

void TestDocuments::openValidFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("show.vlo");
    QByteArray bytes = fileFor({"HI~H", "", "\x82t\xE9"}, 2);
    bytes[15 + 4] = 7; // slot E at a speed code no glyph shows
    writeAll(path, bytes);

    Started s(dir.path());
    s.runBox(1)->setChecked(false);
    s.speedButton(4)->click(); // code 0, digit 1
    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.dialogs->openAnswers << path;
    QTest::mouseClick(s.find<QToolButton>(QStringLiteral("BtnOpen")), Qt::LeftButton);

    QCOMPARE(s.dialogs->filters, QStringList{"*.vlo"});
    QVERIFY(s.dialogs->messages.isEmpty());
    QCOMPARE(s.document().messageSet().markup(0), QByteArray("HI~H"));
    // Shown as the panel draws those bytes.
    QCOMPARE(s.edit(2)->text(), QStringLiteral("\u00E9t\u00DA"));
    // Each box shows the start of its text.
    QCOMPARE(s.edit(0)->cursorPosition(), 0);
    QCOMPARE(s.edit(2)->cursorPosition(), 0);
    QCOMPARE(s.document().messageSet().markup(2), QByteArray("\x82t\xE9"));
    QCOMPARE(int(s.document().messageSet().speedCode(0)), 2);
    QCOMPARE(shown(s.speedButton(0)->icon()), builtIn(SupportFiles::Speed3));
    QCOMPARE(int(s.document().messageSet().speedCode(4)), 7);
    QCOMPARE(shown(s.speedButton(4)->icon()), builtIn(SupportFiles::Speed1));
    QVERIFY(!s.runBox(1)->isChecked());
    QVERIFY(!s.document().isModified());
    QCOMPARE(s.document().fileName(), path);
    QCOMPARE(s.window->windowTitle(), captionFor(path));
    QVERIFY(s.tick());
    QVERIFY(!s.btnSave()->isEnabled());
}

void TestDocuments::openReadOnlyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("locked.vlo");
    writeAll(path, fileFor({"READ ONLY"}));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    Started s(dir.path());
    s.dialogs->openAnswers << path;
    s.trigger("Open1");
    QVERIFY(s.dialogs->messages.isEmpty());
    QCOMPARE(s.document().messageSet().markup(0), QByteArray("READ ONLY"));
    QCOMPARE(s.document().fileName(), path);
}

void TestDocuments::cancelledOpenChangesNothing()
{
    QTemporaryDir dir;
    Started s(dir.path());
    makeChanges(s);
    const Snapshot before(s);
    s.dialogs->openAnswers << QString();
    s.find<QAction>(QStringLiteral("Open1"))->trigger();
    QVERIFY(Snapshot(s) == before);
    QVERIFY(s.dialogs->messages.isEmpty());
}

void TestDocuments::failedOpenChangesNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QStringList>("messages"); // "%1" stands for the path
    QTest::addColumn<QString>("why"); // the last box's detail: the path, then this

    QTest::newRow("missing") << QByteArray() << QStringList{"%1 File No Found !", " File Read Error! "}
                             << qt_error_string(ENOENT);
    QByteArray badHeader = fileFor({"X"});
    badHeader[2] = 'Q';
    QTest::newRow("rejected header") << badHeader << QStringList{" File Read Error! "}
                                     << QStringLiteral(
                                            "Not a message file: its header does not have a space at byte 3.");
    QTest::newRow("two bytes") << QByteArray("  ") << QStringList{" File Read Error! "}
                               << QStringLiteral("The file is too short for a message file (2 bytes).");
}

void TestDocuments::failedOpenChangesNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.vlo");
    if (!content.isEmpty())
        writeAll(path, content);

    Started s(dir.path());
    makeChanges(s);
    const Snapshot before(s);
    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.dialogs->openAnswers << path;
    s.trigger("Open1");

    QStringList expected;
    for (const QString &m : messages)
        expected << QString(m).replace(QStringLiteral("%1"), path);
    QCOMPARE(s.dialogs->messageTexts(), expected);
    QCOMPARE(s.dialogs->messages.last().detail, path + QLatin1Char('\n') + why);
    QVERIFY(Snapshot(s) == before);
    QVERIFY(s.tick());
    QVERIFY(s.btnSave()->isEnabled());
}

void TestDocuments::openWithBadTrailerTakesWhatWasRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.vlo");
    QByteArray bytes = fileFor({"FIRST", "SECOND"}, 1);
    bytes.chop(3);
    bytes += "end";
    writeAll(path, bytes);

    Started s(dir.path());
    makeChanges(s);
    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.dialogs->openAnswers << path;
    s.trigger("Open1");
    QCOMPARE(s.dialogs->messageTexts(), QStringList{" End of File not found! "});
    QCOMPARE(s.document().messageSet().markup(1), QByteArray("SECOND"));
    QCOMPARE(s.document().messageSet().markup(2), QByteArray());
    QCOMPARE(int(s.document().messageSet().speedCode(1)), 1);
    QCOMPARE(s.document().fileName(), path);
    QCOMPARE(s.window->windowTitle(), captionFor(path));
    QVERIFY(!s.document().isModified());
}

void TestDocuments::openDialogRemembersItsName()
{
    QTemporaryDir dir;
    const QString first = dir.filePath("first.vlo");
    writeAll(first, fileFor({"ONE"}));
    Started s(dir.path());
    s.dialogs->openAnswers << QString() << first << QString();
    s.trigger("Open1");
    s.trigger("Open1");
    s.trigger("Open1");
    QCOMPARE(s.dialogs->openPresets, (QStringList{QString(), QString(), first}));
    // Saving under another name does not change what Open shows.
    s.dialogs->saveAnswers << dir.filePath("other");
    s.trigger("SaveAs1");
    s.dialogs->openAnswers << QString();
    s.trigger("Open1");
    QCOMPARE(s.dialogs->openPresets.last(), first);
}

void TestDocuments::fileNamedAtStartUpOpensAsOpenDoes_data()
{
    QTest::addColumn<QByteArray>("content"); // of doc.vlo; empty: no file at all
    QTest::addColumn<QString>("argument"); // "%1" stands for the folder of doc.vlo
    QTest::addColumn<QStringList>("messages"); // "%1" as above
    QTest::addColumn<bool>("opened");

    const QByteArray valid = fileFor({"HI~H", "", "THIRD"}, 2);
    QByteArray badTrailer = valid;
    badTrailer.chop(3);
    badTrailer += "end";
    QByteArray badHeader = valid;
    badHeader[2] = 'Q';

    QTest::newRow("full path") << valid << "%1/doc.vlo" << QStringList{} << true;
    QTest::newRow("relative path") << valid << "doc.vlo" << QStringList{} << true;
    QTest::newRow("path through ..") << valid << "%1/sub/../doc.vlo" << QStringList{} << true;
    QTest::newRow("bad trailer") << badTrailer << "doc.vlo" << QStringList{" End of File not found! "} << true;
    QTest::newRow("missing") << QByteArray() << "doc.vlo"
                             << QStringList{"%1/doc.vlo File No Found !", " File Read Error! "} << false;
    QTest::newRow("rejected header") << badHeader << "doc.vlo" << QStringList{" File Read Error! "} << false;
}

// Started as `varlo FILE`, the window ends up exactly as if the user had
// started it bare and opened FILE through the Open dialog.
void TestDocuments::fileNamedAtStartUpOpensAsOpenDoes()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, argument);
    QFETCH(QStringList, messages);
    QFETCH(bool, opened);
    QTemporaryDir dir;
    // The working directory is compared with it, and resolves links.
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const QString path = folder + QStringLiteral("/doc.vlo");
    if (!content.isEmpty())
        writeAll(path, content);

    const QString home = QDir::currentPath();
    const auto goHome = qScopeGuard([&] { QDir::setCurrent(home); });
    QVERIFY(QDir::setCurrent(folder));
    Started byName(folder, QString(), argument.replace(QStringLiteral("%1"), folder));
    Started byDialog(folder);
    byDialog.dialogs->openAnswers << path;
    byDialog.trigger("Open1");

    QStringList expected;
    for (const QString &m : messages)
        expected << QString(m).replace(QStringLiteral("%1"), folder);
    QCOMPARE(byName.dialogs->messageTexts(), expected);
    QCOMPARE(byDialog.dialogs->messageTexts(), expected);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(byName.dialogs->messages[i].detail, byDialog.dialogs->messages[i].detail);
    QVERIFY(Snapshot(byName) == Snapshot(byDialog));
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QCOMPARE(shown(byName.speedButton(i)->icon()), shown(byDialog.speedButton(i)->icon()));

    if (opened) {
        QCOMPARE(byName.document().messageSet().markup(0), QByteArray("HI~H"));
        QCOMPARE(byName.document().messageSet().markup(2), QByteArray("THIRD"));
        QCOMPARE(shown(byName.speedButton(0)->icon()), builtIn(SupportFiles::Speed3));
        QCOMPARE(byName.document().fileName(), path);
        QCOMPARE(byName.window->windowTitle(), captionFor(path));
    } else {
        // The empty set of a bare start.
        QCOMPARE(byName.document().messageSet().markup(0), QByteArray());
        QCOMPARE(shown(byName.speedButton(0)->icon()), builtIn(SupportFiles::Speed5));
        QCOMPARE(byName.window->windowTitle(), kFirstCaption);
    }
    QVERIFY(!byName.document().isModified());
    QVERIFY(byName.tick());
    QVERIFY(!byName.btnSave()->isEnabled());
    QCOMPARE(byName.window->focusWidget(), byName.edit(0));
    // The Open dialog starts from that file, as after a confirmed Open.
    byName.dialogs->openAnswers << QString();
    byName.trigger("Open1");
    QCOMPARE(byName.dialogs->openPresets, QStringList{path});
}

void TestDocuments::saveUntitledAsksForAName()
{
    QTemporaryDir dir;
    Started s(dir.path());
    makeChanges(s);
    s.dialogs->saveAnswers << dir.filePath("demo");
    QTest::mouseClick(s.btnSave(), Qt::LeftButton);

    const QString saved = dir.filePath("demo.vlo");
    QCOMPARE(s.dialogs->savePresets, QStringList{"untitle.vlo"});
    QCOMPARE(s.dialogs->filters, QStringList{"*.vlo"});
    QCOMPARE(s.document().fileName(), saved);
    QCOMPARE(s.window->windowTitle(), captionFor(saved));
    QVERIFY(!s.document().isModified());
    QVERIFY(s.tick());
    QVERIFY(!s.btnSave()->isEnabled());
    QCOMPARE(readAll(saved), encodeMessageFile(s.document().messageSet()));
    QCOMPARE(readAll(saved).mid(15, 3), QByteArray("\x04\x00\x04", 3));
}

void TestDocuments::cancelledUntitledSaveWritesNothing()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    Started s(dir.path());
    makeChanges(s);
    const Snapshot before(s);
    s.dialogs->saveAnswers << QString();
    s.find<QAction>(QStringLiteral("Save1"))->trigger();
    QVERIFY(Snapshot(s) == before);
    QVERIFY(!QFile::exists(dir.filePath("untitle.vlo")));
    QVERIFY(s.tick());
    QVERIFY(s.btnSave()->isEnabled());
    QDir::setCurrent(previous);
}

void TestDocuments::saveNamedDocumentWritesWithoutDialog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("named.vlo");
    writeAll(path, fileFor({"OLD"}));
    Started s(dir.path());
    s.openAndType(path, QStringLiteral(" NEW"));
    QVERIFY(s.save());
    QVERIFY(s.dialogs->savePresets.isEmpty());
    QCOMPARE(readAll(path), fileFor({"OLD NEW"}));
    QCOMPARE(s.window->windowTitle(), captionFor(path));
    QVERIFY(!s.document().isModified());
}

void TestDocuments::saveOverExistingFileReplacesIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.vlo");
    writeAll(path, fileFor({QByteArray(100, 'x'), QByteArray(100, 'y')}));
    Started s(dir.path());
    QTest::keyClicks(s.edit(0), QStringLiteral("HI~H"));
    s.speedButton(0)->click(); // code 0
    s.dialogs->saveAnswers << path;
    QVERIFY(s.save());
    // The shorter set, and nothing of the old file after it.
    const QByteArray expected = QByteArray(15, ' ') + QByteArray("\x00", 1) + QByteArray(19, 4) + QByteArray("\x04HI~H")
        + QByteArray(19, 0) + "END";
    QCOMPARE(readAll(path), expected);
    QCOMPARE(expected.size(), 62);
}

void TestDocuments::failedSaveKeepsTheFlag()
{
    QTemporaryDir dir;
    writeAll(dir.filePath("file"), "x");
    Started s(dir.path());
    makeChanges(s);
    const Snapshot before(s);
    // A folder that can't exist: it lies under a file.
    s.dialogs->saveAnswers << dir.filePath("file/sub/demo");
    QVERIFY(!s.save());
    QCOMPARE(s.dialogs->messages.size(), 1);
    QCOMPARE(s.dialogs->messages[0].text, QStringLiteral(" File Write Error! "));
    // The file in full (the dialog answered with it), then the system's reason.
    QCOMPARE(s.dialogs->messages[0].detail,
             dir.filePath("file/sub/demo.vlo") + QLatin1Char('\n') + qt_error_string(ENOTDIR));
    QVERIFY(Snapshot(s) == before);
    QVERIFY(s.tick());
    QVERIFY(s.btnSave()->isEnabled());
}

namespace {

// The file the windowsave program saves over: every slot full, so that the
// file is long and far over the size limit, and slot A holding `slotA`.
QByteArray fullFile(const QByteArray &slotA)
{
    QList<QByteArray> texts;
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        texts << QByteArray(255, char('a' + i));
    texts[0] = slotA;
    return fileFor(texts);
}

void startWindowSave(QProcess &process, const QString &mode, const QString &path)
{
    process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process.start(QStringLiteral(WINDOWSAVE_PATH), {mode, path});
}

} // namespace

void TestDocuments::saveFaultKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("folder without write permission") << "nobody";
    QTest::newRow("disk full: file size limit") << "filesize";
}

void TestDocuments::saveFaultKeepsTheOldFile()
{
    QFETCH(QString, mode);

    QTemporaryDir dir;
    const QString folder = dir.filePath("folder");
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + "/set.vlo";
    const QByteArray old = fullFile("old");
    writeAll(path, old);
    // Anyone may enter both folders and write the file itself; for "nobody"
    // no one but root may write into the folder, and the window runs as
    // nobody, so the folder is all that stands in the way.
    const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    if (mode == "nobody")
        QVERIFY(QFile::setPermissions(folder, readOnly));

    QProcess process;
    startWindowSave(process, mode, path);
    QVERIFY(process.waitForFinished(60000));
    QFile::setPermissions(folder, readOnly | QFile::WriteOwner);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("saved 0"));
    QCOMPARE(lines[1], QStringLiteral("modified 1"));
    // The box, and beneath it the file and the operating system's reason.
    QVERIFY2(lines[2].startsWith("message  File Write Error! |" + path + " | ") && lines[2].size() > 40 + path.size(),
             qPrintable(lines[2]));
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"set.vlo"});
}

void TestDocuments::killedMidSaveLeavesAWholeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.vlo");
    writeAll(path, fullFile("old"));

    QRandomGenerator random(20240614);
    for (int round = 0; round < 12; ++round) {
        // The window saves slot A as "1", "2", "3" ... and says so after each.
        QProcess process;
        startWindowSave(process, "loop", path);
        QVERIFY(process.waitForStarted(10000));
        QByteArray out;
        while (!out.contains('\n') && process.waitForReadyRead(30000))
            out += process.readAllStandardOutput();
        QVERIFY2(out.startsWith("saved 1\n"), out.constData());
        QThread::usleep(random.bounded(20000));
        process.kill();
        QVERIFY(process.waitForFinished(10000));
        out += process.readAllStandardOutput();

        // The file is the last save the window finished, or the one it was
        // finishing: whole, byte for byte.
        const int saved = int(out.count("saved 1\n"));
        const QByteArray now = readAll(path);
        QVERIFY2(now == fullFile(QByteArray::number(saved)) || now == fullFile(QByteArray::number(saved + 1)),
                 qPrintable(QStringLiteral("round %1: %2 bytes after %3 saves").arg(round).arg(now.size()).arg(saved)));
    }
}

void TestDocuments::tooLongTextIsNotSaved()
{
    QTemporaryDir dir;
    Started s(dir.path());
    MessageSet set = s.document().messageSet();
    set.setMarkup(1, QByteArray(256, 'b'));
    s.document().takeTextsAndSpeedCodes(set);
    const Snapshot before(s);
    s.dialogs->saveAnswers << dir.filePath("big.vlo");
    QVERIFY(!s.save());
    QCOMPARE(s.dialogs->messageTexts(), QStringList{" Slot B text too long (255 characters at most)! "});
    QVERIFY(!QFile::exists(dir.filePath("big.vlo")));
    QVERIFY(Snapshot(s) == before);
}

void TestDocuments::openedUntitleIsStillUntitled()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("m"));
    const QString untitled = dir.filePath("m/untitle.vlo");
    const QString capital = dir.filePath("m/Untitle.vlo");
    writeAll(untitled, fileFor({"U"}));
    writeAll(capital, fileFor({"C"}));
    Started s(dir.path());

    s.openAndType(untitled, QStringLiteral("!"));
    s.dialogs->saveAnswers << QString();
    s.save();
    QCOMPARE(s.dialogs->savePresets, QStringList{untitled});

    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.openAndType(capital, QStringLiteral("!"));
    QVERIFY(s.save());
    QCOMPARE(s.dialogs->savePresets.size(), 1);
    QCOMPARE(readAll(capital), fileFor({"C!"}));
}

void TestDocuments::saveAs()
{
    QTemporaryDir dir;
    const QString first = dir.filePath("first.vlo");
    writeAll(first, fileFor({"ONE"}));
    Started s(dir.path());
    s.openAndType(first, QStringLiteral("+"));

    s.dialogs->saveAnswers << dir.filePath("copy");
    s.find<QAction>(QStringLiteral("SaveAs1"))->trigger();
    const QString copy = dir.filePath("copy.vlo");
    QCOMPARE(s.dialogs->savePresets, QStringList{first});
    QCOMPARE(readAll(copy), fileFor({"ONE+"}));
    QCOMPARE(readAll(first), fileFor({"ONE"}));
    QCOMPARE(s.document().fileName(), copy);
    QCOMPARE(s.window->windowTitle(), captionFor(copy));
    QVERIFY(!s.document().isModified());

    // The next Save goes to the copy, without a dialog.
    QTest::keyClicks(s.edit(0), QStringLiteral("+"));
    QVERIFY(s.save());
    QCOMPARE(readAll(copy), fileFor({"ONE++"}));
    QCOMPARE(s.dialogs->savePresets.size(), 1);
}

void TestDocuments::cancelledSaveAsChangesNothing()
{
    QTemporaryDir dir;
    Started s(dir.path());
    makeChanges(s);
    const Snapshot before(s);
    s.dialogs->saveAnswers << QString();
    s.trigger("SaveAs1");
    QVERIFY(Snapshot(s) == before);
    QCOMPARE(QDir(dir.path()).entryList({"*.vlo"}), QStringList());
}

void TestDocuments::closeQuestion_data()
{
    QTest::addColumn<bool>("named"); // opened from a file, or untitled
    QTest::addColumn<bool>("answerOk");
    QTest::addColumn<QString>("saveAnswer"); // for an untitled document
    QTest::addColumn<bool>("viaExit");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");

    QTest::newRow("named, OK") << true << true << "" << false << true << true;
    QTest::newRow("named, Cancel") << true << false << "" << false << true << false;
    QTest::newRow("untitled, OK, named in dialog") << false << true << "kept" << false << true << true;
    QTest::newRow("untitled, OK, dialog cancelled") << false << true << "" << false << false << false;
    QTest::newRow("untitled, OK, write fails") << false << true << "file/sub/x" << false << false << false;
    QTest::newRow("Exit, named, OK") << true << true << "" << true << true << true;
    QTest::newRow("Exit, untitled, Cancel") << false << false << "" << true << true << false;
}

void TestDocuments::closeQuestion()
{
    QFETCH(bool, named);
    QFETCH(bool, answerOk);
    QFETCH(QString, saveAnswer);
    QFETCH(bool, viaExit);
    QFETCH(bool, closed);
    QFETCH(bool, written);

    QTemporaryDir dir;
    writeAll(dir.filePath("file"), "x");
    const QString path = dir.filePath(named ? "doc.vlo" : "kept.vlo");
    const QByteArray original = fileFor({"BEFORE"});
    if (named)
        writeAll(path, original);
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
    if (named) {
        s.dialogs->openAnswers << path;
        s.trigger("Open1");
        QTest::keyClick(s.edit(0), Qt::Key_End); // an opened text shows its start
    }
    QTest::keyClicks(s.edit(0), QStringLiteral("AFTER"));
    s.dialogs->confirmAnswers << answerOk;
    if (!named && answerOk)
        s.dialogs->saveAnswers << (saveAnswer.isEmpty() ? QString() : dir.filePath(saveAnswer));

    if (viaExit)
        s.find<QAction>(QStringLiteral("Exit1"))->trigger();
    else
        s.window->close();

    QCOMPARE(s.dialogs->confirmations, QStringList{"Confirm| Save change ?"});
    QCOMPARE(!s.window->isVisible(), closed);
    const QByteArray now = readAll(path);
    if (written)
        QCOMPARE(now, fileFor({named ? "BEFOREAFTER" : "AFTER"}));
    else
        QCOMPARE(now, named ? original : QByteArray());
    QCOMPARE(s.document().isModified(), !written);
    QCOMPARE(s.dialogs->unanswered, 0);
}

void TestDocuments::closeWithoutChangesAsksNothing()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.runBox(0)->setChecked(false);
    QVERIFY(s.window->close());
    QVERIFY(s.dialogs->confirmations.isEmpty());
}

void TestDocuments::replacingUnsavedEditsAsks_data()
{
    using Choice = Dialogs::SaveChoice;
    QTest::addColumn<QString>("command"); // New1 or Open1
    QTest::addColumn<Choice>("choice");
    QTest::addColumn<QString>("saveAnswer"); // the Save dialog's answer for Save
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<bool>("written");

    for (const char *command : {"New1", "Open1"}) {
        const QString c = QString::fromLatin1(command);
        QTest::addRow("%s, Save", command) << c << Choice::Save << "kept" << true << true;
        QTest::addRow("%s, Save, dialog cancelled", command) << c << Choice::Save << "" << false << false;
        QTest::addRow("%s, Save, write fails", command) << c << Choice::Save << "file/sub/x" << false << false;
        QTest::addRow("%s, Discard", command) << c << Choice::Discard << "" << true << false;
        QTest::addRow("%s, Cancel", command) << c << Choice::Cancel << "" << false << false;
    }
}

// New and Open don't replace edits that are not saved without asking; when
// the chosen save does not happen, the edits stay.
void TestDocuments::replacingUnsavedEditsAsks()
{
    QFETCH(QString, command);
    QFETCH(Dialogs::SaveChoice, choice);
    QFETCH(QString, saveAnswer);
    QFETCH(bool, replaced);
    QFETCH(bool, written);

    QTemporaryDir dir;
    writeAll(dir.filePath("file"), "x");
    const QString other = dir.filePath("other.vlo");
    writeAll(other, fileFor({"OTHER"}));
    Started s(dir.path());
    QTest::keyClicks(s.edit(0), QStringLiteral("EDIT"));
    s.dialogs->saveChangesAnswers << choice;
    if (choice == Dialogs::SaveChoice::Save)
        s.dialogs->saveAnswers << (saveAnswer.isEmpty() ? QString() : dir.filePath(saveAnswer));
    if (command == "Open1" && replaced)
        s.dialogs->openAnswers << other;

    s.trigger(command.toLatin1().constData());

    QCOMPARE(s.dialogs->saveQuestions.size(), 1);
    const QString expected = !replaced ? QStringLiteral("EDIT")
        : command == "Open1"           ? QStringLiteral("OTHER")
                                       : QString();
    QCOMPARE(s.edit(0)->text(), expected);
    // (New itself leaves the set marked as changed, as it always has.)
    if (command == "Open1" || !replaced)
        QCOMPARE(s.document().isModified(), !replaced);
    QCOMPARE(readAll(dir.filePath("kept.vlo")), written ? fileFor({"EDIT"}) : QByteArray());
    QCOMPARE(s.dialogs->unanswered, 0);
}

QTEST_MAIN(TestDocuments)
namespace {

QString recoveryCopyIn(const QString &folder)
{
    return Started::recoveryFolder(folder) + QStringLiteral("/unsaved.json");
}

// The answer to the start's question, given before the window is built.
std::function<void(RecordingDialogs &)> answerRestore(bool restore)
{
    return [restore](RecordingDialogs &dialogs) { dialogs.restoreAnswers << restore; };
}

} // namespace

void TestDocuments::killedWithUnsavedMessagesOffersThemBack()
{
    // A program of its own types into the window, and is killed once the
    // copy is there: no close event, no question, no destructor.
    QTemporaryDir dir;
    QProcess process;
    startWindowSave(process, "typed", dir.path());
    QVERIFY(process.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("kept\n") && process.waitForReadyRead(30000))
        out += process.readAllStandardOutput();
    QCOMPARE(out, QByteArray("kept\n"));
    process.kill();
    QVERIFY(process.waitForFinished(10000));

    Started s(dir.path(), {}, {}, answerRestore(true));
    QCOMPARE(s.dialogs->restoreQuestions.size(), 1);
    QVERIFY2(s.dialogs->restoreQuestions[0].startsWith(
                 QStringLiteral("Unsaved messages|Restore the messages that were not saved on ")),
             qPrintable(s.dialogs->restoreQuestions[0]));
    QCOMPARE(s.edit(0)->markup(), QByteArray("KEPT~H"));
    QCOMPARE(s.edit(2)->markup(), QByteArray("too"));
    QCOMPARE(int(s.document().messageSet().speedCode(2)), 0);
    QCOMPARE(int(s.document().messageSet().speedCode(1)), 4);
    // Restored, not saved: still untitled and modified, so Save asks for a name.
    QVERIFY(s.document().isModified());
    QCOMPARE(s.window->windowTitle(), kFirstCaption);
    QVERIFY(s.tick());
    QVERIFY(s.btnSave()->isEnabled());
    s.dialogs->saveAnswers << dir.filePath("rescued.vlo");
    QVERIFY(s.save());
    QCOMPARE(s.dialogs->savePresets, QStringList{QStringLiteral("untitle.vlo")});
    QVERIFY(!QFile::exists(recoveryCopyIn(dir.path())));
    QCOMPARE(s.dialogs->unanswered, 0);
}

void TestDocuments::cancelAtTheCloseQuestionKeepsTheMessages_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("restored") << true;
    QTest::newRow("discarded") << false;
}

void TestDocuments::cancelAtTheCloseQuestionKeepsTheMessages()
{
    QFETCH(bool, restore);
    QTemporaryDir dir;
    {
        Started s(dir.path());
        QTest::keyClicks(s.edit(4), QStringLiteral("ESC LOST"));
        // The question stays as it is: Cancel saves nothing and the window closes.
        s.dialogs->confirmAnswers << false;
        QVERIFY(s.window->close());
        QCOMPARE(s.dialogs->confirmations.size(), 1);
        QVERIFY(QFile::exists(recoveryCopyIn(dir.path())));
    }
    {
        Started s(dir.path(), {}, {}, answerRestore(restore));
        QCOMPARE(s.dialogs->restoreQuestions.size(), 1);
        QCOMPARE(s.edit(4)->markup(), restore ? QByteArray("ESC LOST") : QByteArray());
        QCOMPARE(s.document().isModified(), restore);
        // Discarded is gone; restored is kept until it is saved or let go.
        QCOMPARE(QFile::exists(recoveryCopyIn(dir.path())), restore);
    }
    Started again(dir.path(), {}, {}, answerRestore(true));
    QCOMPARE(again.dialogs->restoreQuestions.size(), restore ? 1 : 0);
}

void TestDocuments::restoredNamedSetSavesToItsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shop.vlo");
    writeAll(path, fileFor({"OPEN"}));
    {
        Started s(dir.path(), {}, path);
        s.edit(0)->setFocus();
        QTest::keyClick(s.edit(0), Qt::Key_End);
        QTest::keyClicks(s.edit(0), QStringLiteral(" 9-5"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recoveryCopyIn(dir.path())), 30000);
    } // destroyed without the close path, as by a crash

    Started s(dir.path(), {}, {}, answerRestore(true));
    QCOMPARE(s.edit(0)->markup(), QByteArray("OPEN 9-5"));
    QCOMPARE(s.document().fileName(), path);
    QVERIFY(s.document().isModified());
    QVERIFY(s.save());
    QVERIFY(s.dialogs->savePresets.isEmpty());
    QCOMPARE(readAll(path), fileFor({"OPEN 9-5"}));
    QVERIFY(!QFile::exists(recoveryCopyIn(dir.path())));
}

void TestDocuments::saveNewAndOpenRemoveTheCopy_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Save") << QStringLiteral("Save1");
    QTest::newRow("New, discarding") << QStringLiteral("New1");
    QTest::newRow("Open, discarding") << QStringLiteral("Open1");
}

void TestDocuments::saveNewAndOpenRemoveTheCopy()
{
    QFETCH(QString, command);
    QTemporaryDir dir;
    const QString other = dir.filePath("other.vlo");
    writeAll(other, fileFor({"OTHER"}));
    Started s(dir.path());
    QTest::keyClicks(s.edit(1), QStringLiteral("draft"));
    // Written a few seconds after the last change, not at every keystroke.
    auto *timer = s.find<QTimer>(QStringLiteral("RecoveryTimer"));
    QVERIFY(timer->isActive());
    QVERIFY(timer->isSingleShot());
    QVERIFY(!QFile::exists(recoveryCopyIn(dir.path())));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(recoveryCopyIn(dir.path())), 30000);

    s.dialogs->saveAnswers << dir.filePath("draft.vlo");
    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.dialogs->openAnswers << other;
    s.trigger(command.toLatin1().constData());
    QVERIFY(!QFile::exists(recoveryCopyIn(dir.path())));
}

#include "tst_documents.moc"
