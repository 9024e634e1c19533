// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/appfixture.h"

#include "charset/fonttable.h"

#include "support/panelframes.h"
#include "support/virtualpanel.h"
#include "support/virtualports.h"
#include "support/workedexample.h"

#include <QLabel>

#include <atomic>
#include <cerrno>
#include <thread>

using namespace varlo;
using namespace varlo::test;

namespace {

// Every position the progress bar took, in order.
QList<int> positions(const QSignalSpy &spy)
{
    QList<int> out;
    for (const QList<QVariant> &args : spy)
        out << args.first().toInt();
    return out;
}

QList<int> countUp(int from, int to)
{
    QList<int> out;
    for (int i = from; i <= to; ++i)
        out << i;
    return out;
}

} // namespace

class TestUploads : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { useTestUiFont(); }

    void sendTheWorkedExample();
    void initialLoadsTheFonts();
    void portFailure_data();
    void portFailure();
    void deviceVanishesMidUpload();
    void windowDestroyedMidUpload();
    void windowDestroyedWhileTheFailureBoxIsOpen();
    void everythingFromTheKeyboard();
};

namespace {

// The status bar's line about the last upload.
QString lastUpload(Started &s)
{
    return s.find<QLabel>(QStringLiteral("LastUpload"))->text();
}

} // namespace

void TestUploads::sendTheWorkedExample()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(1);
    QVERIFY(panel.isValid());
    QTemporaryDir dir;
    Started s(dir.path());
    // The lamp comes from the file from now on.
    writeAll(dir.filePath("s6g.dat"), SupportFiles::builtInFile(SupportFiles::Speed3));

    QTest::keyClicks(s.edit(0), QStringLiteral("AB"));
    s.dialogs->saveAnswers << dir.filePath("example");
    QVERIFY(s.save());
    QCOMPARE(s.document().messageSet(), workedExampleSet());

    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    QSignalSpy moved(progress, &QProgressBar::valueChanged);
    QStringList percentages;
    connect(progress, &QProgressBar::valueChanged, this, [&] { percentages << progress->text(); });
    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(s.find<QPushButton>(QStringLiteral("Send")), Qt::LeftButton);
    QVERIFY(s.uploads().isRunning());
    QVERIFY(finished.wait(10000));
    QCOMPARE(uploadDone(finished), true);

    const QByteArray expected = QByteArray("T") + workedExampleStream();
    QCOMPARE(panel.waitForBytes(expected.size(), 5000), expected.size());
    QCOMPARE(panel.received().toHex(' '), expected.toHex(' '));
    // 0 was the start value: the bar moves 1 ... 21, then back to 0.
    QCOMPARE(positions(moved), countUp(1, 21) << 0);
    QCOMPARE(percentages.mid(0, 3), (QStringList{"4%", "9%", "14%"}));
    QCOMPARE(percentages[20], QStringLiteral("100%"));
    QCOMPARE(s.window->statusBar()->currentMessage(), QStringLiteral("  Com:1"));
    // The outcome stays beside the port, with the time it came.
    QVERIFY2(lastUpload(s).startsWith(QStringLiteral("Sent to COM 1 at ")), qPrintable(lastUpload(s)));
    QCOMPARE(shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()), builtIn(SupportFiles::Speed3));
    QVERIFY(s.dialogs->messages.isEmpty());
    // Send leaves the document alone.
    QVERIFY(!s.document().isModified());

    // The File menu entry does the same.
    QSignalSpy again(&s.uploads(), &UploadWorker::finished);
    s.find<QAction>(QStringLiteral("Send1"))->trigger();
    QVERIFY(again.wait(10000));
    QCOMPARE(panel.waitForBytes(2 * expected.size(), 5000), 2 * expected.size());
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestUploads::initialLoadsTheFonts()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(4, VirtualPanel::Answer::Silent);
    QTemporaryDir dir;
    Started s(dir.path());
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(4);

    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    QSignalSpy moved(progress, &QProgressBar::valueChanged);
    QString lastPercentage;
    connect(progress, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 63)
            lastPercentage = progress->text();
    });
    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(s.find<QPushButton>(QStringLiteral("suiButton1")), Qt::LeftButton);
    QVERIFY(finished.wait(20000));
    QCOMPARE(uploadDone(finished), true);

    // A chosen port: no probe, 64 frames of 69 bytes.
    QCOMPARE(panel.waitForBytes(64 * 69, 5000), 64 * 69);
    const QByteArray received = panel.received();
    QCOMPARE(received.size(), 64 * 69);
    QCOMPARE(received.left(4).toHex(' '), QByteArray("82 b2 a0 a0"));
    QCOMPARE(received.mid(63 * 69, 4).toHex(' '), QByteArray("82 b2 5f ac"));
    // With the built-in font in use: the built-in table, 64 bytes a frame
    // from address 0 on.
    std::vector<LinkFrame> frames;
    const auto *table = reinterpret_cast<const quint8 *>(FontTable::image().data());
    for (int i = 0; i < 64; ++i)
        frames.push_back(makeWriteFrame(quint16(0x40 * i), FrameData(table + 0x40 * i, frame::kDataSize)));
    QCOMPARE(received, lineCoded(frames));
    QCOMPARE(progress->maximum(), 64);
    QCOMPARE(positions(moved), countUp(1, 63) << 0);
    QCOMPARE(lastPercentage, QStringLiteral("98%"));
    QCOMPARE(ports.lineErrors(), QStringList());
    QCOMPARE(s.window->statusBar()->currentMessage(), QStringLiteral("  Com:4"));
    QVERIFY2(lastUpload(s).startsWith(QStringLiteral("Fonts loaded on COM 4 at ")), qPrintable(lastUpload(s)));
    QCOMPARE(shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()), builtIn(SupportFiles::LampGreen));
    QVERIFY(!s.document().isModified());
}

