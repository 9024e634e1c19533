// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/appfixture.h"

#include "charactergenerator/fonteditorwindow.h"
#include "preview/previewwindow.h"
#include "publishdialog/publishdialog.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>

using namespace varlo;
using namespace varlo::test;

class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestUiFont(); }

    void startUpState();
    void geometry();
    void slotBoxesGiveEveryCharacterOneWidth();
    void menus();
    void toolBar();

    void supportFilesAreExactBitmaps_data();
    void supportFilesAreExactBitmaps();
    void supportPicturesFollowTheirDescription();
    void missingSupportFileIsWrittenOthersAreKept();
    void alteredSupportFilesAreShownAsTheyAre();
    void unwritableFolderFallsBackToUserData();
    void unreadableGlyphIsReportedOnce();
    void damagedGlyphFile_data();
    void damagedGlyphFile();
    void noFolderToWriteSupportFilesTo();

    void speedCycle_data();
    void speedCycle();
    void speedCodeAboveFourKeepsItsGlyph();
    void speedFromTheKeyboard_data();
    void speedFromTheKeyboard();
    void speedSaysItselfInWords_data();
    void speedSaysItselfInWords();
    void tabReachesEveryControl();
    void keystrokeLeavesSpeedIconsAlone();
    void saveButtonFollowsTheModifiedFlag();
    void runCheckBoxesAreRunFlags();
    void textChanges();
    void countsIncludeTextsOver124();
    void trackBar_data();
    void trackBar();
    void moveText_data();
    void moveText();
    void newEmptiesTheSlots();

    void uploadRunsOffTheWindowThread();
    void realBoxEndsWithItsWindow_data();
    void realBoxEndsWithItsWindow();
    void exitClosesUnlessAnUploadRuns();
    void standardKeysRunTheFileCommands_data();
    void standardKeysRunTheFileCommands();
    void aboutWindow();
    void everyControlHasATipAndAName();
    void everyTextFits();
    void helpWindow();

    void windowIconIsThePackagedIcon_data();
    void windowIconIsThePackagedIcon();
    void commandLine_data();
    void commandLine();
    void helpWithoutDisplay();
    void noBrokerLibraryBeforePublish();
};

void TestApp::startUpState()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));

    QCOMPARE(s.window->windowTitle(), kFirstCaption);
    QCOMPARE(kFirstCaption.size(), 43);
    QCOMPARE(s.window->focusWidget(), s.edit(0));
    QCOMPARE(s.edit(0)->objectName(), QStringLiteral("Edit3"));
    QCOMPARE(s.edit(19)->objectName(), QStringLiteral("suiEdit15"));

    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        QVERIFY(s.edit(i)->text().isEmpty());
        QCOMPARE(s.document().messageSet().speedCode(i), quint8(4));
        QCOMPARE(shown(s.speedButton(i)->icon()), builtIn(SupportFiles::Speed5));
        QVERIFY(s.runBox(i)->isChecked());
        QVERIFY(s.document().messageSet().run(i));
    }
    auto *port = s.find<QComboBox>(QStringLiteral("ComboBox3"));
    QCOMPARE(port->currentText(), QStringLiteral("AUTO"));
    QCOMPARE(port->count(), 14);
    QCOMPARE(port->itemText(13), QStringLiteral("COM 13"));
    QCOMPARE(s.find<QLabel>(QStringLiteral("Label9"))->text(), QStringLiteral("Commu Delay: 0 ms"));
    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    QCOMPARE(progress->value(), 0);
    QCOMPARE(progress->maximum(), 21);
    QCOMPARE(progress->text(), QStringLiteral("0%"));
    QCOMPARE(shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()), builtIn(SupportFiles::LampGreen));
    QVERIFY(!s.document().isModified());
    QVERIFY(s.dialogs->messages.isEmpty());

    auto *timer = s.find<QTimer>(QStringLiteral("Timer1"));
    QCOMPARE(timer->interval(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(!s.btnSave()->isEnabled(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(s.runBox(0)->text(), QStringLiteral("0"), 1000);
    // With everything shown the timer rests, and a change wakes it.
    QVERIFY(!timer->isActive());
    QTest::keyClicks(s.edit(0), QStringLiteral("AB"));
    QVERIFY(timer->isActive());
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(0)->text(), QStringLiteral("2"));
    QVERIFY(s.btnSave()->isEnabled());
    QVERIFY(!timer->isActive());

    // Nothing the first frame does not show is built before it.
    for (const char *side : {"varlo::AboutBox", "varlo::HelpWindow", "varlo::PreviewWindow", "varlo::PublishDialog",
                             "varlo::FontEditorWindow"}) {
        for (const QObject *child : s.window->children())
            QVERIFY2(!child->inherits(side), side);
    }
}

void TestApp::geometry()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
    // The sizes below are the window's at the default font; with a larger
    // one it grows where the text needs room, and the rest keeps its order.
    const bool defaultFont = !qEnvironmentVariableIsSet("VARLO_TEST_UI_FONT_PT");
    if (defaultFont) {
        QCOMPARE(s.window->size(), QSize(624, 673));
        QCOMPARE(s.window->statusBar()->height(), 19);
    } else {
        QVERIFY(s.window->width() >= 624 && s.window->height() >= 673);
        QVERIFY(s.window->statusBar()->height() >= 19);
    }
    QCOMPARE(s.find<QToolBar>(QStringLiteral("ToolBar1"))->height(), 28);

    const int pitch = s.edit(1)->mapTo(s.window.get(), QPoint()).y() - s.edit(0)->mapTo(s.window.get(), QPoint()).y();
    QVERIFY(pitch >= 24);
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        const QPoint top = s.edit(i)->mapTo(s.window.get(), QPoint(0, 0));
        if (defaultFont)
            QCOMPARE(top.y(), 96 + 24 * i);
        else
            QCOMPARE(top.y(), s.edit(0)->mapTo(s.window.get(), QPoint()).y() + pitch * i);
        QCOMPARE(s.edit(i)->size(), QSize(497, 21));
        QCOMPARE(s.speedButton(i)->size(), QSize(23, 22));
    }
    QStringList labels;
    for (const QLabel *label : s.window->findChildren<QLabel *>())
        labels << label->text();
    for (const char *text : {"Text Item", "Speed", "Run", " Max  120 X 20 = 2400 chars"})
        QVERIFY2(labels.contains(QLatin1String(text)), text);

    QCOMPARE(s.find<QPushButton>(QStringLiteral("suiButton1"))->text(), QStringLiteral("Initial"));
    if (defaultFont) {
        QCOMPARE(s.find<QPushButton>(QStringLiteral("suiButton1"))->size(), QSize(80, 27));
        QCOMPARE(s.find<QPushButton>(QStringLiteral("Send"))->size(), QSize(75, 25));
    }
    QCOMPARE(s.find<QProgressBar>(QStringLiteral("ProgressBar1"))->size(), QSize(169, 12));
    // The bottom row, left to right.
    int left = -1;
    for (const char *name : {"suiButton1", "ComboBox3", "suiTrackBar1", "ProgressBar1", "Send"}) {
        const int x = s.find<QWidget>(QLatin1String(name))->x();
        QVERIFY2(x > left, name);
        left = x;
    }
    QCOMPARE(s.edit(0)->font().pointSize(), 10);
}

