// SPDX-License-Identifier: GPL-3.0-or-later
// The Character Generator: glyphs drawn with the mouse and the keyboard,
// undo, the font file commands and their questions, and the drawn font
// loaded into a virtual panel.
#include "charactergenerator/fonteditorwindow.h"
#include "charactergenerator/glyphedit.h"
#include "charactergenerator/glyphgrid.h"
#include "charactergenerator/pictureimportdialog.h"
#include "link/fontupload.h"
#include "support/appfixture.h"
#include "support/recordingreporter.h"
#include "support/virtualports.h"
#include "virtualpanel/panelmemory.h"

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSlider>
#include <QUndoStack>

#include <bit>

using namespace varlo;
using namespace varlo::test;
using Font = FontTable::Font;

namespace {

QByteArray glyphBytes(FontTable::Glyph glyph)
{
    return QByteArray(reinterpret_cast<const char *>(glyph.data()), FontTable::kGlyphBytes);
}

// A mouse event as a drag delivers it, the left button held.
void dragTo(QWidget *widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class TestFontEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useTestUiFont(); }
    void init();
    void cleanup();

    void drawSaveReopenAndLoadIntoThePanel();
    void glyphCommands_data();
    void glyphCommands();
    void labelsAreChecked();
    void insertPutsTheCodeIntoTheSlot();
    void closingWithChanges_data();
    void closingWithChanges();
    void oneStrokeIsOneUndoStep();
    void keysMoveTheChosenGlyph_data();
    void keysMoveTheChosenGlyph();
    void insertWithoutASlotSaysSo();
    void pictureImport();
    void pictureSizes_data();
    void pictureSizes();

private:
    FontEditorWindow *openEditor() const
    {
        m_started->trigger("CharacterGenerator1");
        FontEditorWindow *editor = m_started->window->fontEditor();
        if (editor && !QTest::qWaitForWindowExposed(editor))
            qWarning("the Character Generator did not show");
        return editor;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Started> m_started;
};

void TestFontEditor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_started = std::make_unique<Started>(m_dir->path());
}

void TestFontEditor::cleanup()
{
    if (FontEditorWindow *editor = m_started->window->fontEditor())
        editor->undoStack()->setClean(); // nothing left to ask about
    m_started.reset();
    m_dir.reset();
}

