// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/appfixture.h"

#include "preview/leddisplay.h"
#include "preview/previewwindow.h"
#include "model/messageblock.h"
#include "display/ledpainter.h"

#include <QScreen>

#include <bit>

using namespace varlo;
using namespace varlo::test;

namespace {

// The window active and the caret in `slot`, as after a click into it; the
// preview follows focus changes, which only an active window has.
void focusSlot(const Started &s, int slot)
{
    s.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    s.edit(slot)->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), s.edit(slot), 1000);
}

PreviewWindow *openPreview(const Started &s)
{
    s.find<QAction>(QStringLiteral("Preview1"))->trigger();
    return s.window->findChild<PreviewWindow *>(QStringLiteral("Preview"));
}

// The still picture of a text at a speed, as the panel shows it.
DotMatrix stillOf(const QByteArray &markup, quint8 speedCode = MessageSet::kDefaultSpeedCode)
{
    return PanelScroller::fromBlock(encodeMessageBlock(markup), speedCode).still();
}

int litDots(const DotMatrix &frame)
{
    int n = 0;
    for (int x = 0; x < frame.width(); ++x)
        n += std::popcount(frame.column(x));
    return n;
}

QString cellsText(const Started &s)
{
    return s.window->findChild<QLabel *>(QStringLiteral("PreviewCells"))->text();
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestUiFont(); }

    void opensFromTheActionMenu();
    void opensBesideTheMainWindow_data();
    void opensBesideTheMainWindow();
    void followsTyping();
    void followsTheFocus();
    void cellCount_data();
    void cellCount();
    void speedFollowsTheSpeedButton();
    void flashAndBold_data();
    void flashAndBold();
    void leavesTheDocumentAlone();
    void reopensWhereItWas();
};

void TestPreview::opensFromTheActionMenu()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(!s.window->previewWindow());
    PreviewWindow *preview = openPreview(s);
    QVERIFY(preview);
    QCOMPARE(s.window->previewWindow(), preview);
    QVERIFY(preview->isVisible());
    QVERIFY(preview->isWindow());
    QCOMPARE(preview->windowModality(), Qt::NonModal);
    QCOMPARE(preview->parentWidget(), s.window.get());
    QVERIFY(preview->isAnimating());
    QCOMPARE(preview->slot(), 0);
    QCOMPARE(cellsText(s), QStringLiteral("Slot A \u2014 0 of 125 cells"));
    QCOMPARE(s.window->findChild<QLabel *>(QStringLiteral("PreviewSpeed"))->text(), QStringLiteral("Speed 5 FASTEST"));
    // The display is drawn, black with the dark dots of an empty text.
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    const QImage board = s.window->findChild<LedDisplay *>(QStringLiteral("PreviewDisplay"))
                             ->pixmap()
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QVERIFY(!board.isNull());
    QVERIFY(countColour(board, qRgb(0, 0, 0)) > 0);
    QCOMPARE(countColour(board, LedStyle{}.lit.rgb()), 0);
}

void TestPreview::followsTyping()
{
    QTemporaryDir dir;
    Started s(dir.path());
    focusSlot(s, 0);
    PreviewWindow *preview = openPreview(s);
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    const DotMatrix empty = preview->scroller().still();
    QCOMPARE(litDots(empty), 0);

    preview->seek(1400); // the display full of text, were there any
    QCOMPARE(litDots(preview->frame()), 0);
    QTest::keyClicks(s.edit(0), QStringLiteral("HELLO"));
    QCOMPARE(preview->scroller().still(), stillOf("HELLO"));
    QVERIFY(preview->scroller().still() != empty);
    // A new text starts from the right edge.
    QVERIFY(preview->elapsedMs() < 1400);
    preview->seek(1400);
    const DotMatrix hello = preview->frame();
    QVERIFY(litDots(hello) > 0);

    QTest::keyClicks(s.edit(0), QStringLiteral("!"));
    preview->seek(1400);
    QVERIFY(preview->frame() != hello);
    QCOMPARE(cellsText(s), QStringLiteral("Slot A \u2014 6 of 125 cells"));

    // Typing into another slot leaves the preview alone.
    const DotMatrix before = preview->scroller().still();
    s.edit(3)->setMarkup("OTHER");
    QCOMPARE(preview->scroller().still(), before);
    QCOMPARE(preview->slot(), 0);
}