void TestApp::slotBoxesGiveEveryCharacterOneWidth()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += char(b);
    s.edit(0)->setMarkup(everyByte);
    const QString shown = s.edit(0)->text();
    QCOMPARE(shown.size(), 256);

    // What the user sees: each character the panel can show, the control
    // pictures included, advances the caret by the same width, so the
    // twenty boxes line up column by column.
    const QFontMetricsF metrics(s.edit(0)->font());
    const qreal width = metrics.horizontalAdvance(QLatin1Char('M'));
    QVERIFY(width > 0);
    QStringList odd;
    for (const QChar ch : shown) {
        const qreal advance = metrics.horizontalAdvance(ch);
        if (advance != width)
            odd << QStringLiteral("U+%1 is %2").arg(ch.unicode(), 4, 16, QLatin1Char('0')).arg(advance);
    }
    QVERIFY2(odd.isEmpty(), qPrintable(QStringLiteral("one character is %1 wide, but ").arg(width) + odd.join(", ")));
    QVERIFY2(qAbs(metrics.horizontalAdvance(shown) - 256 * width) < 1,
             qPrintable(QString::number(metrics.horizontalAdvance(shown))));
    for (int i = 1; i < MessageSet::kSlotCount; ++i)
        QCOMPARE(s.edit(i)->font(), s.edit(0)->font());
    // The same font wherever the program runs, whatever else is installed:
    // the one that `make deps` brings.
    QCOMPARE(QFontInfo(s.edit(0)->font()).family(), QStringLiteral("FreeMono"));
}

void TestApp::menus()
{
    QTemporaryDir dir;
    Started s(dir.path());

    QStringList menus;
    for (QAction *a : s.window->menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"&File", "&Picture", "S&peed", "&Action", "&Help"}));

    auto entries = [&](const char *menu) {
        QStringList out;
        for (QAction *a : s.find<QMenu>(QLatin1String(menu))->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : " (off)"));
        return out;
    };
    QCOMPARE(entries("File1"),
             (QStringList{"&New", "&Open", "&Save", "S&ave As", "-", "S&end...", "&Publish…", "-", "&Exit"}));
    QCOMPARE(entries("Picture1"),
             (QStringList{"Star", "Heart", "Left Arrow", "Right Arrow", "Phone", "Plane", "Smile", "Solid Circle",
                          "Circle", "Null"}));
    QCOMPARE(entries("Speed1"),
             (QStringList{"&Fastest (off)", "F&aster (off)", "Fa&st (off)", "&Normal (off)", "&Slow (off)"}));
    QCOMPARE(
        entries("Action1"),
        (QStringList{"Rotate (off)", "Hold (off)", "Scroll (off)", "Preview", "Character Generator…", "Font in Use…"}));
    QCOMPARE(entries("Help1"), (QStringList{"&Help", "&About"}));
    for (const char *name : {"Send1", "SaveAs1", "UserDefine1", "Star1", "Circle01", "About1", "Help2"})
        QVERIFY2(s.find<QAction>(QLatin1String(name)), name);
    for (QAction *a : s.find<QMenu>(QStringLiteral("Picture1"))->actions())
        QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
}

void TestApp::toolBar()
{
    QTemporaryDir dir;
    Started s(dir.path());
    auto *bar = s.find<QToolBar>(QStringLiteral("ToolBar1"));

    QStringList order;
    for (QAction *a : bar->actions()) {
        if (a->isSeparator()) {
            order << QStringLiteral("|");
            continue;
        }
        QWidget *button = bar->widgetForAction(a);
        order << button->objectName() + QLatin1Char(':') + a->statusTip();
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(!a->icon().isNull());
        // The pictures are compiled into a library; one whose resources
        // never registered still gives an icon, but it draws nothing.
        const QImage drawn = a->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        bool painted = false;
        for (int y = 0; y < drawn.height() && !painted; ++y)
            for (int x = 0; x < drawn.width() && !painted; ++x)
                painted = qAlpha(drawn.pixel(x, y)) != 0;
        QVERIFY2(painted, qPrintable(button->objectName()));
    }
    QCOMPARE(order,
             (QStringList{"BtnNew:Create a new file",
                          "BtnOpen:Open a file",
                          "BtnSave:Save",
                          "|",
                          "PicStar:Picture Star",
                          "BtnHeart:Picture Heart",
                          "BtnRight:Picture Right Arrow",
                          "BtnLeft:Picture Left Arrow",
                          "BtnSmile:Picture Smile",
                          "BtnPlane:Picture Plane",
                          "BtnCircleSolid:Picture Circle Solid",
                          "BtnCircle:Picture Circle",
                          "BtnPhone:Picture Phone",
                          "ToolButton8:",
                          "BtnNull:Null",
                          "|",
                          "BtnSpeed1:FLASH!",
                          "|",
                          "ToolButton2:Font Normal",
                          "ToolButton3:Font Bold",
                          "|",
                          "ToolButton6:",
                          "ToolButton7:"}));
    // The hint shows in the status bar when the pointer is over the button.
    auto *star = s.find<QToolButton>(QStringLiteral("PicStar"));
    QStatusTipEvent tip(star->defaultAction()->statusTip());
    QCoreApplication::sendEvent(star, &tip);
    QCOMPARE(s.window->statusBar()->currentMessage(), QStringLiteral("Picture Star"));
}

void TestApp::supportFilesAreExactBitmaps_data()
{
    QTest::addColumn<int>("picture");
    QTest::addColumn<QString>("name");
    QTest::newRow("s1") << int(SupportFiles::Speed1) << "s1.dat";
    QTest::newRow("s2") << int(SupportFiles::Speed2) << "s2.dat";
    QTest::newRow("s3") << int(SupportFiles::Speed3) << "s3.dat";
    QTest::newRow("s4") << int(SupportFiles::Speed4) << "s4.dat";
    QTest::newRow("s5") << int(SupportFiles::Speed5) << "s5.dat";
    QTest::newRow("s6r") << int(SupportFiles::LampRed) << "s6r.dat";
    QTest::newRow("s6g") << int(SupportFiles::LampGreen) << "s6g.dat";
}

void TestApp::supportFilesAreExactBitmaps()
{
    QFETCH(int, picture);
    QFETCH(QString, name);
    QTemporaryDir dir;
    Started s(dir.path());

    const QByteArray file = readAll(dir.filePath(name));
    QCOMPARE(file.size(), 822);
    QCOMPARE(file, SupportFiles::builtInFile(SupportFiles::Picture(picture)));
    QCOMPARE(file.left(2), QByteArray("BM"));
    QCOMPARE(le32(file, 2), 822u);
    QCOMPARE(le32(file, 6), 0u);
    QCOMPARE(le32(file, 10), 54u);
    QCOMPARE(le32(file, 14), 40u);
    QCOMPARE(le32(file, 18), 16u);
    QCOMPARE(le32(file, 22), 16u);
    QCOMPARE(le16(file, 26), quint16(1));
    QCOMPARE(le16(file, 28), quint16(24));
    QCOMPARE(le32(file, 30), 0u);
    QCOMPARE(le32(file, 34), 768u);
    QCOMPARE(le32(file, 38), 3780u);
    QCOMPARE(le32(file, 42), 3780u);
    QCOMPARE(le32(file, 46), 0u);
    QCOMPARE(le32(file, 50), 0u);
    // Bottom row first, blue-green-red: the first stored pixel is the bottom
    // left one.
    const QImage image = builtIn(SupportFiles::Picture(picture));
    const QRgb bottomLeft = image.pixel(0, 15);
    QCOMPARE(quint8(file[54]), quint8(qBlue(bottomLeft)));
    QCOMPARE(quint8(file[56]), quint8(qRed(bottomLeft)));
    // And a bitmap reader sees the same picture.
    QImage read;
    QVERIFY(read.loadFromData(file, "BMP"));
    QCOMPARE(read.convertToFormat(QImage::Format_RGB32), image);
}

