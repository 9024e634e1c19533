// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel/framedecoder.h"
#include "link/linkframe.h"
#include "link/messageupload.h"
#include "link/panellink.h"
#include "link/portchoice.h"
#include "link/serialport.h"
#include "model/messageset.h"

#include "virtualpanel/panelmemory.h"

#include "support/baresender.h"
#include "support/drainhook.h"
#include "support/panelframes.h"
#include "support/recordingreporter.h"
#include "support/threadrunner.h"
#include "support/virtualports.h"
#include "support/workedexample.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <thread>

using namespace varlo;
using namespace varlo::test;
using Answer = VirtualPanel::Answer;

namespace {

MessageSet setWithSlots(const QList<int> &filled)
{
    MessageSet set;
    set.clearForNew();
    for (const int slot : filled)
        set.setMarkup(slot, QByteArray(124, char('a' + slot)));
    return set;
}

QByteArray streamOf(const std::vector<UploadStep> &steps)
{
    QByteArray stream;
    for (const UploadStep &step : steps) {
        for (const LinkFrame &f : step.frames)
            stream += f.lineCoded();
    }
    return stream;
}

// Slots as a panel may hold them: a clock, a long text, a stopped slot,
// the rest empty.
MessageSet heldSet()
{
    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, "12:34");
    set.setMarkup(1, QByteArray(100, 'w'));
    set.setMarkup(3, "Hello");
    set.setRun(3, false);
    return set;
}

// The uploads the panel's memory completed, with what it made of them.
std::vector<PanelMemory::Upload> uploadsOf(const VirtualPanel &panel, PanelMemory &memory)
{
    std::vector<PanelMemory::Upload> uploads;
    for (const FrameDecoder::Event &event : panel.events()) {
        if (std::optional<PanelMemory::Upload> upload = memory.apply(event))
            uploads.push_back(*upload);
    }
    return uploads;
}

QStringList completedUploadEvents(const QString &status)
{
    return {QStringLiteral("status:") + status, QStringLiteral("max:21"), QStringLiteral("lamp:green")};
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Line coding and frames
    void lineCode_data();
    void lineCode();
    void lineCodeIsOneToOne();
    void frames_data();
    void frames();

    // What the message upload sends
    void plan_data();
    void plan();
    void changedUpload_data();
    void changedUpload();

    // Ports
    void defaultDevices_data();
    void defaultDevices();
    void portsFolderEntries();
    void portChoice_data();
    void portChoice();

    // The probe's time-out
    void probeTimeout_data();
    void probeTimeout();

    // Over a pseudo-terminal
    void workedExample();
    void discovery_data();
    void discovery();
    void chosenPortWithoutPanel();
    void devicePath();
    void chosenPortThatCannotOpen_data();
    void chosenPortThatCannotOpen();
    void pauses_data();
    void pauses();
    void pausesSleepInRealTime();
    void deviceVanishes_data();
    void deviceVanishes();
    void deviceVanishesBeforeTheFinalDrain();
};

void TestLink::lineCode_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("coded");
    QTest::newRow("STX") << 0x02 << 0x82;
    QTest::newRow("'1'") << 0x31 << 0xB2;
    QTest::newRow("'3'") << 0x33 << 0x90;
    QTest::newRow("zero") << 0x00 << 0xA0;
    QTest::newRow("terminator") << 0xFF << 0x50;
    QTest::newRow("'A'") << 0x41 << 0xB5;
    QTest::newRow("'U' marker") << 0x55 << 0xF0;
    QTest::newRow("0x0A is its own code") << 0x0A << 0x0A;
    QTest::newRow("'?' directory page") << 0x3F << 0x5C;
}

void TestLink::lineCode()
{
    QFETCH(int, byte);
    QFETCH(int, coded);
    QCOMPARE(int(varlo::lineCode(quint8(byte))), coded);
    QCOMPARE(int(varlo::lineDecode(quint8(coded))), byte);
}

void TestLink::lineCodeIsOneToOne()
{
    QSet<int> codes;
    for (int b = 0; b < 256; ++b) {
        const quint8 coded = varlo::lineCode(quint8(b));
        codes.insert(coded);
        QCOMPARE(int(varlo::lineDecode(coded)), b);
        if (b != 0x0A)
            QVERIFY2(coded != b, qPrintable(QStringLiteral("0x%1 codes to itself").arg(b, 2, 16)));
    }
    QCOMPARE(codes.size(), 256);
}

