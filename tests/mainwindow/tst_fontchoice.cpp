// SPDX-License-Identifier: GPL-3.0-or-later
// The font in use: chosen in the window and remembered, it is what the slot
// boxes show and type, what the Preview draws, what Initial loads and what
// varlo-cli reads; a file that has gone gives the built-in font.
#include "charactergenerator/fonteditorwindow.h"
#include "charset/fontinuse.h"
#include "display/panelscroller.h"
#include "mainwindow/fontchoice.h"
#include "preview/previewwindow.h"
#include "support/appfixture.h"
#include "support/virtualpanel.h"
#include "support/virtualports.h"
#include "virtualpanel/panelmemory.h"

#include <QProcess>
#include <QUndoStack>

using namespace varlo;
using namespace varlo::test;

namespace {

const QString kCyrillic = QStringLiteral(VARLO_TEST_FONTS_DIR "/cyrillic.vlf");

QByteArray cyrillicImage()
{
    return readFontFilePath(kCyrillic).font->image();
}

FontTable::Image imageSpan(const QByteArray &image)
{
    return FontTable::Image(reinterpret_cast<const quint8 *>(image.constData()), FontTable::kImageBytes);
}

QLabel *fontLabel(const Started &s)
{
    return s.find<QLabel>(QStringLiteral("FontInUseLabel"));
}

// Action > Font in Use…, answered with the entry of that name.
bool chooseFont(const Started &s, const QString &entry)
{
    const QStringList entries{QStringLiteral("Built-in font"), QStringLiteral("cyrillic"), QStringLiteral("greek"),
                              QStringLiteral("Open…")};
    const int index = int(entries.indexOf(entry));
    if (index < 0)
        return false;
    s.dialogs->itemAnswers.enqueue(index);
    s.trigger("FontInUse1");
    return s.dialogs->itemLists.last()
        == QStringLiteral("The font the slots, the Preview and Initial use:|") + entries.join(QLatin1Char('|'));
}

bool uploadFromButton(const Started &s, const char *button)
{
    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(s.find<QPushButton>(QLatin1String(button)), Qt::LeftButton);
    return finished.wait(20000) && uploadDone(finished);
}

} // namespace

class TestFontChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestUiFont(); }

    void chosenRememberedAndUsedEverywhere();
    void changingTheFontKeepsTheBytes();
    void aFileThatHasGone();
    void aFileThatCantBeUsedIsNotTaken();
    void useThisFontFromTheCharacterGenerator();
};

void TestFontChoice::chosenRememberedAndUsedEverywhere()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(3);
    QTemporaryDir dir;
    {
        Started first(dir.path());
        QCOMPARE(fontLabel(first)->text(), QStringLiteral("Font: built-in"));
        QVERIFY(chooseFont(first, QStringLiteral("cyrillic")));
        QCOMPARE(fontLabel(first)->text(), QStringLiteral("Font: cyrillic.vlf"));
    }

    // Started again with the same settings.
    Started s(dir.path());
    QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: cyrillic.vlf"));
    const QString text = QStringLiteral("ЁЛКА Й й Є");
    typeText(s.edit(0), text);
    QCOMPARE(s.edit(0)->text(), text);
    // Code page 866.
    const QByteArray bytes("\xF0\x8B\x8A\x80 \x89 \xA9 \xF2");
    QCOMPARE(s.document().messageSet().markup(0), bytes);
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(0)->text(), QStringLiteral("10"));

    // The Preview draws them from the font in use.
    s.trigger("Preview1");
    PreviewWindow *preview = s.window->previewWindow();
    QVERIFY(preview);
    const QByteArray image = cyrillicImage();
    const DotMatrix drawn = PanelScroller::fromBlock(encodeMessageBlock(bytes), 4, imageSpan(image)).text();
    QCOMPARE(preview->scroller().text(), drawn);
    QVERIFY(!(PanelScroller::fromBlock(encodeMessageBlock(bytes), 4).text() == drawn));

    // Send puts the codes into the panel, Initial the font file's glyphs.
    QVERIFY(uploadFromButton(s, "Send"));
    QVERIFY(uploadFromButton(s, "suiButton1"));
    QCOMPARE(panel.waitForBytes(1 + 4 * 69 + 69 + 3 + 1 + 64 * 69, 5000), 1 + 4 * 69 + 69 + 3 + 1 + 64 * 69);
    const PanelMemory memory = memoryOf(panel);
    QByteArray codes;
    for (const LedCell &cell : messageBlockCells(memory.block(0)))
        codes += char(cell.code);
    QCOMPARE(codes, bytes);
    QVERIFY(memory.fontLoaded());
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(memory.characterGenerator().data()), FontTable::kImageBytes),
             image);

    // varlo-cli reads the saved file with the same font.
    s.dialogs->saveAnswers << dir.filePath(QStringLiteral("tree.vlo"));
    QVERIFY(s.save());
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(VARLO_CLI_PATH), {QStringLiteral("show"), dir.filePath(QStringLiteral("tree.vlo"))});
    QVERIFY(cli.waitForFinished(30000));
    const QString shown = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(shown.startsWith(QStringLiteral("A    4   10  \"ЁЛКА Й й Є\"")), qPrintable(shown));
    QCOMPARE(cli.readAllStandardError(), QByteArray());
}