void TestApp::supportPicturesFollowTheirDescription()
{
    const QRgb silver = qRgb(192, 192, 192);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    const int fill[] = {3, 5, 7, 7, 13};
    for (int digit = 0; digit < 5; ++digit) {
        const QImage image = builtIn(SupportFiles::Picture(SupportFiles::Speed1 + digit));
        QCOMPARE(image.pixel(0, 0), silver);
        QVERIFY(countColour(image, blue) > 8);
        // Three rows of gauge, filled from the left.
        QCOMPARE(countColour(image, red), 3 * fill[digit]);
        QCOMPARE(image.pixel(1, 11), red);
    }
    const QImage redLamp = builtIn(SupportFiles::LampRed);
    const QImage greenLamp = builtIn(SupportFiles::LampGreen);
    QCOMPARE(redLamp.pixel(8, 9), red);
    QCOMPARE(greenLamp.pixel(8, 9), qRgb(0, 128, 0));
    QCOMPARE(greenLamp.pixel(0, 0), silver);
    QCOMPARE(greenLamp.pixel(5, 5), qRgb(255, 255, 255));
}

void TestApp::missingSupportFileIsWrittenOthersAreKept()
{
    QTemporaryDir dir;
    {
        Started first(dir.path());
    }
    // Another picture in s1.dat, and s6g.dat gone.
    const QByteArray altered = SupportFiles::builtInFile(SupportFiles::LampRed);
    writeAll(dir.filePath("s1.dat"), altered);
    QVERIFY(QFile::remove(dir.filePath("s6g.dat")));

    Started s(dir.path());
    QCOMPARE(readAll(dir.filePath("s6g.dat")), SupportFiles::builtInFile(SupportFiles::LampGreen));
    QCOMPARE(readAll(dir.filePath("s1.dat")), altered);
}

void TestApp::alteredSupportFilesAreShownAsTheyAre()
{
    QTemporaryDir dir;
    // s5.dat holds the red lamp, s6g.dat the red lamp as well.
    writeAll(dir.filePath("s5.dat"), SupportFiles::builtInFile(SupportFiles::LampRed));
    writeAll(dir.filePath("s6r.dat"), SupportFiles::builtInFile(SupportFiles::Speed1));
    Started s(dir.path());
    QCOMPARE(readAll(dir.filePath("s5.dat")), SupportFiles::builtInFile(SupportFiles::LampRed));
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QCOMPARE(shown(s.speedButton(i)->icon()), builtIn(SupportFiles::LampRed));
    // A lamp an upload shows is read from its file too.
    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QVERIFY(s.uploads().start([](UploadProgress &) {
        UploadOutcome failed;
        failed.result = UploadResult::CantOpen;
        return failed;
    }));
    QVERIFY(finished.wait(10000));
    QCOMPARE(shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()), builtIn(SupportFiles::Speed1));
    // The failure's box, and no other: the altered lamp is no damaged file.
    QCOMPARE(s.dialogs->messageTexts(), QStringList{"Serial port can't open!"});
}

void TestApp::unwritableFolderFallsBackToUserData()
{
    QTemporaryDir dir;
    // A folder that can't be written, even by root: it lies under a file.
    writeAll(dir.filePath("file"), "x");
    const QString executableDir = dir.filePath("file/bin");
    const QString fallback = dir.filePath("user/data/varlo");

    Started s(executableDir, fallback);
    QCOMPARE(s.window->supportFiles().folder(), fallback);
    QCOMPARE(readAll(fallback + "/s5.dat"), SupportFiles::builtInFile(SupportFiles::Speed5));
    QVERIFY(s.dialogs->messages.isEmpty());

    // Read from there too: a repainted glyph in the fallback folder shows.
    writeAll(fallback + "/s1.dat", SupportFiles::builtInFile(SupportFiles::LampGreen));
    s.speedButton(0)->click();
    QCOMPARE(shown(s.speedButton(0)->icon()), builtIn(SupportFiles::LampGreen));
}

void TestApp::unreadableGlyphIsReportedOnce()
{
    QTemporaryDir dir;
    writeAll(dir.filePath("s5.dat"), "this is no bitmap");
    Started s(dir.path());
    QTest::keyClicks(s.edit(0), QStringLiteral("abc"));
    QCOMPARE(s.edit(0)->markup(), QByteArray("abc"));
    QTRY_COMPARE(s.dialogs->messages.size(), 1);
    QVERIFY(s.dialogs->messages[0].text.contains(dir.filePath("s5.dat")));
    QVERIFY(!s.dialogs->messages[0].detail.isEmpty());
    QTest::keyClicks(s.edit(1), QStringLiteral("more"));
    QTest::qWait(50);
    QCOMPARE(s.dialogs->messages.size(), 1);
    // The button shows the built-in glyph instead.
    QCOMPARE(shown(s.speedButton(0)->icon()), builtIn(SupportFiles::Speed5));
    QVERIFY(s.document().isModified());
}

void TestApp::damagedGlyphFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("reported");

    const QByteArray good = SupportFiles::builtInFile(SupportFiles::Speed5);
    QByteArray huge = good;
    qToLittleEndian<qint32>(30000, huge.data() + 18); // width
    qToLittleEndian<qint32>(30000, huge.data() + 22); // height
    QByteArray deep = good;
    qToLittleEndian<quint16>(64, deep.data() + 28); // bits per pixel
    QByteArray farPixels = good;
    qToLittleEndian<quint32>(0x7FFFFFF0, farPixels.data() + 10); // where the pixels start

    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("header cut short") << good.left(20) << true;
    QTest::newRow("30000 x 30000 pixels claimed") << huge << true;
    QTest::newRow("64 bits per pixel") << deep << true;
    // Qt's bitmap reader makes a picture of whatever pixels there are.
    QTest::newRow("pixels cut short") << good.left(100) << false;
    QTest::newRow("pixels past the end") << farPixels << false;
}

// Whatever a glyph file holds, the program starts, shows a picture on each
// speed button and takes typing; a file it can't read is reported once, and
// the built-in glyph stands in.
void TestApp::damagedGlyphFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reported);
    QTemporaryDir dir;
    writeAll(dir.filePath("s5.dat"), bytes);

    Started s(dir.path());
    QVERIFY(s.window->isVisible());
    QTest::keyClicks(s.edit(0), QStringLiteral("abc"));
    QCOMPARE(s.document().messageSet().markup(0), QByteArray("abc"));
    QTest::qWait(20);
    QCOMPARE(s.dialogs->messages.size(), reported ? 1 : 0);
    if (reported) {
        QVERIFY(s.dialogs->messages[0].text.contains(dir.filePath("s5.dat")));
        QCOMPARE(shown(s.speedButton(0)->icon()), builtIn(SupportFiles::Speed5));
    }
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QVERIFY(!s.speedButton(i)->icon().isNull());
    QCOMPARE(readAll(dir.filePath("s5.dat")), bytes); // not "repaired" behind the user's back
}