void TestLink::frames_data()
{
    QTest::addColumn<int>("address"); // -1: the end frame
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QByteArray>("coded");

    const QByteArray zeros(64, 0);
    QByteArray counting;
    for (int i = 0; i < 64; ++i)
        counting.append(char(i * 4 + 1));

    QTest::newRow("chunk 1 of slot A, zero data") << 0x2040 << zeros << (hex("02 31 20 40") + zeros + hex("FF"))
                                                  << (hex("82 B2 A2 A4") + repeated("A0", 64) + hex("50"));
    QTest::newRow("directory") << 0x3F00 << zeros << (hex("02 31 3F 00") + zeros + hex("FF"))
                               << (hex("82 B2 5C A0") + repeated("A0", 64) + hex("50"));
    QTest::newRow("last font frame, data in order")
        << 0x0FC0 << counting << (hex("02 31 0F C0") + counting + hex("FF")) << QByteArray();
    QTest::newRow("end frame") << -1 << QByteArray() << hex("02 33 00") << hex("82 90 A0");
}

void TestLink::frames()
{
    QFETCH(int, address);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, raw);
    QFETCH(QByteArray, coded);

    const LinkFrame f = address < 0
        ? makeEndFrame()
        : makeWriteFrame(quint16(address), FrameData(reinterpret_cast<const quint8 *>(data.constData()), 64));
    const auto bytes = f.bytes();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())), raw);
    QCOMPARE(f.size(), raw.size());
    if (!coded.isEmpty())
        QCOMPARE(f.lineCoded().toHex(' '), coded.toHex(' '));
}

void TestLink::plan_data()
{
    QTest::addColumn<MessageSet>("set");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QList<int>>("addresses"); // the write frames' addresses, in order
    QTest::addColumn<QByteArray>("directory"); // the 64 data bytes of the directory frame
    QTest::addColumn<QByteArray>("firstBlock"); // the first 16 bytes of the first block, if any
    QTest::addColumn<QList<int>>("pausedSteps");
    QTest::addColumn<int>("pauseTotalMs");

    const QByteArray emptyEntries = repeated("01 00 00", 20) + QByteArray(4, 0);
    const QList<int> slotAFrames = {0x2000, 0x2040, 0x2080, 0x20C0, 0x3F00};

    MessageSet empty;
    empty.clearForNew();
    QTest::newRow("all slots empty") << empty << 3 << QList<int>{0x3F00} << emptyEntries << QByteArray()
                                     << QList<int>{20, 21} << (150 + 150 + 50);

    MessageSet boldOnly = empty;
    boldOnly.setMarkup(0, "~B");
    QTest::newRow("markup that fills no cell")
        << boldOnly << 0 << slotAFrames << (hex("00 04 01") + emptyEntries.mid(3))
        << (hex("55 00 00") + QByteArray(13, 0)) << QList<int>{0, 20, 21} << 50;

    MessageSet stopped = empty;
    stopped.setMarkup(1, "X");
    stopped.setRun(1, false);
    stopped.setSpeedCode(1, 2);
    QTest::newRow("slot with markup and a clear run flag")
        << stopped << 1 << QList<int>{0x2100, 0x2140, 0x2180, 0x21C0, 0x3F00}
        << (hex("01 00 00 01 02 01") + emptyEntries.mid(6)) << (hex("55 59 01 58") + QByteArray(12, 0))
        << QList<int>{1, 20, 21} << (3 * 50 + 50);

    MessageSet emptyStopped = empty;
    emptyStopped.setRun(2, false);
    emptyStopped.setSpeedCode(2, 2);
    QTest::newRow("empty slot with a clear run flag and speed 2")
        << emptyStopped << 0 << QList<int>{0x3F00} << emptyEntries << QByteArray() << QList<int>{20, 21} << 50;

    MessageSet full = setWithSlots({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    QList<int> fullAddresses;
    QList<int> allSteps;
    QByteArray fullEntries;
    for (int slot = 0; slot < 20; ++slot) {
        for (int chunk = 0; chunk < 4; ++chunk)
            fullAddresses << 0x2000 + 0x100 * slot + 0x40 * chunk;
        allSteps << slot;
        fullEntries += hex("00 04 01");
    }
    fullAddresses << 0x3F00;
    QTest::newRow("every slot at Commu Delay 10") << full << 10 << fullAddresses << (fullEntries + QByteArray(4, 0))
                                                  << QByteArray() << (allSteps << 20 << 21) << 11050;
    QTest::newRow("Commu Delay beyond 10 is clamped")
        << empty << 99 << QList<int>{0x3F00} << emptyEntries << QByteArray() << QList<int>{20, 21} << 1050;
}

void TestLink::plan()
{
    QFETCH(MessageSet, set);
    QFETCH(int, delay);
    QFETCH(QList<int>, addresses);
    QFETCH(QByteArray, directory);
    QFETCH(QByteArray, firstBlock);
    QFETCH(QList<int>, pausedSteps);
    QFETCH(int, pauseTotalMs);

    const std::vector<UploadStep> steps = planMessageUpload(set, delay).steps;
    QCOMPARE(int(steps.size()), 22);

    QList<int> paused;
    int totalMs = 0;
    for (int s = 0; s < 22; ++s) {
        if (!steps[s].pausesMs.empty())
            paused << s;
        for (const int ms : steps[s].pausesMs)
            totalMs += ms;
    }
    QCOMPARE(paused, pausedSteps);
    QCOMPARE(totalMs, pauseTotalMs);
    QCOMPARE(steps[21].pausesMs.back(), 50);

    // What the panel makes of the stream.
    FrameDecoder decoder;
    const auto events = decoder.feed(streamOf(steps));
    QList<int> written;
    for (const auto &event : events) {
        if (event.kind == FrameDecoder::Kind::WriteFrame)
            written << event.address;
    }
    QCOMPARE(written, addresses);
    QCOMPARE(int(events.size()), addresses.size() + 1);
    QCOMPARE(events.back().kind, FrameDecoder::Kind::EndFrame);
    QCOMPARE(int(events.back().argument), 0);

    const auto &table = events[events.size() - 2].data;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(table.data()), 64).toHex(' '), directory.toHex(' '));
    if (!firstBlock.isEmpty()) {
        const auto &block = events.front().data;
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(block.data()), 16).toHex(' '), firstBlock.toHex(' '));
    }
}