void TestPreview::followsTheFocus()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.edit(0)->setMarkup("AAA");
    s.edit(2)->setMarkup("~BCCC~H");
    s.speedButton(2)->click(); // 4 wraps to 0
    focusSlot(s, 0);
    PreviewWindow *preview = openPreview(s);
    QCOMPARE(preview->scroller().still(), stillOf("AAA"));

    focusSlot(s, 2);
    QCOMPARE(preview->slot(), 2);
    QCOMPARE(preview->scroller().still(), stillOf("~BCCC~H", 0));
    QCOMPARE(preview->scroller().speed().code, quint8(0));
    QCOMPARE(cellsText(s), QStringLiteral("Slot C \u2014 4 of 125 cells"));

    // Focus outside the slots keeps the last slot.
    QWidget *portBox = s.find<QComboBox>(QStringLiteral("ComboBox3"));
    portBox->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), portBox, 1000);
    QCOMPARE(preview->slot(), 2);

    // While closed it keeps following, and opens on the slot last focused.
    preview->close();
    focusSlot(s, 0);
    portBox->setFocus(Qt::MouseFocusReason);
    openPreview(s);
    QCOMPARE(preview->slot(), 0);
    QCOMPARE(preview->scroller().still(), stillOf("AAA"));
}

void TestPreview::cellCount_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("red");
    QTest::addColumn<QByteArray>("kept"); // what the panel shows of it

    const QByteArray hearts = QByteArray(62 * 2, '~').replace("~~", "~H");
    const QByteArray stars = QByteArray(62 * 2, '~').replace("~~", "~+");
    QTest::newRow("escapes take no cell, pictures one")
        << QByteArray("~BAB~F~H") << QStringLiteral("Slot A \u2014 3 of 125 cells") << false << QByteArray("~BAB~F~H");
    QTest::newRow("full") << QByteArray(125, 'x') << QStringLiteral("Slot A \u2014 125 of 125 cells") << false
                          << QByteArray(125, 'x');
    QTest::newRow("one over") << QByteArray(126, 'x') << QStringLiteral("Slot A \u2014 126 of 125 cells") << true
                              << QByteArray(125, 'x');
    QTest::newRow("pictures over") << QByteArray(3, 'x') + hearts + stars
                                   << QStringLiteral("Slot A \u2014 127 of 125 cells") << true
                                   << QByteArray(3, 'x') + hearts + stars.left(60 * 2);
}

void TestPreview::cellCount()
{
    QFETCH(QByteArray, markup);
    QFETCH(QString, text);
    QFETCH(bool, red);
    QFETCH(QByteArray, kept);

    QTemporaryDir dir;
    Started s(dir.path());
    PreviewWindow *preview = openPreview(s);
    // Longer than typing allows, as the insertion commands and files make it.
    s.edit(0)->setMarkup(markup);
    QCOMPARE(cellsText(s), text);
    const QLabel *cells = s.window->findChild<QLabel *>(QStringLiteral("PreviewCells"));
    QCOMPARE(cells->palette().color(QPalette::WindowText) == QColor(200, 0, 0), red);
    QCOMPARE(cells->toolTip().isEmpty(), !red);
    // Cells the panel drops are not shown either.
    const PanelScroller panel = PanelScroller::fromBlock(encodeMessageBlock(kept), MessageSet::kDefaultSpeedCode);
    QCOMPARE(preview->scroller().text(), panel.text());
}

void TestPreview::speedFollowsTheSpeedButton()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.edit(0)->setMarkup("SPEED");
    PreviewWindow *preview = openPreview(s);
    const QLabel *speed = s.window->findChild<QLabel *>(QStringLiteral("PreviewSpeed"));
    const QStringList expected{"Speed 1 SLOW", "Speed 2 NORMAL", "Speed 3 FAST", "Speed 4 FASTER", "Speed 5 FASTEST"};
    for (int click = 0; click < 5; ++click) {
        preview->seek(5000);
        s.speedButton(0)->click();
        QCOMPARE(speed->text(), expected[click]);
        QCOMPARE(preview->scroller().speed().code, quint8(click));
        QVERIFY(preview->elapsedMs() < 5000);
    }
}

void TestPreview::flashAndBold_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<bool>("litWhileOff");

    // At the slowest speed (10 dots a second) 8200 ms is step 82 with flash
    // cells lit, 8700 ms step 87 with them dark; both show the text.
    QTest::newRow("plain") << QByteArray("XXXXXXXX") << true;
    QTest::newRow("flash") << QByteArray("~FXXXXXXXX") << false;
    QTest::newRow("bold") << QByteArray("~BXXXXXXXX") << true;
    QTest::newRow("bold flash") << QByteArray("~B~FXXXXXXXX") << false;
}