void TestApp::noFolderToWriteSupportFilesTo()
{
    QTemporaryDir dir;
    // Neither folder can be made, even by root: both lie under a file.
    writeAll(dir.filePath("file"), "x");
    Started s(dir.filePath("file/bin"), dir.filePath("file/data/varlo"));

    // The built-in pictures stand in, each missing file reported once.
    QTest::keyClicks(s.edit(0), QStringLiteral("abc"));
    s.speedButton(0)->click();
    QTest::qWait(20);
    QCOMPARE(shown(s.speedButton(0)->icon()), builtIn(SupportFiles::Speed1));
    QCOMPARE(shown(s.speedButton(1)->icon()), builtIn(SupportFiles::Speed5));
    QStringList reported;
    for (const RecordingDialogs::Shown &m : s.dialogs->messages)
        reported << m.text;
    QCOMPARE(reported.removeDuplicates(), 0);
    QVERIFY(!reported.isEmpty());

    // The document works as ever: it saves to where the user says.
    s.dialogs->saveAnswers << dir.filePath("kept");
    QVERIFY(s.save());
    QCOMPARE(readAll(dir.filePath("kept.vlo")).size(), 58 + 3);
}

void TestApp::speedCycle_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("code");

    QTest::newRow("4 once wraps to 0") << 4 << 1 << 0;
    QTest::newRow("4 five times is back") << 4 << 5 << 4;
    QTest::newRow("0 once") << 0 << 1 << 1;
    QTest::newRow("2 twice") << 2 << 2 << 4;
    QTest::newRow("7 from a file once") << 7 << 1 << 0;
    QTest::newRow("255 once") << 255 << 1 << 0;
}

void TestApp::speedCycle()
{
    QFETCH(int, start);
    QFETCH(int, clicks);
    QFETCH(int, code);
    QTemporaryDir dir;
    Started s(dir.path());
    MessageSet set = s.document().messageSet();
    set.setSpeedCode(7, quint8(start));
    s.document().takeTextsAndSpeedCodes(set);

    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(s.speedButton(7), Qt::LeftButton);
    QCOMPARE(int(s.document().messageSet().speedCode(7)), code);
    QCOMPARE(shown(s.speedButton(7)->icon()), builtIn(SupportFiles::speedGlyph(quint8(code))));
    QVERIFY(s.document().isModified());
    // The other slots keep theirs.
    QCOMPARE(int(s.document().messageSet().speedCode(6)), 4);
}

void TestApp::speedCodeAboveFourKeepsItsGlyph()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.speedButton(2)->click(); // code 0, digit 1
    MessageSet set = s.document().messageSet();
    set.setSpeedCode(2, 7);
    s.document().takeTextsAndSpeedCodes(set);
    QCOMPARE(int(s.document().messageSet().speedCode(2)), 7);
    QCOMPARE(shown(s.speedButton(2)->icon()), builtIn(SupportFiles::Speed1));
}

void TestApp::speedFromTheKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
}

void TestApp::speedFromTheKeyboard()
{
    QFETCH(int, key);
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    s.edit(3)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.edit(3), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), s.speedButton(3));

    QTest::keyClick(s.speedButton(3), Qt::Key(key));
    QCOMPARE(int(s.document().messageSet().speedCode(3)), 0);
    QCOMPARE(shown(s.speedButton(3)->icon()), builtIn(SupportFiles::Speed1));
    QVERIFY(s.document().isModified());
    QTest::keyClick(s.speedButton(3), Qt::Key(key));
    QCOMPARE(int(s.document().messageSet().speedCode(3)), 1);
    // The other slots keep theirs, and the focus stays for the next step.
    QCOMPARE(int(s.document().messageSet().speedCode(2)), 4);
    QCOMPARE(QApplication::focusWidget(), s.speedButton(3));

    // A mouse click still leaves the caret in the slot being typed in.
    s.edit(5)->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(s.speedButton(5), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), s.edit(5));
}

void TestApp::speedSaysItselfInWords_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("words");
    QTest::newRow("0") << 0 << QStringLiteral("Speed 1, slow — click to change");
    QTest::newRow("1") << 1 << QStringLiteral("Speed 2, normal — click to change");
    QTest::newRow("2") << 2 << QStringLiteral("Speed 3, fast — click to change");
    QTest::newRow("3") << 3 << QStringLiteral("Speed 4, faster — click to change");
    QTest::newRow("4") << 4 << QStringLiteral("Speed 5, fastest — click to change");
    QTest::newRow("7 from a file") << 7
                                   << QStringLiteral(
                                          "Speed code 7 from the file, run as the fastest — click to change");
}

void TestApp::speedSaysItselfInWords()
{
    QFETCH(int, code);
    QFETCH(QString, words);
    QTemporaryDir dir;
    Started s(dir.path());
    MessageSet set = s.document().messageSet();
    set.setSpeedCode(9, quint8(code));
    s.document().takeTextsAndSpeedCodes(set);

    QCOMPARE(s.speedButton(9)->toolTip(), words);
    QCOMPARE(s.speedButton(9)->accessibleDescription(), words);
    QCOMPARE(s.speedButton(8)->toolTip(), QStringLiteral("Speed 5, fastest — click to change"));
}

void TestApp::tabReachesEveryControl()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    QCOMPARE(QApplication::focusWidget(), s.edit(0));
    QList<QWidget *> reached{s.edit(0)};
    for (int i = 0; i < 200; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (QApplication::focusWidget() == s.edit(0))
            break;
        reached << QApplication::focusWidget();
    }
    // Each slot's speed button straight after its edit box.
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        QCOMPARE(reached.value(2 * i), s.edit(i));
        QCOMPARE(reached.value(2 * i + 1), s.speedButton(i));
    }
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QVERIFY2(reached.contains(s.runBox(i)), qPrintable(s.runBox(i)->objectName()));
    for (const char *name : {"suiButton1", "ComboBox3", "suiTrackBar1", "Send"})
        QVERIFY2(reached.contains(s.find<QWidget>(QLatin1String(name))), name);
}

void TestApp::keystrokeLeavesSpeedIconsAlone()
{
    QTemporaryDir dir;
    Started s(dir.path());
    // A new icon has a new cache key; setting one repaints the button.
    const auto iconKeys = [&] {
        QList<qint64> keys;
        for (int i = 0; i < MessageSet::kSlotCount; ++i)
            keys << s.speedButton(i)->icon().cacheKey();
        return keys;
    };
    const QList<qint64> before = iconKeys();
    QTest::keyClicks(s.edit(0), QStringLiteral("AB"));
    QCOMPARE(s.edit(0)->markup(), QByteArray("AB"));
    QCOMPARE(iconKeys(), before);

    // The file is still read at every keystroke: a repainted glyph shows at
    // the next one, on every button of its speed.
    writeAll(dir.filePath("s5.dat"), SupportFiles::builtInFile(SupportFiles::LampGreen));
    QTest::keyClicks(s.edit(0), QStringLiteral("C"));
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        QCOMPARE(shown(s.speedButton(i)->icon()), builtIn(SupportFiles::LampGreen));
    QVERIFY(iconKeys() != before);
    QVERIFY(s.dialogs->messages.isEmpty());
}