void TestFontChoice::changingTheFontKeepsTheBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.vlo"));
    {
        Started s(dir.path());
        s.document().setMarkup(0,
                               QByteArray("\x8C\x8E"
                                          "A~H"));
        s.dialogs->saveAnswers << path;
        QVERIFY(s.save());
    }
    Started s(dir.path());
    s.dialogs->openAnswers << path;
    s.trigger("Open1");
    QCOMPARE(s.edit(0)->text(), QStringLiteral("îÄA~H"));
    QVERIFY(!s.document().isModified());

    QVERIFY(chooseFont(s, QStringLiteral("cyrillic")));
    QCOMPARE(s.edit(0)->text(), QStringLiteral("МОA~H"));
    QCOMPARE(s.document().messageSet().markup(0),
             QByteArray("\x8C\x8E"
                        "A~H"));
    QVERIFY(!s.document().isModified());
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(0)->text(), QStringLiteral("5"));

    QVERIFY(chooseFont(s, QStringLiteral("Built-in font")));
    QCOMPARE(s.edit(0)->text(), QStringLiteral("îÄA~H"));
    QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: built-in"));
    QVERIFY(!s.document().isModified());
    QCOMPARE(s.dialogs->unanswered, 0);
}

void TestFontChoice::aFileThatHasGone()
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.vlf"));
    QVERIFY(QFile::copy(kCyrillic, mine));
    QCOMPARE(FontInUse::remember(dir.path(), mine), QString());
    {
        Started s(dir.path());
        QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: mine.vlf"));
    }
    QVERIFY(QFile::remove(mine));
    {
        Started s(dir.path());
        QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: built-in (mine.vlf can't be used)"));
        const QString message = s.window->statusBar()->currentMessage();
        QVERIFY2(message.contains(mine) && message.contains(QStringLiteral("built-in")), qPrintable(message));
        QVERIFY2(fontLabel(s)->toolTip().startsWith(mine + QStringLiteral(": ")), qPrintable(fontLabel(s)->toolTip()));
        typeText(s.edit(0), QStringLiteral("Ça"));
        QCOMPARE(s.document().messageSet().markup(0),
                 QByteArray("\x80"
                            "a"));
        QVERIFY(s.dialogs->messages.isEmpty());
        // Saved: no copy of unsaved messages to offer at the next start.
        s.dialogs->saveAnswers << dir.filePath(QStringLiteral("ca.vlo"));
        QVERIFY(s.save());
    }
    // The choice stays: the file is used again once it is back.
    QCOMPARE(FontInUse::rememberedPath(dir.path()), mine);
    QVERIFY(QFile::copy(kCyrillic, mine));
    Started s(dir.path());
    QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: mine.vlf"));
}

void TestFontChoice::aFileThatCantBeUsedIsNotTaken()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.vlf"));
    writeAll(broken, "face normal\n");
    Started s(dir.path());
    s.dialogs->openAnswers << broken;
    QVERIFY(chooseFont(s, QStringLiteral("Open…")));
    QCOMPARE(s.dialogs->messageTexts(), QStringList{QStringLiteral("The font file can't be used.")});
    QVERIFY(s.dialogs->messages.first().detail.startsWith(QStringLiteral("broken.vlf: ")));
    QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: built-in"));
    QCOMPARE(FontInUse::rememberedPath(dir.path()), QString());
}

void TestFontChoice::useThisFontFromTheCharacterGenerator()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.trigger("CharacterGenerator1");
    FontEditorWindow *editor = s.window->fontEditor();
    QVERIFY(editor);
    editor->choose(FontTable::Font::Normal, 65);
    editor->action(QStringLiteral("clear"))->trigger();
    // The changes are saved first, as asked.
    const QString path = dir.filePath(QStringLiteral("blank-a.vlf"));
    s.dialogs->confirmAnswers << true;
    s.dialogs->saveAnswers << path;
    editor->action(QStringLiteral("useFont"))->trigger();
    QCOMPARE(s.dialogs->confirmations.size(), 1);
    QCOMPARE(fontLabel(s)->text(), QStringLiteral("Font: blank-a.vlf"));
    QCOMPARE(FontInUse::rememberedPath(dir.path()), path);
    QCOMPARE(s.window->fontChoice().current().font().glyph(FontTable::Font::Normal, 65)[0], quint8(0));

    // Saved again, the font in use follows.
    editor->action(QStringLiteral("shiftUp"))->trigger(); // any change
    editor->choose(FontTable::Font::Normal, 66);
    editor->action(QStringLiteral("clear"))->trigger();
    editor->action(QStringLiteral("save"))->trigger();
    QCOMPARE(s.window->fontChoice().current().font().glyph(FontTable::Font::Normal, 66)[0], quint8(0));

    // Cancel to the question: nothing changes.
    editor->action(QStringLiteral("clear"))->trigger();
    editor->choose(FontTable::Font::Normal, 67);
    editor->action(QStringLiteral("clear"))->trigger();
    s.dialogs->confirmAnswers << false;
    editor->action(QStringLiteral("useFont"))->trigger();
    QCOMPARE(s.window->fontChoice().current().font().glyph(FontTable::Font::Normal, 67)[0],
             FontTable::glyph(FontTable::Font::Normal, 67)[0]);
    editor->undoStack()->setClean();
}

QTEST_MAIN(TestFontChoice)
#include "tst_fontchoice.moc"