void TestUploads::portFailure_data()
{
    QTest::addColumn<int>("portIndex");
    QTest::addColumn<bool>("initial");
    QTest::addColumn<QString>("message");
    // What the box's details and the status bar's last line say.
    QTest::addColumn<QStringList>("detail");
    QTest::addColumn<QString>("last");

    QTest::newRow("chosen port missing, Send") << 5 << false << "Serial port can't open!" << QStringList{"COM5 ("}
                                               << "Not sent: Serial port can't open! (COM5 (";
    QTest::newRow("chosen port missing, Initial") << 5 << true << "Serial port can't open!" << QStringList{"COM5 ("}
                                                  << "Fonts not loaded: Serial port can't open! (COM5 (";
    // Every port tried is named, and what to check.
    QTest::newRow("no panel anywhere") << 0 << false << " Can't find serial port!"
                                       << QStringList{"Ports tried:", "No such port: COM15, COM14", "COM1\n",
                                                      "Check that the panel is switched on"}
                                       << "Not sent: Can't find serial port! at ";
}

void TestUploads::portFailure()
{
    QFETCH(int, portIndex);
    QFETCH(bool, initial);
    QFETCH(QString, message);
    QFETCH(QStringList, detail);
    QFETCH(QString, last);

    VirtualPorts ports; // every port a dangling link: nothing answers
    QVERIFY(ports.isValid());
    QTemporaryDir dir;
    Started s(dir.path());
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(portIndex);
    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    progress->setMaximum(50);
    progress->setValue(7);
    QString lampDuringBox;
    s.dialogs->onMessage = [&](const QString &) {
        lampDuringBox = shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()) == builtIn(SupportFiles::LampRed)
            ? QStringLiteral("red")
            : QStringLiteral("green");
    };

    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(s.find<QPushButton>(initial ? "suiButton1" : "Send"), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(uploadDone(finished), false);

    QCOMPARE(s.dialogs->messageTexts(), QStringList{message});
    for (const QString &piece : detail)
        QVERIFY2(s.dialogs->messages[0].detail.contains(piece), qPrintable(s.dialogs->messages[0].detail));
    QVERIFY2(lastUpload(s).startsWith(last), qPrintable(lastUpload(s)));
    // The lamp turns red after the box is closed.
    QCOMPARE(lampDuringBox, QStringLiteral("green"));
    QCOMPARE(shown(s.find<QPushButton>(QStringLiteral("Send"))->icon()), builtIn(SupportFiles::LampRed));
    QCOMPARE(progress->value(), 7);
    QCOMPARE(progress->maximum(), 50);
}