void TestApp::saveButtonFollowsTheModifiedFlag()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(!s.btnSave()->isEnabled(), 1000);
    QVERIFY(s.find<QAction>(QStringLiteral("Save1"))->isEnabled());
    s.speedButton(0)->click();
    QTRY_VERIFY_WITH_TIMEOUT(s.btnSave()->isEnabled(), 1000);
}

void TestApp::runCheckBoxesAreRunFlags()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QTest::mouseClick(s.runBox(3), Qt::LeftButton, {}, QPoint(6, s.runBox(3)->height() / 2));
    QVERIFY(!s.runBox(3)->isChecked());
    QVERIFY(!s.document().messageSet().run(3));
    QVERIFY(s.document().messageSet().run(4));
    QVERIFY(!s.document().isModified());
    QVERIFY(s.tick());
    QVERIFY(!s.btnSave()->isEnabled());
}

void TestApp::textChanges()
{
    QTemporaryDir dir;
    Started s(dir.path());
    // Writing the text a slot already holds is no change.
    s.edit(5)->setMarkup(QByteArray());
    QVERIFY(!s.document().isModified());

    QTest::keyClicks(s.edit(5), QStringLiteral("AB~+"));
    QCOMPARE(s.document().messageSet().markup(5), QByteArray("AB~+"));
    QVERIFY(s.document().isModified());
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(5)->text(), QStringLiteral("4"));
    QVERIFY(s.btnSave()->isEnabled());
}

void TestApp::countsIncludeTextsOver124()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QTest::keyClicks(s.edit(0), QString(130, QLatin1Char('a')));
    MessageSet set = s.document().messageSet();
    set.setMarkup(1, QByteArray(200, 'b'));
    s.document().takeTextsAndSpeedCodes(set);
    QVERIFY(s.tick());
    QCOMPARE(s.runBox(0)->text(), QStringLiteral("124"));
    QCOMPARE(s.runBox(1)->text(), QStringLiteral("200"));
    QCOMPARE(s.runBox(2)->text(), QStringLiteral("0"));
    QCOMPARE(s.document().messageSet().markup(1).size(), 200);
    // The status bar says why typing stopped.
    QVERIFY(s.window->statusBar()->currentMessage().contains(QLatin1String("124")));
}

void TestApp::trackBar_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("label");
    QTest::newRow("0") << 0 << "Commu Delay: 0 ms";
    QTest::newRow("3") << 3 << "Commu Delay: 150 ms";
    QTest::newRow("10") << 10 << "Commu Delay: 500 ms";
}

void TestApp::trackBar()
{
    QFETCH(int, position);
    QFETCH(QString, label);
    QTemporaryDir dir;
    Started s(dir.path());
    auto *bar = s.find<QSlider>(QStringLiteral("suiTrackBar1"));
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 10);
    QCOMPARE(bar->pageStep(), 2);
    bar->setValue(10 - position); // make sure the change below is one
    bar->setValue(position);
    QCOMPARE(s.find<QLabel>(QStringLiteral("Label9"))->text(), label);
    QVERIFY(!s.document().isModified());
}

void TestApp::moveText_data()
{
    QTest::addColumn<QStringList>("texts"); // slots A, B, C ...
    QTest::addColumn<int>("focus"); // -1: the port box
    QTest::addColumn<bool>("up");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("newFocus");
    QTest::addColumn<bool>("modified");

    const QStringList abc{"one", "two", "three"};
    QTest::newRow("up from C") << abc << 2 << true << QStringList{"one", "three", "two"} << 1 << true;
    QTest::newRow("down from A") << abc << 0 << false << QStringList{"two", "one", "three"} << 1 << true;
    QTest::newRow("up from A does nothing") << abc << 0 << true << abc << 0 << false;
    QTest::newRow("down from T does nothing") << abc << 19 << false << abc << 19 << false;
    QTest::newRow("focus elsewhere") << abc << -1 << true << abc << -1 << false;
    QTest::newRow("equal neighbours") << QStringList{"same", "same"} << 1 << true << QStringList{"same", "same"} << 0
                                      << false;
    QTest::newRow("into an empty slot") << QStringList{"", "text"} << 1 << true << QStringList{"text", ""} << 0 << true;
}

void TestApp::moveText()
{
    QFETCH(QStringList, texts);
    QFETCH(int, focus);
    QFETCH(bool, up);
    QFETCH(QStringList, expected);
    QFETCH(int, newFocus);
    QFETCH(bool, modified);

    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    MessageSet set = s.document().messageSet();
    for (int i = 0; i < texts.size(); ++i)
        set.setMarkup(i, texts[i].toLatin1());
    set.setSpeedCode(1, 2);
    s.document().takeTextsAndSpeedCodes(set);
    s.runBox(1)->setChecked(false);
    QWidget *port = s.find<QWidget>(QStringLiteral("ComboBox3"));
    QWidget *start = focus < 0 ? port : s.edit(focus);
    start->setFocus(Qt::MouseFocusReason);
    QCOMPARE(s.window->focusWidget(), start);

    // The set-up itself changed texts, so the flag is already set; the text
    // change notifications show whether the move changed anything.
    const MessageSet was = s.document().messageSet();
    int changes = 0;
    for (int i = 0; i < MessageSet::kSlotCount; ++i)
        connect(s.edit(i), &QLineEdit::textChanged, this, [&changes] { ++changes; });
    QTest::mouseClick(s.find<QToolButton>(up ? "ToolButton6" : "ToolButton7"), Qt::LeftButton);

    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(QString::fromLatin1(s.document().messageSet().markup(i)), expected[i]);
    QWidget *end = newFocus < 0 ? port : s.edit(newFocus);
    QCOMPARE(s.window->focusWidget(), end);
    if (newFocus >= 0 && newFocus != focus)
        QCOMPARE(s.edit(newFocus)->selectedText(), expected[newFocus]);
    // Speed codes and run flags stay with their slots.
    QCOMPARE(s.document().messageSet().speedCodes(), was.speedCodes());
    QVERIFY(!s.runBox(1)->isChecked());
    QCOMPARE(changes > 0, modified);
    QVERIFY(s.document().isModified());
    if (!modified)
        QCOMPARE(s.document().messageSet(), was);
}

void TestApp::newEmptiesTheSlots()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.runBox(2)->setChecked(false);
    s.speedButton(2)->click();
    QTest::keyClicks(s.edit(2), QStringLiteral("text"));
    s.dialogs->saveChangesAnswers << Dialogs::SaveChoice::Discard;
    s.find<QAction>(QStringLiteral("New1"))->trigger();
    QCOMPARE(s.window->windowTitle(), kFirstCaption);
    QCOMPARE(s.document().messageSet().markup(2), QByteArray());
    QCOMPARE(int(s.document().messageSet().speedCode(2)), 4);
    QCOMPARE(shown(s.speedButton(2)->icon()), builtIn(SupportFiles::Speed5));
    QVERIFY(!s.runBox(2)->isChecked());
    QVERIFY(s.document().isModified());
}