void TestLink::changedUpload_data()
{
    QTest::addColumn<MessageSet>("next");
    QTest::addColumn<QList<int>>("blockAddresses"); // the block frames that go, in order

    const MessageSet held = heldSet();
    QTest::newRow("nothing changed") << held << QList<int>{};

    // The checksum and the count sit in the first 64 bytes: every change
    // of the cells rewrites them.
    MessageSet clock = held;
    clock.setMarkup(0, "12:35");
    QTest::newRow("one character early in a slot") << clock << QList<int>{0x2000};

    MessageSet late = held;
    QByteArray text = held.markup(1);
    text[90] = 'v'; // cell 90 is byte 93, in the second 64
    late.setMarkup(1, text);
    QTest::newRow("one character late in a long slot") << late << QList<int>{0x2100, 0x2140};

    MessageSet flashing = held;
    flashing.setMarkup(3, "~FHello"); // attributes from byte 128 on
    QTest::newRow("attributes only") << flashing << QList<int>{0x2300, 0x2380};

    MessageSet emptied = held;
    emptied.setMarkup(1, QByteArray());
    QTest::newRow("a slot emptied") << emptied << QList<int>{};

    // The panel still has an older upload's block there, but an empty slot
    // of the held set says nothing about it.
    MessageSet filled = held;
    filled.setMarkup(2, "New");
    QTest::newRow("a slot filled") << filled << QList<int>{0x2200, 0x2240, 0x2280, 0x22C0};

    MessageSet speed = held;
    speed.setSpeedCode(0, 2);
    QTest::newRow("a speed only") << speed << QList<int>{};

    MessageSet run = held;
    run.setRun(3, true);
    QTest::newRow("a run flag only") << run << QList<int>{};

    MessageSet two = clock;
    two.setMarkup(19, "T");
    QTest::newRow("two slots") << two << QList<int>{0x2000, 0x3300, 0x3340, 0x3380, 0x33C0};
}

