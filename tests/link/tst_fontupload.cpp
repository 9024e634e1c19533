// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fonttable.h"
#include "link/fontupload.h"
#include "virtualpanel/framedecoder.h"

#include "support/drainhook.h"
#include "support/recordingreporter.h"
#include "support/virtualports.h"

#include <QTest>

#include <cerrno>

using namespace varlo;
using namespace varlo::test;

namespace {

// A stand-in for the font table: every byte differs from its neighbours and
// from the bytes 64 further on, so a frame with the wrong slice shows.
QByteArray syntheticImage()
{
    QByteArray image(FontTable::kImageBytes, Qt::Uninitialized);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 7 + i / 64) & 0x7F);
    return image;
}

QStringList completedEvents(int com)
{
    QStringList events = {QStringLiteral("status:  Com:%1").arg(com), QStringLiteral("max:64")};
    for (int i = 0; i < 64; ++i)
        events << QStringLiteral("pos:%1").arg(i);
    return events << QStringLiteral("pos:0") << QStringLiteral("lamp:green");
}

} // namespace

class TestFontUpload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void frames_data();
    void frames();
    void builtInFontsFirstFrame();
    void uploadTwice();
    void noPanel();
    void deviceVanishes();
    void deviceVanishesBeforeTheFinalDrain();
    void imageOfWrongSize();
};

void TestFontUpload::frames_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("codedHead");

    QTest::newRow("first") << 0 << QByteArray::fromHex("82B2A0A0");
    QTest::newRow("33rd, the bold font") << 32 << QByteArray::fromHex("82B228A0");
    QTest::newRow("last") << 63 << QByteArray::fromHex("82B25FAC");
}

void TestFontUpload::frames()
{
    QFETCH(int, index);
    QFETCH(QByteArray, codedHead);

    const QByteArray image = syntheticImage();
    const std::vector<LinkFrame> frames = characterGeneratorFrames(image);
    QCOMPARE(int(frames.size()), 64);

    const LinkFrame &f = frames[index];
    const QByteArray coded = f.lineCoded();
    QCOMPARE(coded.size(), 69);
    QCOMPARE(coded.left(4).toHex(' '), codedHead.toHex(' '));
    QCOMPARE(quint8(coded.back()), quint8(0x50));

    const auto bytes = f.bytes();
    const QByteArray data(reinterpret_cast<const char *>(bytes.data()) + 4, 64);
    QCOMPARE(data, image.mid(64 * index, 64));
}

void TestFontUpload::builtInFontsFirstFrame()
{
    // Address 0x0000; code 0 of the normal font is dark, code 1 is
    // 7F 41 49 51 49 45 7F 00.
    const QByteArray coded = characterGeneratorFrames(FontTable::image()).front().lineCoded();
    QCOMPARE(coded.left(20).toHex(' '),
             (QByteArray::fromHex("82 B2 A0 A0") + QByteArray(8, char(0xA0))
              + QByteArray::fromHex("58 B5 3D B4 3D F1 58 A0"))
                 .toHex(' '));
}

void TestFontUpload::uploadTwice()
{
    VirtualPorts ports;
    VirtualPanel &first = ports.addPanel(1, VirtualPanel::Answer::Silent);
    QVERIFY(ports.isValid() && first.isValid());
    const QByteArray image = syntheticImage();

    RecordingReporter reporter;
    const bool sent = reporter.upload(planFontUpload(image).value(), PortChoice::com(1)).done();
    QVERIFY(sent);
    QCOMPARE(reporter.events(), completedEvents(1));
    QCOMPARE(first.waitForBytes(64 * 69, 5000), 64 * 69);

    // What the panel stores: 64 frames, in order, no pause, no end frame.
    const auto events = first.events();
    QCOMPARE(int(events.size()), 64);
    for (int i = 0; i < 64; ++i) {
        QCOMPARE(events[i].kind, FrameDecoder::Kind::WriteFrame);
        QCOMPARE(int(events[i].address), 0x40 * i);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(events[i].data.data()), 64), image.mid(64 * i, 64));
    }

    // A second run, found by discovery this time, puts the same frames on the line.
    VirtualPanel &second = ports.addPanel(3);
    RecordingReporter again;
    QVERIFY(again.upload(planFontUpload(image).value(), PortChoice::automatic()).done());
    QCOMPARE(again.events(), completedEvents(3));
    QCOMPARE(second.waitForBytes(1 + 64 * 69, 5000), 1 + 64 * 69);
    QCOMPARE(second.received(), "T" + first.received());
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestFontUpload::noPanel()
{
    VirtualPorts ports;
    VirtualPanel &silent = ports.addPanel(6, VirtualPanel::Answer::Silent);
    QVERIFY(ports.isValid() && silent.isValid());

    RecordingReporter reporter;
    const bool sent = reporter.upload(planFontUpload(syntheticImage()).value(), PortChoice::automatic()).done();

    QVERIFY(!sent);
    QCOMPARE(reporter.events(), (QStringList{"message: Can't find serial port!|", "lamp:red"}));
    QCOMPARE(silent.waitForBytes(1, 5000), 1);
    QCOMPARE(silent.received(), QByteArray("T"));
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestFontUpload::deviceVanishes()
{
    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, VirtualPanel::Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    // Held after the first frame, the device goes.
    RecordingReporter reporter;
    reporter.onProgressPosition = [&](int position) {
        if (position == 0 && panel.waitForBytes(69, 5000) == 69)
            panel.vanishNow(5000);
    };
    const bool sent = reporter.upload(planFontUpload(syntheticImage()).value(), PortChoice::com(2)).done();

    QVERIFY(!sent);
    QCOMPARE(reporter.events(),
             (QStringList{"status:  Com:2", "max:64", "pos:0",
                          "message:Serial port write error!|" + reporter.lastReason(), "lamp:red", "pos:0"}));
    QVERIFY2(reporter.lastReason().endsWith(qt_error_string(EIO)), qPrintable(reporter.lastReason()));
    QCOMPARE(panel.receivedCount(), 69);
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestFontUpload::deviceVanishesBeforeTheFinalDrain()
{
    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, VirtualPanel::Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    // All 64 frames are out and have arrived; the adapter goes before the
    // port is drained and closed.
    bool vanished = false;
    beforeNextDrain([&] { vanished = panel.waitForBytes(64 * 69, 5000) == 64 * 69 && panel.vanishNow(5000); });
    RecordingReporter reporter;
    const bool sent = reporter.upload(planFontUpload(syntheticImage()).value(), PortChoice::com(2)).done();

    QVERIFY(vanished);
    QVERIFY(!sent);
    QStringList expected = completedEvents(2);
    expected.removeLast(); // no green lamp
    expected.insert(expected.size() - 1, "message:Serial port write error!|" + reporter.lastReason());
    expected.insert(expected.size() - 1, "lamp:red");
    QCOMPARE(reporter.events(), expected);
    QVERIFY2(reporter.lastReason().endsWith(qt_error_string(EIO)), qPrintable(reporter.lastReason()));
}

void TestFontUpload::imageOfWrongSize()
{
    // No plan, so there is nothing to open a port for.
    QVERIFY(!planFontUpload(QByteArray(4095, 0)));
    QVERIFY(!planFontUpload(QByteArray(4097, 0)));
    QVERIFY(planFontUpload(QByteArray(4096, 0)));
}

QTEST_GUILESS_MAIN(TestFontUpload)
#include "tst_fontupload.moc"