void TestApp::uploadRunsOffTheWindowThread()
{
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    QSemaphore go;
    // Should a check below fail, the job still ends, and so does the test.
    const auto releaseJob = qScopeGuard([&go] { go.release(); });
    QThread *uiThread = QThread::currentThread();
    std::atomic<bool> offThread = false;
    std::atomic<int> jobs = 0;
    QString boxStatus;
    s.dialogs->onMessage = [&](const QString &) {
        // The box comes once the job has ended, the port still in the status bar.
        boxStatus = s.window->statusBar()->currentMessage();
    };

    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    auto job = [&](UploadProgress &progress) {
        ++jobs;
        offThread = QThread::currentThread() != uiThread;
        progress.portOpened(PortChoice::com(3));
        progress.setProgressMaximum(21);
        progress.setProgressPosition(5);
        go.acquire();
        UploadOutcome failed;
        failed.result = UploadResult::WriteError;
        failed.reason = QStringLiteral("Input/output error");
        failed.port = PortChoice::com(3);
        failed.begun = true;
        return failed;
    };
    s.edit(0)->setFocus(Qt::MouseFocusReason);
    QVERIFY(s.uploads().start(job));
    QVERIFY(s.uploads().isRunning());
    QCOMPARE(s.window->cursor().shape(), Qt::BusyCursor);

    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    QTRY_COMPARE(progress->value(), 5);
    QCOMPARE(progress->text(), QStringLiteral("23%"));
    QCOMPARE(s.window->statusBar()->currentMessage(), QStringLiteral("  Com:3"));

    // No input meanwhile: no typing, no second upload, no menu, no closing.
    QTest::keyClicks(s.edit(0), QStringLiteral("abc"));
    QCOMPARE(s.edit(0)->text(), QString());
    auto *send = s.find<QPushButton>(QStringLiteral("Send"));
    QSignalSpy clicked(send, &QPushButton::clicked);
    QTest::mouseClick(send, Qt::LeftButton);
    QCOMPARE(clicked.count(), 0);
    QTest::mouseClick(s.find<QToolButton>(QStringLiteral("BtnOpen")), Qt::LeftButton);
    QVERIFY(s.dialogs->openPresets.isEmpty());
    QVERIFY(!s.uploads().start(job));
    QTest::keyClick(s.window.get(), Qt::Key_F, Qt::AltModifier);
    QVERIFY(!s.window->menuBar()->activeAction());
    QVERIFY(!s.window->close());
    QVERIFY(s.window->isVisible());

    go.release();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(uploadDone(finished), false);
    QVERIFY(offThread);
    QCOMPARE(jobs.load(), 1);
    QCOMPARE(s.dialogs->messages.size(), 1);
    QCOMPARE(s.dialogs->messages[0].text, QStringLiteral("Serial port write error!"));
    QCOMPARE(s.dialogs->messages[0].detail, QStringLiteral("Input/output error"));
    QCOMPARE(boxStatus, QStringLiteral("  Com:3"));
    QCOMPARE(shown(send->icon()), builtIn(SupportFiles::LampRed));
    QCOMPARE(progress->value(), 0);
    QVERIFY(!s.uploads().isRunning());
    QVERIFY(!s.document().isModified());
    QCOMPARE(s.window->cursor().shape(), Qt::ArrowCursor);
    // The keyboard focus is back where it was.
    QCOMPARE(QApplication::focusWidget(), s.edit(0));

    // Input works again.
    QTest::keyClicks(s.edit(0), QStringLiteral("abc"));
    QCOMPARE(s.edit(0)->text(), QStringLiteral("abc"));
}

void TestApp::realBoxEndsWithItsWindow_data()
{
    QTest::addColumn<QString>("box");
    for (const char *box : {"message", "confirm", "savechanges", "open", "save"})
        QTest::newRow(box) << QString::fromLatin1(box);
}

// The real boxes and dialogs, with a window that is destroyed while one of
// them is open: the box goes with it and answers Cancel.
void TestApp::realBoxEndsWithItsWindow()
{
    QFETCH(QString, box);
    WidgetDialogs dialogs;
    auto *window = new QWidget;
    window->show();
    bool destroyed = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(100, [&] {
        if (auto *shown = window->findChild<QMessageBox *>())
            icon = shown->icon();
        delete window;
        destroyed = true;
    });
    QString answer = QStringLiteral("none");
    if (box == "message")
        dialogs.showMessage(window, QStringLiteral(" File Read Error! "), QString());
    else if (box == "confirm")
        answer = dialogs.confirm(window, QStringLiteral("Confirm"), QStringLiteral(" Save change ?")) ? "OK" : "";
    else if (box == "savechanges")
        answer = dialogs.askSaveChanges(window, QStringLiteral("Confirm"), QStringLiteral("Save?"))
                == Dialogs::SaveChoice::Cancel
            ? ""
            : "answered";
    else if (box == "open")
        answer = dialogs.openFileName(window, QStringLiteral("*.vlo"), QStringLiteral("/tmp/a.vlo"));
    else
        answer = dialogs.saveFileName(window, QStringLiteral("*.vlo"), QStringLiteral("/tmp/a.vlo"));
    QVERIFY(destroyed);
    QCOMPARE(answer, box == "message" ? QStringLiteral("none") : QString());
    // A message reports a fault, and says so with the warning icon.
    if (box == "message")
        QCOMPARE(icon, QMessageBox::Warning);
}

void TestApp::standardKeysRunTheFileCommands_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence::StandardKey>("key");
    QTest::newRow("New") << "New1" << QKeySequence::New;
    QTest::newRow("Open") << "Open1" << QKeySequence::Open;
    QTest::newRow("Save") << "Save1" << QKeySequence::Save;
    QTest::newRow("Save As") << "SaveAs1" << QKeySequence::SaveAs;
    QTest::newRow("Quit") << "Exit1" << QKeySequence::Quit;
}

// The desktop's usual keys reach the commands from a slot's edit box, and
// the menu still shows its underlined letter.
void TestApp::standardKeysRunTheFileCommands()
{
    QFETCH(QString, action);
    QFETCH(QKeySequence::StandardKey, key);
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    auto *command = s.find<QAction>(action);
    QVERIFY(command->text().contains(QLatin1Char('&')));
    s.dialogs->openAnswers << QString();
    s.dialogs->saveAnswers << QString();
    QSignalSpy triggered(command, &QAction::triggered);
    s.edit(0)->setFocus();
    QVERIFY(!command->shortcut().isEmpty());
    QCOMPARE(command->shortcut(), QKeySequence::keyBindings(key).value(0, command->shortcut()));
    QTest::keySequence(s.edit(0), command->shortcut());
    QCOMPARE(triggered.count(), 1);
}

void TestApp::exitClosesUnlessAnUploadRuns()
{
    QTemporaryDir dir;
    Started s(dir.path());
    s.find<QAction>(QStringLiteral("Exit1"))->trigger();
    QVERIFY(!s.window->isVisible());
}