void TestLink::changedUpload()
{
    QFETCH(MessageSet, next);
    QFETCH(QList<int>, blockAddresses);

    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(1);
    QVERIFY(ports.isValid() && panel.isValid());
    const Pause noPause = [](int) {};
    RecordingReporter reporter;

    // Every block written once by an older upload, so that the memory of
    // the slots empty now holds something else than a blank panel's.
    const MessageSet older = setWithSlots({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19});
    const MessageSet held = heldSet();
    QVERIFY(reporter.upload(planMessageUpload(older, 0), PortChoice::com(1), noPause).done());
    QVERIFY(reporter.upload(planMessageUpload(held, 0), PortChoice::com(1), noPause).done());
    const qint64 before = 5592 + 276 * 3 + 72;
    QCOMPARE(panel.waitForBytes(before, 5000), before);

    const UploadPlan plan = planChangedUpload(held, next, 0);
    QVERIFY(reporter.upload(plan, PortChoice::com(1), noPause).done());

    // On the line: the changed block frames, the directory, the end frame.
    const qint64 expected = frame::kWriteFrameSize * (blockAddresses.size() + 1) + frame::kEndFrameSize;
    QCOMPARE(plan.lineBytes(), expected);
    QCOMPARE(panel.waitForBytes(before + expected, 5000), before + expected);
    FrameDecoder decoder;
    QList<int> written;
    const auto events = decoder.feed(panel.received().mid(before));
    for (const auto &event : events) {
        if (event.kind == FrameDecoder::Kind::WriteFrame)
            written << event.address;
    }
    QCOMPARE(written, QList<int>(blockAddresses) << 0x3F00);
    QCOMPARE(events.back().kind, FrameDecoder::Kind::EndFrame);
    QCOMPARE(panel.lineErrors(), QStringList());

    // The panel now holds what a full upload of the set leaves on a blank
    // panel, wherever that defines it: the directory, and the present
    // slots' blocks.
    PanelMemory memory;
    const std::vector<PanelMemory::Upload> uploads = uploadsOf(panel, memory);
    QCOMPARE(uploads.size(), size_t(3));
    for (const PanelMemory::Upload &upload : uploads)
        QCOMPARE(upload.errors, QStringList());
    PanelMemory fresh;
    FrameDecoder freshDecoder;
    feedMemory(fresh, freshDecoder, lineCoded(planMessageUpload(next, 0).frames()));
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        QCOMPARE(memory.directoryEntry(slot), fresh.directoryEntry(slot));
        if (fresh.isPresent(slot))
            QCOMPARE(memory.block(slot), fresh.block(slot));
    }

    // Paced and shown as the full upload is, only a slot that sends
    // nothing waits for nothing.
    const UploadPlan paced = planChangedUpload(held, next, 2);
    const UploadPlan full = planMessageUpload(next, 2);
    QCOMPARE(paced.progressMaximum, full.progressMaximum);
    QCOMPARE(paced.startPosition, full.startPosition);
    QCOMPARE(paced.steps.size(), full.steps.size());
    for (size_t s = 0; s < full.steps.size(); ++s) {
        QCOMPARE(paced.steps[s].positionBefore, full.steps[s].positionBefore);
        QCOMPARE(paced.steps[s].pausesMs,
                 paced.steps[s].frames.empty() && s < upload::kDirectoryStep ? std::vector<int>{}
                                                                             : full.steps[s].pausesMs);
    }
}

void TestLink::defaultDevices_data()
{
    QTest::addColumn<int>("com");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM4") << 4 << "/dev/ttyS3";
    QTest::newRow("COM5") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM8") << 8 << "/dev/ttyUSB3";
    QTest::newRow("COM9") << 9 << "/dev/ttyACM0";
    QTest::newRow("COM12") << 12 << "/dev/ttyACM3";
    QTest::newRow("COM13") << 13 << "/dev/ttyS4";
    QTest::newRow("COM15") << 15 << "/dev/ttyS6";
}

void TestLink::defaultDevices()
{
    QFETCH(int, com);
    QFETCH(QString, device);
    QCOMPARE(SerialPort::defaultDeviceForCom(com), device);
}

void TestLink::portsFolderEntries()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    QCOMPARE(SerialPort::portsFolder(), ports.configHome() + "/varlo/ports");

    // A dangling link is still the user's choice.
    QCOMPARE(SerialPort::deviceForCom(3), ports.entry(3));
    QVERIFY(ports.mapToPlainFile(7));
    QCOMPARE(SerialPort::deviceForCom(7), ports.entry(7));
    // Without an entry, the table.
    QVERIFY(QFile::remove(ports.entry(5)));
    QCOMPARE(SerialPort::deviceForCom(5), QStringLiteral("/dev/ttyUSB0"));
}