void TestFontEditor::drawSaveReopenAndLoadIntoThePanel()
{
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    QVERIFY(editor->windowTitle().contains(QStringLiteral("untitled.vlf")));

    // Code 200 of the normal face, cleared, then drawn on.
    QTest::mouseClick(editor->grid(), Qt::LeftButton, {}, editor->grid()->cellCentre(Font::Normal, 200));
    QCOMPARE(editor->grid()->currentCode(), quint8(200));
    editor->action(QStringLiteral("clear"))->trigger();
    GlyphEdit *edit = editor->glyphEdit();
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->dotCentre(0, 0));
    QTest::mousePress(edit, Qt::LeftButton, {}, edit->dotCentre(1, 1));
    dragTo(edit, edit->dotCentre(2, 1));
    dragTo(edit, edit->dotCentre(3, 1));
    QTest::mouseRelease(edit, Qt::LeftButton, {}, edit->dotCentre(3, 1));
    edit->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(edit, Qt::Key_Right);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(edit, Qt::Key_Space);
    const QByteArray drawn = QByteArray::fromHex("0102020200004000");
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), drawn);

    // The dot of the key was a step of its own: undo takes back that one.
    editor->action(QStringLiteral("undo"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), QByteArray::fromHex("0102020200000000"));
    editor->action(QStringLiteral("redo"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), drawn);

    editor->labelEdit()->selectAll();
    QTest::keyClicks(editor->labelEdit(), QStringLiteral("(logo)"));
    QTest::keyClick(editor->labelEdit(), Qt::Key_Return);
    QCOMPARE(editor->font().label(Font::Normal, 200), QStringLiteral("(logo)"));
    QVERIFY(editor->isModifiedFont());

    // Save As (Ctrl+Shift+S, as in the main window) adds the extension; the
    // caption names the file.
    const QString path = m_dir->filePath(QStringLiteral("logo.vlf"));
    m_started->dialogs->saveAnswers.enqueue(m_dir->filePath(QStringLiteral("logo")));
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    QTest::keyClick(editor->glyphEdit(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!editor->isModifiedFont());
    QVERIFY2(editor->windowTitle().contains(QStringLiteral("logo.vlf")), qPrintable(editor->windowTitle()));
    QVERIFY(QFileInfo::exists(path));

    // New starts from the built-in font; Open brings the drawing back.
    editor->action(QStringLiteral("new"))->trigger();
    QCOMPARE(editor->font().image(), FontTable::image().toByteArray());
    m_started->dialogs->openAnswers.enqueue(path);
    editor->action(QStringLiteral("open"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), drawn);
    QCOMPARE(editor->font().label(Font::Normal, 200), QStringLiteral("(logo)"));
    QCOMPARE(m_started->dialogs->unanswered, 0);

    // Loaded into a panel, the glyph is in its character generator.
    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(3);
    RecordingReporter reporter;
    QVERIFY(reporter.upload(planFontUpload(editor->font().image()).value(), PortChoice::com(3)).done());
    QCOMPARE(panel.waitForBytes(4416, 5000), 4416);
    const PanelMemory memory = memoryOf(panel);
    QVERIFY(memory.fontLoaded());
    QCOMPARE(glyphBytes(FontTable::glyph(memory.characterGenerator(), Font::Normal, 200)), drawn);
    QCOMPARE(glyphBytes(FontTable::glyph(memory.characterGenerator(), Font::Bold, 200)),
             glyphBytes(FontTable::glyph(Font::Bold, 200)));
}

void TestFontEditor::glyphCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<Font>("face");
    QTest::addColumn<QByteArray>("glyph"); // of `face`, code 65, after the command

    // Normal A is 7C 12 11 12 7C 00 00 00.
    QTest::newRow("shift right") << QStringLiteral("shiftRight") << Font::Normal
                                 << QByteArray::fromHex("007C1211127C0000");
    QTest::newRow("shift left loses column 0")
        << QStringLiteral("shiftLeft") << Font::Normal << QByteArray::fromHex("1211127C00000000");
    QTest::newRow("shift up loses row 0")
        << QStringLiteral("shiftUp") << Font::Normal << QByteArray::fromHex("3E0908093E000000");
    QTest::newRow("shift down loses row 6")
        << QStringLiteral("shiftDown") << Font::Normal << QByteArray::fromHex("7824222478000000");
    QTest::newRow("clear") << QStringLiteral("clear") << Font::Normal << QByteArray(8, '\0');
    QTest::newRow("copy normal to bold") << QStringLiteral("copyToBold") << Font::Bold
                                         << QByteArray::fromHex("7C1211127C000000");
}

void TestFontEditor::glyphCommands()
{
    QFETCH(QString, command);
    QFETCH(Font, face);
    QFETCH(QByteArray, glyph);
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->choose(Font::Normal, 65);
    const QByteArray before = glyphBytes(editor->font().glyph(face, 65));
    editor->action(command)->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(face, 65)), glyph);
    editor->action(QStringLiteral("undo"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(face, 65)), before);
    QVERIFY(!editor->isModifiedFont());
}