namespace {

// What a screen reader calls the widget: its accessible name, or what Qt
// makes of its text or its label.
QString accessibleNameOf(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

// A part of a composite control (a spin box's line edit, a table's scroll
// bars or viewport) is named and tipped through the control.
bool isPartOfAControl(const QWidget *widget)
{
    const QWidget *up = widget->parentWidget();
    if (qobject_cast<const QScrollBar *>(widget) || qobject_cast<const QAbstractSpinBox *>(up)
        || qobject_cast<const QComboBox *>(up))
        return true;
    for (; up; up = up->parentWidget()) {
        const auto *area = qobject_cast<const QAbstractScrollArea *>(up);
        if (area && (widget == area->viewport() || widget->parentWidget() == area))
            return true;
    }
    return false;
}

// The user works with it: it takes the focus or clicks, or it is one of the
// program's own drawn controls (the glyph grid, the panel display).
bool isControl(const QWidget *widget)
{
    if (qobject_cast<const QAbstractButton *>(widget) || widget->focusPolicy() != Qt::NoFocus)
        return true;
    const bool ownClass = QByteArray(widget->metaObject()->className()).startsWith("varlo::");
    return ownClass && widget->findChildren<QWidget *>().isEmpty();
}

// Every window of the program, the ones made on first use opened.
QList<QWidget *> everyWindow(Started &s)
{
    s.trigger("Preview1");
    s.trigger("Publish1");
    s.trigger("CharacterGenerator1");
    return {s.window.get(),
            s.window->aboutBox(),
            s.window->helpWindow(),
            s.window->previewWindow(),
            s.window->publishDialog(),
            s.window->fontEditor()};
}

} // namespace

void TestApp::everyControlHasATipAndAName()
{
    QTemporaryDir dir;
    Started s(dir.path());
    const QList<QWidget *> windows = everyWindow(s);
    QStringList lacking;
    for (QWidget *window : windows) {
        QVERIFY(window);
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (!isControl(widget) || !widget->isVisibleTo(window) || isPartOfAControl(widget)
                || widget->window() != window)
                continue;
            const QString what =
                QStringLiteral("%1 %2 (%3)")
                    .arg(window->objectName(), widget->objectName(), QLatin1String(widget->metaObject()->className()));
            if (widget->toolTip().isEmpty())
                lacking << what + QStringLiteral(": no tool tip");
            if (accessibleNameOf(widget).trimmed().isEmpty())
                lacking << what + QStringLiteral(": no accessible name");
        }
    }
    for (const QString &line : std::as_const(lacking))
        qWarning("%s", qPrintable(line));
    QVERIFY2(lacking.isEmpty(), qPrintable(QStringLiteral("%1 controls lack a tip or a name").arg(lacking.size())));
}

namespace {

// What of a text does not fit its widget, or nothing.
QString clipped(QWidget *widget)
{
    const QFontMetrics metrics = widget->fontMetrics();
    const auto advance = [&](QString text) { return metrics.horizontalAdvance(text.remove(QLatin1Char('&'))); };
    QStyle *style = widget->style();
    int need = 0;
    int room = widget->contentsRect().width();
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
            return {};
        for (const QString &line : label->text().split(QLatin1Char('\n')))
            need = std::max(need, advance(line));
        room -= 2 * label->margin() + 2 * label->indent() * (label->indent() > 0);
    } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
        if (box->text().isEmpty())
            return {};
        need = advance(box->text()) + style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box)
            + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        if (button->text().isEmpty())
            return {};
        // The icon, and a few pixels of frame on either side.
        need = advance(button->text()) + (button->icon().isNull() ? 0 : button->iconSize().width() + 4) + 8;
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        // Its own measure of its widest item, arrow and frame.
        need = combo->sizeHint().width();
        room = combo->width();
    } else {
        return {};
    }
    if (need <= room)
        return {};
    return QStringLiteral("%1 %2 (%3): %4 px of text in %5 px")
        .arg(widget->window()->objectName(), widget->objectName(), QLatin1String(widget->metaObject()->className()))
        .arg(need)
        .arg(room);
}

} // namespace

void TestApp::everyTextFits()
{
    // Run in the suite at 14 points too: a desktop set to large text must
    // not cut a word of any window.
    QTemporaryDir dir;
    Started s(dir.path());
    MessageSet set = s.document().messageSet();
    set.setMarkup(0, QByteArray(124, 'W')); // a count of three digits
    s.document().takeTextsAndSpeedCodes(set);
    s.window->findChild<QSlider *>(QStringLiteral("suiTrackBar1"))->setValue(10);
    QVERIFY(s.tick());
    const QList<QWidget *> windows = everyWindow(s);
    QStringList cut;
    for (QWidget *window : windows) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (!widget->isVisibleTo(window) || widget->window() != window)
                continue;
            if (const QString why = clipped(widget); !why.isEmpty())
                cut << why;
            // Inside its parent, or it is cut off there (a scrolled area's
            // contents may be larger than what shows of them).
            const QWidget *parent = widget->parentWidget();
            if (parent && !qobject_cast<const QAbstractScrollArea *>(parent->parentWidget())
                && !parent->rect().contains(widget->geometry()))
                cut << QStringLiteral("%1 %2 (%3) stands outside its parent")
                           .arg(window->objectName(), widget->objectName(),
                                QLatin1String(widget->metaObject()->className()));
        }
        // Whole on the screen.
        const QRect screen = window->screen()->availableGeometry();
        if (window->width() > screen.width() || window->height() > screen.height())
            cut << QStringLiteral("%1 is %2 x %3, larger than the screen")
                       .arg(window->objectName())
                       .arg(window->width())
                       .arg(window->height());
        if (window != s.window.get())
            window->hide();
    }
    for (const QString &line : std::as_const(cut))
        qWarning("%s", qPrintable(line));
    QVERIFY2(cut.isEmpty(), qPrintable(QStringLiteral("%1 texts do not fit").arg(cut.size())));

    // Where the rows don't all fit the screen, they scroll, and the window
    // can be made larger or smaller; where they fit, nothing scrolls.
    auto *area = s.find<QScrollArea>(QStringLiteral("SlotRowsArea"));
    const bool scrolls = s.window->slotRows()->height() > area->viewport()->height();
    QCOMPARE(area->verticalScrollBar()->isVisible(), scrolls);
    QCOMPARE(s.window->minimumHeight() < s.window->maximumHeight(), scrolls);
    if (scrolls) {
        area->ensureWidgetVisible(s.edit(19));
        QVERIFY(area->verticalScrollBar()->value() > 0);
    }
}