void TestLink::portChoice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // empty: refused

    QTest::newRow("AUTO") << "AUTO"
                          << "AUTO";
    QTest::newRow("auto") << "auto"
                          << "AUTO";
    QTest::newRow("COM3") << "COM3"
                          << "COM3";
    QTest::newRow("com15") << "com15"
                           << "COM15";
    QTest::newRow("bare number") << "14"
                                 << "COM14";
    QTest::newRow("leading zero") << "07"
                                  << "COM7";
    QTest::newRow("device path") << "/dev/ttyUSB0"
                                 << "/dev/ttyUSB0";
    QTest::newRow("relative path") << "./com3"
                                   << "./com3";
    QTest::newRow("COM0") << "COM0"
                          << "";
    QTest::newRow("COM16") << "COM16"
                           << "";
    QTest::newRow("COM alone") << "COM"
                               << "";
    QTest::newRow("sign") << "+3"
                          << "";
    QTest::newRow("space") << "COM 3"
                           << "";
    QTest::newRow("word") << "serial"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestLink::portChoice()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const std::optional<PortChoice> choice = PortChoice::parse(text);
    QCOMPARE(choice ? choice->toString() : QString(), parsed);
}

void TestLink::probeTimeout_data()
{
    QTest::addColumn<QByteArray>("variable"); // null: unset
    QTest::addColumn<int>("timeoutMs");

    QTest::newRow("unset: as shipped") << QByteArray() << 10;
    QTest::newRow("widened") << QByteArray("500") << 500;
    QTest::newRow("longest") << QByteArray("10000") << 10000;
    QTest::newRow("too long") << QByteArray("10001") << 10;
    QTest::newRow("zero") << QByteArray("0") << 10;
    QTest::newRow("negative") << QByteArray("-5") << 10;
    QTest::newRow("not a number") << QByteArray("fast") << 10;
    QTest::newRow("empty") << QByteArray("") << 10;
}

void TestLink::probeTimeout()
{
    QFETCH(QByteArray, variable);
    QFETCH(int, timeoutMs);

    const QByteArray before = qgetenv("VARLO_PROBE_TIMEOUT_MS");
    const bool wasSet = qEnvironmentVariableIsSet("VARLO_PROBE_TIMEOUT_MS");
    if (variable.isNull())
        qunsetenv("VARLO_PROBE_TIMEOUT_MS");
    else
        qputenv("VARLO_PROBE_TIMEOUT_MS", variable);
    const int got = PanelLink::probeTimeoutMs();
    if (wasSet)
        qputenv("VARLO_PROBE_TIMEOUT_MS", before);
    else
        qunsetenv("VARLO_PROBE_TIMEOUT_MS");
    QCOMPARE(got, timeoutMs);
    QCOMPARE(PanelLink::kProbeTimeoutMs, 10);
}