void TestFontEditor::labelsAreChecked()
{
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->choose(Font::Normal, 66);
    // "A" means code 65 already; two characters are no label.
    for (const QString &refused : {QStringLiteral("A"), QStringLiteral("AB")}) {
        editor->labelEdit()->setText(refused);
        emit editor->labelEdit()->editingFinished();
        QCOMPARE(editor->font().label(Font::Normal, 66), QStringLiteral("B"));
        QCOMPARE(editor->labelEdit()->text(), QStringLiteral("B"));
        QVERIFY(editor->statusBar()->currentMessage().startsWith(QStringLiteral("Label not taken")));
    }
    QVERIFY(!editor->isModifiedFont());
    // Copy and paste carry the dots through the clipboard.
    editor->action(QStringLiteral("copy"))->trigger();
    editor->choose(Font::Normal, 200);
    editor->action(QStringLiteral("paste"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), glyphBytes(FontTable::glyph(Font::Normal, 66)));
    QCOMPARE(editor->font().label(Font::Normal, 200), FontFile::builtIn().label(Font::Normal, 200));
}

void TestFontEditor::insertPutsTheCodeIntoTheSlot()
{
    SlotEdit *slotA = m_started->edit(0);
    slotA->setFocus();
    QTest::keyClicks(slotA, QStringLiteral("AB"));
    slotA->setCursorPosition(1);
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    // Code 3, an icon no escape gives.
    QTest::mouseClick(editor->grid(), Qt::LeftButton, {}, editor->grid()->cellCentre(Font::Normal, 3));
    editor->action(QStringLiteral("insert"))->trigger();
    QCOMPARE(m_started->document().messageSet().markup(0),
             QByteArray("A\x03"
                        "B"));
    QCOMPARE(slotA->cursorPosition(), 2);
}

void TestFontEditor::closingWithChanges_data()
{
    QTest::addColumn<bool>("hidden"); // the Character Generator hidden first
    QTest::addColumn<bool>("saveAnswer"); // OK to " Save change ?"
    QTest::addColumn<QString>("saveAsName"); // the Save dialog's answer; empty cancels
    QTest::addColumn<bool>("staysOpen");
    QTest::addColumn<bool>("saved");

    QTest::newRow("Cancel closes without saving") << false << false << QString() << false << false;
    QTest::newRow("OK saves, then closes") << false << true << QStringLiteral("mine.vlf") << false << true;
    QTest::newRow("OK, save dialog cancelled: stays open") << false << true << QString() << true << false;
    // Hidden, its edits are asked about all the same; it comes up for it.
    QTest::newRow("hidden: OK saves, then closes") << true << true << QStringLiteral("mine.vlf") << false << true;
    QTest::newRow("hidden: save dialog cancelled: shown, stays open") << true << true << QString() << true << false;
}

void TestFontEditor::closingWithChanges()
{
    QFETCH(bool, hidden);
    QFETCH(bool, saveAnswer);
    QFETCH(QString, saveAsName);
    QFETCH(bool, staysOpen);
    QFETCH(bool, saved);
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->action(QStringLiteral("clear"))->trigger();
    if (hidden)
        editor->hide();
    RecordingDialogs &dialogs = *m_started->dialogs;
    dialogs.confirmAnswers.enqueue(saveAnswer);
    if (saveAnswer)
        dialogs.saveAnswers.enqueue(saveAsName.isEmpty() ? QString() : m_dir->filePath(saveAsName));

    // Closing the main window asks for the font too.
    m_started->window->close();
    QCOMPARE(dialogs.confirmations.size(), 1);
    QCOMPARE(editor->isVisible(), staysOpen);
    QCOMPARE(m_started->window->isVisible(), staysOpen);
    QCOMPARE(QFileInfo::exists(m_dir->filePath(QStringLiteral("mine.vlf"))), saved);
    QCOMPARE(dialogs.unanswered, 0);
}