void TestUploads::deviceVanishesMidUpload()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    // Unplugged in the middle of slot B's block.
    VirtualPanel &panel = ports.addPanel(2, VirtualPanel::Answer::Silent);
    panel.vanishAfter(276 + 100);
    QTemporaryDir dir;
    Started s(dir.path());
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        s.edit(slot)->setMarkup(QByteArray(124, char('a' + slot)));
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(2);
    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));
    auto *send = s.find<QPushButton>(QStringLiteral("Send"));
    // While the message is open, nothing else has happened yet: the user
    // reads it with the lamp as it was and the bar where the upload stopped.
    bool lampRedDuringBox = true;
    int progressDuringBox = -1;
    s.dialogs->onMessage = [&](const QString &) {
        QTest::qWait(200); // a user reads slowly
        lampRedDuringBox = shown(send->icon()) == builtIn(SupportFiles::LampRed);
        progressDuringBox = progress->value();
    };

    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(finished.wait(20000));
    QCOMPARE(uploadDone(finished), false);
    QVERIFY(panel.waitUntilVanished(0));
    QVERIFY(!lampRedDuringBox);
    QVERIFY2(progressDuringBox > 0, qPrintable(QString::number(progressDuringBox)));

    QCOMPARE(s.dialogs->messageTexts(), QStringList{"Serial port write error!"});
    QVERIFY2(s.dialogs->messages[0].detail.endsWith(qt_error_string(EIO)), qPrintable(s.dialogs->messages[0].detail));
    QCOMPARE(shown(send->icon()), builtIn(SupportFiles::LampRed));
    QCOMPARE(progress->value(), 0);

    // The window goes on as before: the text can be edited, and a panel
    // plugged in on another port takes the next Send.
    QVERIFY(!s.uploads().isRunning());
    QTest::keyClick(s.edit(0), Qt::Key_Backspace);
    QCOMPARE(s.document().messageSet().markup(0), QByteArray(123, 'a'));
    VirtualPanel &next = ports.addPanel(3, VirtualPanel::Answer::Silent);
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(3);
    QSignalSpy again(&s.uploads(), &UploadWorker::finished);
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(again.wait(20000));
    QCOMPARE(uploadDone(again), true);
    QCOMPARE(shown(send->icon()), builtIn(SupportFiles::LampGreen));
    const qint64 total = 20 * 276 + 72; // 123 characters still fill one block
    QCOMPARE(next.waitForBytes(total, 5000), total);
    QCOMPARE(s.dialogs->messages.size(), 1);
    QCOMPARE(ports.lineErrors(), QStringList());
}

// The program ends with its window destroyed, also when that happens in the
// middle of an upload. Here the panel goes away once the window's end has
// begun, so the upload fails and reports it while the window waits for the
// upload to end: the report must not wait for a window that is going.
void TestUploads::windowDestroyedMidUpload()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(2, VirtualPanel::Answer::Silent);
    QTemporaryDir dir;
    Started s(dir.path());
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        s.edit(slot)->setMarkup(QByteArray(10, char('a' + slot)));
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(2);
    // 500 ms before each slot: the upload is far from its end.
    s.find<QSlider>(QStringLiteral("suiTrackBar1"))->setValue(10);
    auto *progress = s.find<QProgressBar>(QStringLiteral("ProgressBar1"));

    QTest::mouseClick(s.find<QPushButton>(QStringLiteral("Send")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 1, 10000);
    std::atomic<bool> ending = false;
    std::thread unplug([&] {
        while (!ending)
            QThread::msleep(5);
        panel.vanishNow(5000);
    });
    {
        const HangWatch watch(std::chrono::seconds(60), "the window's end, mid-upload");
        ending = true;
        s.window.reset();
    }
    unplug.join();
    QVERIFY(panel.waitUntilVanished(0));
    QVERIFY(panel.receivedCount() < 20 * 276);
    // Nobody was there to read it.
    QVERIFY(s.dialogs->messages.isEmpty());
}