void TestApp::aboutWindow()
{
    QTemporaryDir dir;
    Started s(dir.path());
    auto *about = s.window->aboutBox();
    // The places are the box's at the default font; a larger one widens it
    // around its text (everyTextFits checks that the text fits).
    const bool defaultFont = !qEnvironmentVariableIsSet("VARLO_TEST_UI_FONT_PT");
    for (int round = 0; round < 2; ++round) {
        // Read in the box and compared once it is closed: a failed compare
        // inside would leave the modal box open for good.
        bool visible = false;
        bool modal = false;
        QString title, text, okText;
        QPoint labelPos;
        QRect okGeometry;
        QTimer::singleShot(0, about, [&] {
            visible = about->isVisible();
            modal = about->isModal();
            title = about->windowTitle();
            auto *label = about->findChild<QLabel *>();
            text = label->text();
            labelPos = label->pos();
            auto *ok = about->findChild<QPushButton *>(QStringLiteral("Button1"));
            okText = ok->text();
            okGeometry = ok->geometry();
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        s.find<QAction>(QStringLiteral("About1"))->trigger();
        QVERIFY(visible);
        QVERIFY(modal);
        QCOMPARE(title, QStringLiteral("About"));
        QCOMPARE(text, QStringLiteral("VARLO PANEL CONTROLLER ,    VER 3.00"));
        QCOMPARE(okText, QStringLiteral("&OK"));
        QCOMPARE(labelPos, QPoint(64, 40));
        if (defaultFont)
            QCOMPARE(okGeometry, QRect(136, 112, 75, 25));
        QVERIFY(!about->isVisible());
    }
    QCOMPARE(s.window->findChildren<AboutBox *>().size(), 1);
    QVERIFY(!s.document().isModified());
}

void TestApp::helpWindow()
{
    QTemporaryDir dir;
    Started s(dir.path());
    auto *help = s.window->helpWindow();
    auto *memo = help->findChild<QPlainTextEdit *>(QStringLiteral("Memo1"));
    const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 24);
    QCOMPARE(lines[0], QStringLiteral("Guide :"));
    QCOMPARE(lines[4], QStringLiteral("    Step 1:   Input Message Text in Edit Box."));
    QCOMPARE(lines[7], QStringLiteral("    Step 4:   Press Send Key , The messae you inputed send to varlo panel."));
    QCOMPARE(lines[9], QStringLiteral("2.  About Speed:"));
    QCOMPARE(lines[11], QStringLiteral("   Speed 1 = SLOW"));
    QCOMPARE(lines[19], QStringLiteral("  Use this function, you can select what message show now and to run "));
    QCOMPARE(lines[22], QStringLiteral("4. A picture occupy 2 bytes."));
    QCOMPARE(lines[23], QStringLiteral("    "));
    QCOMPARE(lines[1], QString());
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->geometry(), QRect(0, 8, 385, 265));

    bool checked = false;
    QTimer::singleShot(0, help, [&] {
        QVERIFY(help->isVisible());
        QVERIFY(help->isModal());
        QCOMPARE(help->windowTitle(), QStringLiteral("Help..."));
        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_Return);
        QTest::keyClicks(memo, QStringLiteral("x"));
        checked = true;
        help->close();
    });
    s.find<QAction>(QStringLiteral("Help2"))->trigger();
    QVERIFY(checked);
    QVERIFY(!help->isVisible());
    QCOMPARE(memo->toPlainText().split(QLatin1Char('\n')), lines);
}

void TestApp::windowIconIsThePackagedIcon_data()
{
    QTest::addColumn<int>("side");
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%dx%d", side, side) << side;
}

void TestApp::windowIconIsThePackagedIcon()
{
    QFETCH(int, side);
    QTemporaryDir dir;
    Started s(dir.path());
    const QImage packaged(QStringLiteral(VARLO_PACKAGED_ICONS "/varlo-%1.png").arg(side));
    QCOMPARE(packaged.size(), QSize(side, side));
    const QImage shownIcon = s.window->windowIcon().pixmap(QSize(side, side)).toImage();
    // A pixmap keeps its colours premultiplied, so compare them so.
    QCOMPARE(shownIcon.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             packaged.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

namespace {

// The display a command-line test gives varlo.
enum class DisplaySetting { None, Unreachable };

// An X display number nothing listens on, so connecting to it fails at once.
QString unusedXDisplay()
{
    for (int number = 4242;; ++number) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (!QFileInfo::exists(socket) && !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            return QStringLiteral(":%1").arg(number);
    }
}

// The environment of a user without a desktop session: none of DISPLAY,
// WAYLAND_DISPLAY and QT_QPA_PLATFORM set.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        environment.remove(QString::fromLatin1(variable));
    return environment;
}

} // namespace

void TestApp::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<DisplaySetting>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // standard output, in full
    QTest::addColumn<QString>("errEnd"); // how standard error ends

    const QString version = QStringLiteral("varlo " VARLO_VERSION "\n");
    const QString noDisplay =
        QStringLiteral("varlo: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                       "run it in a desktop session, or over ssh with ssh -X\n");
    QTest::newRow("--version") << QStringList{"--version"} << DisplaySetting::None << 0 << version << "";
    QTest::newRow("-v") << QStringList{"-v"} << DisplaySetting::None << 0 << version << "";
    // The toolkit's own options are accepted and left for Qt.
    QTest::newRow("toolkit options") << QStringList{"-platform", "offscreen", "-style", "Fusion", "--version"}
                                     << DisplaySetting::None << 0 << version << "";
    QTest::newRow("two files") << QStringList{"a.vlo", "b.vlo"} << DisplaySetting::None << 2 << ""
                               << "varlo: one file at a time, not 2\nTry 'varlo --help'.\n";
    QTest::newRow("unknown option") << QStringList{"--colour", "a.vlo"} << DisplaySetting::None << 2 << ""
                                    << "varlo: Unknown option 'colour'.\nTry 'varlo --help'.\n";
    QTest::newRow("missing value") << QStringList{"-platform"} << DisplaySetting::None << 2 << ""
                                   << "varlo: Missing value after '-platform'.\nTry 'varlo --help'.\n";
    QTest::newRow("no display") << QStringList{} << DisplaySetting::None << 1 << "" << noDisplay;
    QTest::newRow("no display, a file") << QStringList{"a.vlo"} << DisplaySetting::None << 1 << "" << noDisplay;
    QTest::newRow("display not reachable")
        << QStringList{} << DisplaySetting::Unreachable << 1 << ""
        << "varlo: can't open the window on this display; run it in a desktop session, "
           "or over ssh with ssh -X\n";
}

// The real program, as a user without a desktop session starts it, or with a
// display that is set but has nothing behind it.
void TestApp::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(DisplaySetting, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errEnd);
    QTemporaryDir home;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("HOME"), home.path());
    if (display == DisplaySetting::Unreachable)
        environment.insert(QStringLiteral("DISPLAY"), unusedXDisplay());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(QStringLiteral(VARLO_PROGRAM), arguments);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        QFAIL("varlo did not end");
    }
    const QString printed = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    // An abort (Qt's fatal error) would be a crash here, not an exit.
    QVERIFY2(program.exitStatus() == QProcess::NormalExit, qPrintable(errors));
    QCOMPARE(printed, out);
    QVERIFY2(errEnd.isEmpty() ? errors.isEmpty() : errors.endsWith(errEnd), qPrintable(errors));
    QCOMPARE(program.exitCode(), exitCode);
}

void TestApp::noBrokerLibraryBeforePublish()
{
    // The dynamic loader's own account of the libraries it loads before
    // main(): the window program must start without libmosquitto and the
    // OpenSSL it brings, which only File > Publish… needs.
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("libs"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VARLO_PROGRAM), {QStringLiteral("--version")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    const QString loaded = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(loaded.contains(QLatin1String("libQt6Widgets")), "LD_DEBUG said nothing");
    for (const char *library : {"libmosquitto", "libssl", "libcrypto"})
        QVERIFY2(!loaded.contains(QLatin1String(library)), library);
}

void TestApp::helpWithoutDisplay()
{
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(VARLO_PROGRAM), {QStringLiteral("--help")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardError(), QByteArray());
    const QString help = QString::fromLocal8Bit(program.readAllStandardOutput());
    for (const char *part : {"[options] [file]", "--version", "-platform <name>", "-style <style>",
                             "A message file (.vlo) to open at start."})
        QVERIFY2(help.contains(QLatin1String(part)), qPrintable(help));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