// Press, drag across five dots, release: one step, one Ctrl+Z.
void TestFontEditor::oneStrokeIsOneUndoStep()
{
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->choose(Font::Normal, 200);
    editor->action(QStringLiteral("clear"))->trigger();
    GlyphEdit *edit = editor->glyphEdit();
    QTest::mousePress(edit, Qt::LeftButton, {}, edit->dotCentre(0, 0));
    for (int x = 1; x < 5; ++x)
        dragTo(edit, edit->dotCentre(x, 0));
    QTest::mouseRelease(edit, Qt::LeftButton, {}, edit->dotCentre(4, 0));
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), QByteArray::fromHex("0101010101000000"));
    // A second stroke is a step of its own.
    QTest::mouseClick(edit, Qt::LeftButton, {}, edit->dotCentre(7, 6));
    QCOMPARE(editor->undoStack()->count(), 3);

    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), QByteArray::fromHex("0101010101000000"));
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 200)), QByteArray(8, '\0'));
    QCOMPARE(editor->undoStack()->index(), 1);
}

void TestFontEditor::keysMoveTheChosenGlyph_data()
{
    QTest::addColumn<Font>("fromFace");
    QTest::addColumn<int>("fromCode");
    QTest::addColumn<int>("key");
    QTest::addColumn<Font>("face");
    QTest::addColumn<int>("code");

    QTest::newRow("right") << Font::Normal << 65 << int(Qt::Key_Right) << Font::Normal << 66;
    QTest::newRow("left") << Font::Bold << 65 << int(Qt::Key_Left) << Font::Bold << 64;
    QTest::newRow("down a row of 16") << Font::Normal << 65 << int(Qt::Key_Down) << Font::Normal << 81;
    QTest::newRow("up a row of 16") << Font::Normal << 65 << int(Qt::Key_Up) << Font::Normal << 49;
    QTest::newRow("right across into the bold face") << Font::Normal << 79 << int(Qt::Key_Right) << Font::Bold << 64;
    QTest::newRow("left across into the normal face") << Font::Bold << 64 << int(Qt::Key_Left) << Font::Normal << 79;
    QTest::newRow("up from the top row stays") << Font::Normal << 3 << int(Qt::Key_Up) << Font::Normal << 3;
    QTest::newRow("right from the last of bold stays") << Font::Bold << 255 << int(Qt::Key_Right) << Font::Bold << 255;
}

void TestFontEditor::keysMoveTheChosenGlyph()
{
    QFETCH(Font, fromFace);
    QFETCH(int, fromCode);
    QFETCH(int, key);
    QFETCH(Font, face);
    QFETCH(int, code);
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->choose(fromFace, quint8(fromCode));
    editor->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(editor));
    // Tab reaches the overview from the label.
    editor->labelEdit()->setFocus();
    for (int i = 0; i < 8 && !editor->grid()->hasFocus(); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QVERIFY(editor->grid()->hasFocus());

    QTest::keyClick(editor->grid(), Qt::Key(key));
    QCOMPARE(editor->grid()->currentFace(), face);
    QCOMPARE(int(editor->grid()->currentCode()), code);
    QCOMPARE(editor->labelEdit()->text(), writtenFontLabel(editor->font().label(face, quint8(code))));
    // Return goes on to draw it.
    QTest::keyClick(editor->grid(), Qt::Key_Return);
    QVERIFY(editor->glyphEdit()->hasFocus());
}

void TestFontEditor::insertWithoutASlotSaysSo()
{
    // The caret is in the port box, in no slot.
    m_started->find<QComboBox>(QStringLiteral("ComboBox3"))->setFocus();
    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->action(QStringLiteral("insert"))->trigger();
    QVERIFY2(editor->statusBar()->currentMessage().startsWith(QStringLiteral("Not inserted: no slot")),
             qPrintable(editor->statusBar()->currentMessage()));
    QCOMPARE(m_started->document().messageSet().markup(0), QByteArray());
}