// The window destroyed while it shows the box of a failed upload, which the
// upload waits on.
void TestUploads::windowDestroyedWhileTheFailureBoxIsOpen()
{
    VirtualPorts ports; // every port a dangling link: nothing answers
    QVERIFY(ports.isValid());
    QTemporaryDir dir;
    Started s(dir.path());
    s.find<QComboBox>(QStringLiteral("ComboBox3"))->setCurrentIndex(5);
    bool destroyed = false;
    s.dialogs->onMessage = [&](const QString &) {
        const HangWatch watch(std::chrono::seconds(60), "the window's end, its failure box open");
        s.window.reset();
        destroyed = true;
    };

    QTest::mouseClick(s.find<QPushButton>(QStringLiteral("Send")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(destroyed, 10000);
    QCOMPARE(s.dialogs->messageTexts(), QStringList{"Serial port can't open!"});
}

// A person without a mouse: types a text, sets its speed and run flag,
// chooses the port, saves, sends, and reads how it went, with keys alone.
void TestUploads::everythingFromTheKeyboard()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(1);
    QTemporaryDir dir;
    Started s(dir.path());
    QVERIFY(QTest::qWaitForWindowActive(s.window.get()));
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, modifiers);
    };
    // Tab until `target` has the focus; false when a round of the window
    // never reaches it.
    const auto tabTo = [&](QWidget *target) {
        for (int i = 0; i < 100 && QApplication::focusWidget() != target; ++i)
            key(Qt::Key_Tab);
        return QApplication::focusWidget() == target;
    };

    QCOMPARE(QApplication::focusWidget(), s.edit(0));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("HI"));
    QVERIFY(tabTo(s.speedButton(0)));
    key(Qt::Key_Space); // speed 5 → 1
    QVERIFY(tabTo(s.edit(1)));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("YO"));
    QVERIFY(tabTo(s.runBox(1)));
    key(Qt::Key_Space); // slot B stops
    auto *portBox = s.find<QComboBox>(QStringLiteral("ComboBox3"));
    QVERIFY(tabTo(portBox));
    key(Qt::Key_Down); // AUTO → COM 1
    QCOMPARE(portBox->currentIndex(), 1);

    const QString path = dir.filePath(QStringLiteral("keys.vlo"));
    s.dialogs->saveAnswers << path;
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(s.document().fileName(), path);
    QVERIFY(!s.document().isModified());

    QSignalSpy finished(&s.uploads(), &UploadWorker::finished);
    QVERIFY(tabTo(s.find<QPushButton>(QStringLiteral("Send"))));
    key(Qt::Key_Space);
    QVERIFY(finished.wait(20000));
    QCOMPARE(uploadDone(finished), true);
    QVERIFY2(lastUpload(s).startsWith(QStringLiteral("Sent to COM 1 at ")), qPrintable(lastUpload(s)));
    QCOMPARE(s.dialogs->messages.size(), 0);

    const PanelMemory memory = memoryOf(panel);
    QVERIFY(memory.runs(0));
    QCOMPARE(int(memory.speedCode(0)), 0);
    QVERIFY(memory.isPresent(1));
    QVERIFY(!memory.runs(1));
    QCOMPARE(s.document().messageSet().markup(0), QByteArray("HI"));
    QCOMPARE(s.document().messageSet().markup(1), QByteArray("YO"));
}

QTEST_MAIN(TestUploads)
#include "tst_uploads.moc"