void TestLink::workedExample()
{
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    VirtualPanel &panel = ports.addPanel(1);
    QVERIFY(panel.isValid());

    RecordingReporter reporter;
    const bool sent = reporter.upload(planMessageUpload(workedExampleSet(), 0), PortChoice::automatic()).done();

    QVERIFY(sent);
    const QByteArray expected = QByteArray("T") + workedExampleStream();
    QCOMPARE(expected.size(), 1 + 348);
    QCOMPARE(panel.waitForBytes(expected.size(), 5000), expected.size());
    QCOMPARE(panel.received().toHex(' '), expected.toHex(' '));

    QStringList events = {"status:  Com:1", "max:21", "pos:0"};
    for (int s = 0; s <= 21; ++s)
        events << QStringLiteral("pos:%1").arg(s);
    events << "pos:0"
           << "lamp:green";
    QCOMPARE(reporter.events(), events);
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestLink::discovery_data()
{
    QTest::addColumn<QList<int>>("echo");
    QTest::addColumn<QList<int>>("wrong");
    QTest::addColumn<QList<int>>("silent");
    QTest::addColumn<QList<int>>("plainFiles");
    QTest::addColumn<QList<int>>("busy"); // an answering panel, but another program has the port
    QTest::addColumn<int>("found"); // 0: none

    QTest::newRow("panel on COM3 below ports without a panel")
        << QList<int>{3} << QList<int>{} << QList<int>{15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 2, 1} << QList<int>{}
        << QList<int>{} << 3;
    QTest::newRow("panel on COM15 is found first")
        << QList<int>{15, 1} << QList<int>{} << QList<int>{14} << QList<int>{} << QList<int>{} << 15;
    QTest::newRow("panel on COM14, which the port box can't name")
        << QList<int>{14} << QList<int>{} << QList<int>{13} << QList<int>{} << QList<int>{} << 14;
    QTest::newRow("wrong answer and silence are passed over")
        << QList<int>{7} << QList<int>{12} << QList<int>{9} << QList<int>{} << QList<int>{} << 7;
    QTest::newRow("ports that can't open are passed over")
        << QList<int>{2} << QList<int>{} << QList<int>{} << QList<int>{10} << QList<int>{8} << 2;
    QTest::newRow("only a wrong answer and silence")
        << QList<int>{} << QList<int>{9} << QList<int>{4} << QList<int>{} << QList<int>{} << 0;
    QTest::newRow("no port at all") << QList<int>{} << QList<int>{} << QList<int>{} << QList<int>{} << QList<int>{}
                                    << 0;
}

void TestLink::discovery()
{
    QFETCH(QList<int>, echo);
    QFETCH(QList<int>, wrong);
    QFETCH(QList<int>, silent);
    QFETCH(QList<int>, plainFiles);
    QFETCH(QList<int>, busy);
    QFETCH(int, found);

    VirtualPorts ports;
    QVERIFY(ports.isValid());
    for (const int com : echo + busy)
        QVERIFY(ports.addPanel(com, Answer::Echo).isValid());
    for (const int com : wrong)
        QVERIFY(ports.addPanel(com, Answer::WrongByte).isValid());
    for (const int com : silent)
        QVERIFY(ports.addPanel(com, Answer::Silent).isValid());
    for (const int com : plainFiles)
        QVERIFY(ports.mapToPlainFile(com));
    std::vector<std::unique_ptr<SerialPort>> holders;
    for (const int com : busy) {
        holders.push_back(std::make_unique<SerialPort>());
        QVERIFY(holders.back()->open(com));
    }

    MessageSet empty;
    empty.clearForNew();
    RecordingReporter reporter;
    const bool sent = reporter.upload(planMessageUpload(empty, 0), PortChoice::automatic()).done();

    QCOMPARE(sent, found != 0);
    if (found) {
        QCOMPARE(reporter.eventsWithoutPositions(), completedUploadEvents(QStringLiteral("  Com:%1").arg(found)));
    } else {
        const QStringList events = reporter.events();
        QCOMPARE(events.size(), 2);
        QVERIFY2(events[0].startsWith("message: Can't find serial port!|"), qPrintable(events[0]));
        QCOMPARE(events[1], QStringLiteral("lamp:red"));
    }

    // Every port above the panel got the raw probe and nothing else, the
    // panel got the probe and then the frames, the ports below it nothing.
    for (int com = 1; com <= 15; ++com) {
        VirtualPanel *panel = ports.panel(com);
        if (!panel || busy.contains(com))
            continue;
        const QByteArray got = panel->received();
        const QString where = QStringLiteral("COM%1").arg(com);
        if (com > found) {
            panel->waitForBytes(1, 5000);
            QVERIFY2(panel->received() == "T", qPrintable(where + ": " + panel->received().toHex(' ')));
        } else if (com == found) {
            QCOMPARE(panel->waitForBytes(1 + 72, 5000), 1 + 72);
            QVERIFY2(panel->received().startsWith("T\x82"), qPrintable(where));
        } else {
            QVERIFY2(got.isEmpty(), qPrintable(where + ": " + got.toHex(' ')));
        }
    }
    for (const int com : busy)
        QVERIFY(ports.panel(com)->received().isEmpty());
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestLink::chosenPortWithoutPanel()
{
    VirtualPorts ports;
    VirtualPanel &noPanel = ports.addPanel(5, Answer::Silent);
    QVERIFY(ports.isValid() && noPanel.isValid());

    RecordingReporter reporter;
    const bool sent = reporter.upload(planMessageUpload(workedExampleSet(), 0), PortChoice::fromPortBoxIndex(5)).done();

    // Nothing is acknowledged, so nothing is noticed: no probe, no message.
    QVERIFY(sent);
    QCOMPARE(reporter.eventsWithoutPositions(), completedUploadEvents(QStringLiteral("  Com:5")));
    QCOMPARE(noPanel.waitForBytes(348, 5000), 348);
    QCOMPARE(noPanel.received().toHex(' '), workedExampleStream().toHex(' '));
    QCOMPARE(noPanel.probeCount(), 0);
    QCOMPARE(ports.lineErrors(), QStringList());
}

void TestLink::devicePath()
{
    VirtualPorts ports; // so that nothing else is reachable
    VirtualPanel panel(Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    RecordingReporter reporter;
    const bool sent =
        reporter.upload(planMessageUpload(workedExampleSet(), 0), PortChoice::device(panel.slavePath())).done();

    QVERIFY(sent);
    QCOMPARE(reporter.eventsWithoutPositions(), completedUploadEvents("  " + panel.slavePath()));
    QCOMPARE(panel.waitForBytes(348, 5000), 348);
    QCOMPARE(panel.probeCount(), 0);
    QCOMPARE(panel.lineErrors(), QStringList());
}

void TestLink::chosenPortThatCannotOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reasonEnd");
    QTest::newRow("dangling link") << "dangling" << qt_error_string(ENOENT);
    QTest::newRow("plain file") << "file" << QString();
    QTest::newRow("busy") << "busy" << QStringLiteral("(process %1)").arg(QCoreApplication::applicationPid());
}

void TestLink::chosenPortThatCannotOpen()
{
    QFETCH(QString, kind);
    QFETCH(QString, reasonEnd);

    VirtualPorts ports;
    QVERIFY(ports.isValid());
    SerialPort holder;
    if (kind == "file")
        QVERIFY(ports.mapToPlainFile(4));
    if (kind == "busy") {
        QVERIFY(ports.addPanel(4).isValid());
        QVERIFY(holder.open(4));
    }

    RecordingReporter reporter;
    const bool sent = reporter.upload(planMessageUpload(workedExampleSet(), 0), PortChoice::com(4)).done();

    QVERIFY(!sent);
    const QStringList events = reporter.events();
    QCOMPARE(events.size(), 2);
    QVERIFY2(events[0].startsWith("message:Serial port can't open!|COM4 ("), qPrintable(events[0]));
    QVERIFY2(reporter.lastReason().endsWith(reasonEnd), qPrintable(reporter.lastReason()));
    QCOMPARE(events[1], QStringLiteral("lamp:red"));
}

void TestLink::pauses_data()
{
    QTest::addColumn<QList<int>>("filled");
    QTest::addColumn<int>("delay");
    QTest::addColumn<QList<qint64>>("offsets"); // bytes on the line when each pause starts
    QTest::addColumn<QList<int>>("lengthsMs");

    QTest::newRow("one slot, Commu Delay 0")
        << QList<int>{0} << 0 << QList<qint64>{0, 276, 345, 345} << QList<int>{0, 0, 0, 50};
    QTest::newRow("no slot, Commu Delay 3")
        << QList<int>{} << 3 << QList<qint64>{0, 69, 69} << QList<int>{150, 150, 50};
    QTest::newRow("slots A, C and T, Commu Delay 10")
        << QList<int>{0, 2, 19} << 10 << QList<qint64>{0, 276, 552, 828, 897, 897}
        << QList<int>{500, 500, 500, 500, 500, 50};

    QList<int> all;
    QList<qint64> offsets;
    QList<int> lengths;
    for (int slot = 0; slot < 20; ++slot) {
        all << slot;
        offsets << 276 * slot;
        lengths << 200;
    }
    offsets << 5520 << 5589 << 5589;
    lengths << 200 << 200 << 50;
    QTest::newRow("every slot, Commu Delay 4") << all << 4 << offsets << lengths;
}

void TestLink::pauses()
{
    QFETCH(QList<int>, filled);
    QFETCH(int, delay);
    QFETCH(QList<qint64>, offsets);
    QFETCH(QList<int>, lengthsMs);

    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    // Each pause waits until the bytes that should precede it have arrived
    // (or gives up), lets anything further in flight land, and records the
    // count. Bytes written late or early show as a wrong count.
    QList<qint64> seen;
    QList<int> lengths;
    const Pause recordPause = [&](int delayMs) {
        const qint64 want = seen.size() < offsets.size() ? offsets[seen.size()] : std::numeric_limits<qint64>::max();
        panel.waitForBytes(want, 2000);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen << panel.receivedCount();
        lengths << delayMs;
    };

    RecordingReporter reporter;
    const bool sent =
        reporter.upload(planMessageUpload(setWithSlots(filled), delay), PortChoice::com(2), recordPause).done();

    QVERIFY(sent);
    QCOMPARE(seen, offsets);
    QCOMPARE(lengths, lengthsMs);
    const qint64 total = 276 * filled.size() + 72;
    QCOMPARE(panel.waitForBytes(total, 5000), total);
    QCOMPARE(panel.lineErrors(), QStringList());
}

void TestLink::pausesSleepInRealTime()
{
    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    MessageSet empty;
    empty.clearForNew();
    RecordingReporter reporter;
    // Commu Delay 2: 100 ms, then 100 ms and 50 ms between the directory
    // frame and the end frame.
    const bool sent = reporter.upload(planMessageUpload(empty, 2), PortChoice::com(2)).done();

    QVERIFY(sent);
    QCOMPARE(panel.waitForBytes(72, 5000), 72);
    const std::vector<qint64> arrivals = panel.arrivalNs();
    const qint64 gapMs = (arrivals[69] - arrivals[68]) / 1000000;
    QVERIFY2(gapMs >= 120, qPrintable(QStringLiteral("%1 ms between the directory and the end frame").arg(gapMs)));
    QCOMPARE(panel.lineErrors(), QStringList());
}

void TestLink::deviceVanishes_data()
{
    QTest::addColumn<QList<int>>("filled");
    QTest::addColumn<int>("holdAt"); // the upload waits at this progress position ...
    QTest::addColumn<qint64>("written"); // ... until the panel has this much and then vanishes

    QList<int> all;
    for (int slot = 0; slot < 20; ++slot)
        all << slot;
    QTest::newRow("between two blocks") << all << 1 << qint64(276);
    QTest::newRow("before the directory frame") << QList<int>{0} << 20 << qint64(276);
    QTest::newRow("before the end frame") << QList<int>{0} << 21 << qint64(345);
}

void TestLink::deviceVanishes()
{
    QFETCH(QList<int>, filled);
    QFETCH(int, holdAt);
    QFETCH(qint64, written);

    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    RecordingReporter reporter;
    bool vanished = false;
    reporter.onProgressPosition = [&](int position) {
        if (position == holdAt && panel.waitForBytes(written, 5000) == written)
            vanished = panel.vanishNow(5000);
    };
    const bool sent = reporter.upload(planMessageUpload(setWithSlots(filled), 0), PortChoice::com(2)).done();

    QVERIFY(vanished);
    QVERIFY(!sent);
    QCOMPARE(reporter.eventsWithoutPositions(),
             (QStringList{"status:  Com:2", "max:21", "message:Serial port write error!|" + reporter.lastReason(),
                          "lamp:red"}));
    QVERIFY2(reporter.lastReason().endsWith(qt_error_string(EIO)), qPrintable(reporter.lastReason()));
    // It stopped at the first byte after the hold and put the bar back.
    QCOMPARE(reporter.positions().constLast(), 0);
    QCOMPARE(reporter.positions().at(reporter.positions().size() - 2), holdAt);
    QCOMPARE(panel.receivedCount(), written);
    QCOMPARE(panel.lineErrors(), QStringList());
}

void TestLink::deviceVanishesBeforeTheFinalDrain()
{
    VirtualPorts ports;
    VirtualPanel &panel = ports.addPanel(2, Answer::Silent);
    QVERIFY(ports.isValid() && panel.isValid());

    // Every byte has been handed over, and all of them have arrived; the
    // adapter goes before the port is drained and closed.
    bool vanished = false;
    beforeNextDrain([&] { vanished = panel.waitForBytes(348, 5000) == 348 && panel.vanishNow(5000); });
    RecordingReporter reporter;
    const bool sent = reporter.upload(planMessageUpload(workedExampleSet(), 0), PortChoice::com(2)).done();

    QVERIFY(vanished);
    QVERIFY(!sent);
    QCOMPARE(reporter.eventsWithoutPositions(),
             (QStringList{"status:  Com:2", "max:21", "message:Serial port write error!|" + reporter.lastReason(),
                          "lamp:red"}));
    QVERIFY2(reporter.lastReason().endsWith(qt_error_string(EIO)), qPrintable(reporter.lastReason()));
    QCOMPARE(reporter.positions().constLast(), 0);
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