// A 16 x 7 picture into codes 128 and 129: a diagonal of dark pixels, a
// dark last column, and one grey pixel that the threshold decides.
void TestFontEditor::pictureImport()
{
    QImage picture(16, 7, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int x = 0; x < 16; ++x)
        picture.setPixel(x, x % 7, qRgb(0, 0, 0));
    for (int y = 0; y < 7; ++y)
        picture.setPixel(15, y, qRgb(0, 0, 0));
    picture.setPixel(3, 6, qRgb(100, 100, 100));
    const QString path = m_dir->filePath(QStringLiteral("picture.png"));
    QVERIFY(picture.save(path));

    FontEditorWindow *editor = openEditor();
    QVERIFY(editor);
    editor->choose(Font::Normal, 128);
    const QByteArray bold128 = glyphBytes(editor->font().glyph(Font::Bold, 128));
    RecordingDialogs &dialogs = *m_started->dialogs;
    dialogs.openAnswers.enqueue(path);
    QStringList codes;
    QList<QByteArray> shownAtFirst;
    dialogs.dialogAnswer = [&](QDialog *dialog) {
        codes << dialog->findChild<QLabel *>(QStringLiteral("codes"))->text();
        auto *import = static_cast<PictureImportDialog *>(dialog);
        for (const PictureGlyphs::Columns &columns : import->glyphs())
            shownAtFirst << QByteArray(reinterpret_cast<const char *>(columns.data()), 8);
        // The grey pixel is darker than the middle, not than 90.
        dialog->findChild<QSlider *>(QStringLiteral("threshold"))->setValue(90);
        return true;
    };
    editor->action(QStringLiteral("importPicture"))->trigger();
    QCOMPARE(dialogs.dialogsRun, 1);
    QCOMPARE(codes, QStringList{QStringLiteral("Into codes 128 to 129, 2 glyphs.")});
    QCOMPARE(shownAtFirst,
             (QList<QByteArray>{QByteArray::fromHex("0102044810204001"), QByteArray::fromHex("020408102040017F")}));
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 128)), QByteArray::fromHex("0102040810204001"));
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 129)), QByteArray::fromHex("020408102040017F"));
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Bold, 128)), bold128);

    // One step for the whole picture.
    editor->action(QStringLiteral("undo"))->trigger();
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 128)), glyphBytes(FontTable::glyph(Font::Normal, 128)));
    QCOMPARE(glyphBytes(editor->font().glyph(Font::Normal, 129)), glyphBytes(FontTable::glyph(Font::Normal, 129)));
    QVERIFY(!editor->isModifiedFont());
    QCOMPARE(dialogs.unanswered, 0);
}

void TestFontEditor::pictureSizes_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("firstCode");
    QTest::addColumn<int>("glyphs");
    QTest::addColumn<int>("lit"); // dots in all

    const QColor black(Qt::black);
    QTest::newRow("7 rows, 16 columns: two glyphs") << QSize(16, 7) << black << 128 << 2 << 16 * 7;
    QTest::newRow("twice as large, scaled to 7 rows") << QSize(32, 14) << black << 128 << 2 << 16 * 7;
    QTest::newRow("a column over: a third glyph") << QSize(17, 7) << black << 128 << 3 << 17 * 7;
    QTest::newRow("tall and narrow: 3.5 columns, one glyph") << QSize(7, 14) << black << 128 << 1 << 4 * 7;
    QTest::newRow("cut at code 255") << QSize(800, 7) << black << 250 << 6 << 6 * 8 * 7;
    QTest::newRow("transparent reads as white") << QSize(16, 7) << QColor(Qt::transparent) << 128 << 2 << 0;
}

void TestFontEditor::pictureSizes()
{
    QFETCH(QSize, size);
    QFETCH(QColor, colour);
    QFETCH(int, firstCode);
    QFETCH(int, glyphs);
    QFETCH(int, lit);
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(colour);
    const PictureImportDialog dialog(picture, quint8(firstCode));
    QCOMPARE(int(dialog.glyphs().size()), glyphs);
    int dots = 0;
    for (const PictureGlyphs::Columns &columns : dialog.glyphs()) {
        for (quint8 column : columns)
            dots += std::popcount(column);
    }
    QCOMPARE(dots, lit);
}

QTEST_MAIN(TestFontEditor)
#include "tst_fonteditor.moc"