void TestPreview::flashAndBold()
{
    QFETCH(QByteArray, markup);
    QFETCH(bool, litWhileOff);

    QTemporaryDir dir;
    Started s(dir.path());
    s.edit(0)->setMarkup(markup);
    s.speedButton(0)->click(); // 4 wraps to 0, the slowest
    PreviewWindow *preview = openPreview(s);
    QCOMPARE(preview->scroller().still(), stillOf(markup, 0));

    preview->seek(8200);
    QVERIFY(litDots(preview->frame()) > 0);
    preview->seek(8700);
    QCOMPARE(litDots(preview->frame()) > 0, litWhileOff);

    // Bold cells come from the bold font.
    const bool bold = markup.contains("~B");
    QCOMPARE(preview->scroller().still() == stillOf(QByteArray(markup).replace("~B", ""), 0), !bold);
}

void TestPreview::leavesTheDocumentAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shop.vlo"));
    Started s(dir.path());
    s.edit(1)->setMarkup("KEEP ~H");
    s.dialogs->saveAnswers.enqueue(path);
    QVERIFY(s.save());
    const QString caption = s.window->windowTitle();
    const MessageSet set = s.document().messageSet();
    const QByteArray file = readAll(path);

    focusSlot(s, 1);
    PreviewWindow *preview = openPreview(s);
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    QTest::qWait(100); // a few frames
    preview->close();
    openPreview(s);
    preview->close();
    QVERIFY(s.tick());

    QVERIFY(!s.document().isModified());
    QVERIFY(!s.btnSave()->isEnabled());
    QCOMPARE(s.window->windowTitle(), caption);
    QVERIFY(s.document().messageSet() == set);
    QCOMPARE(s.edit(1)->markup(), QByteArray("KEEP ~H"));
    QCOMPARE(readAll(path), file);
    QVERIFY(s.dialogs->messages.isEmpty());
}

void TestPreview::reopensWhereItWas()
{
    QTemporaryDir dir;
    Started s(dir.path());
    PreviewWindow *preview = openPreview(s);
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    const QRect placed(240, 180, 520, 130);
    preview->setGeometry(placed);
    QTRY_COMPARE_WITH_TIMEOUT(preview->geometry(), placed, 1000);

    preview->close();
    QVERIFY(preview->isHidden());
    // Closed is only hidden: no timer wakes the program while it is away.
    QVERIFY(!preview->isAnimating());

    QCOMPARE(openPreview(s), preview);
    QCOMPARE(s.window->findChildren<PreviewWindow *>().size(), 1);
    QVERIFY(preview->isVisible());
    QVERIFY(preview->isAnimating());
    QCOMPARE(preview->geometry(), placed);
}

void TestPreview::opensBesideTheMainWindow_data()
{
    QTest::addColumn<bool>("atRightEdge"); // the main window at the screen's right edge
    QTest::newRow("room on the right") << false;
    QTest::newRow("screen's right edge") << true;
}

// The Preview covers none of the main window (its bottom row with Send
// above all) when the screen has room beside or below it.
void TestPreview::opensBesideTheMainWindow()
{
    QFETCH(bool, atRightEdge);
    QTemporaryDir dir;
    Started s(dir.path());
    const QRect room = s.window->screen()->availableGeometry();
    const QSize mainSize = s.window->frameGeometry().size();
    s.window->move(atRightEdge ? room.right() + 1 - mainSize.width() : room.left(), room.top());
    QTRY_COMPARE(s.window->frameGeometry().topLeft().y(), room.top());
    PreviewWindow *preview = openPreview(s);
    QVERIFY(preview);
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    const QRect main = s.window->frameGeometry();
    const QRect shown = preview->frameGeometry();
    const bool fitsRight = main.right() + shown.width() <= room.right();
    const bool fitsBelow = main.bottom() + shown.height() <= room.bottom();
    if (!fitsRight && !fitsBelow)
        QSKIP("this screen has no room beside the main window");
    QVERIFY2(!shown.intersects(main), "the Preview covers the main window");
    QVERIFY2(room.contains(shown),
             qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6, main %7,%8 %9x%10")
                            .arg(shown.x())
                            .arg(shown.y())
                            .arg(shown.width())
                            .arg(shown.height())
                            .arg(room.width())
                            .arg(room.height())
                            .arg(main.x())
                            .arg(main.y())
                            .arg(main.width())
                            .arg(main.height())));
    if (fitsRight)
        QCOMPARE(shown.left(), main.right() + 1);
    else
        QCOMPARE(shown.top(), main.bottom() + 1);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
