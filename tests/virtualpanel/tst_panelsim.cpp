// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/fontupload.h"
#include "link/messageupload.h"
#include "model/messageset.h"
#include "virtualpanel/framedecoder.h"
#include "virtualpanel/panelmemory.h"

#include "support/baresender.h"
#include "support/panelframes.h"
#include "support/virtualpanel.h"
#include "support/workedexample.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>

#include <termios.h>

using namespace varlo;
using namespace varlo::test;
using Font = FontTable::Font;

namespace {

QString describe(const FrameDecoder::Event &event)
{
    switch (event.kind) {
    case FrameDecoder::Kind::Probe:
        return QStringLiteral("probe @%1").arg(event.offset);
    case FrameDecoder::Kind::WriteFrame:
        return QStringLiteral("write %1 @%2").arg(event.address, 4, 16, QLatin1Char('0')).arg(event.offset);
    case FrameDecoder::Kind::EndFrame:
        return QStringLiteral("end %1 @%2").arg(event.argument).arg(event.offset);
    case FrameDecoder::Kind::Malformed:
        return QStringLiteral("%1 @%2").arg(QLatin1String(FrameDecoder::faultName(event.fault))).arg(event.offset);
    }
    return {};
}

QStringList describeAll(const std::vector<FrameDecoder::Event> &events)
{
    QStringList lines;
    for (const auto &event : events)
        lines << describe(event);
    return lines;
}

QByteArray fontImageWith(quint8 firstByteOfA)
{
    QByteArray image = FontTable::image().toByteArray();
    image[FontTable::offset(Font::Normal, 'A')] = char(firstByteOfA);
    return image;
}

// 38400 baud, 8 data bits, no parity, 1 stop bit, raw: as the panel needs
// the line.
termios panelLine(termios line)
{
    ::cfmakeraw(&line);
    line.c_cflag &= ~tcflag_t(CSTOPB | PARENB);
    ::cfsetispeed(&line, B38400);
    ::cfsetospeed(&line, B38400);
    return line;
}

} // namespace

class TestPanelSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The panel's decoder
    void decoder_data();
    void decoder();
    void decoderSurvivesAnyBytes();

    // The panel's memory
    void memoryKeepsAnUpload();
    void memoryErrors_data();
    void memoryErrors();
    void memoryKeepsBlockFramesBetweenUploads();
    void fontUpload();
    void fontCutShort();
    void memoryKeepsTheFirstErrors();

    // The pseudo-terminal line, as the tests' virtual panel sets it up: it
    // sees the line as the panel does
    void panelAnswersOnlyAProbeItReceived();
    void panelChecksTheLine_data();
    void panelChecksTheLine();
};

void TestPanelSim::decoder_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("inFrame");

    const QByteArray chunk1 = hex("82 B2 A2 A4") + repeated("A0", 64) + hex("50");
    const QByteArray chunk1Unterminated = hex("82 B2 A2 A4") + repeated("A0", 64);
    const QByteArray end = hex("82 90 A0");

    QTest::newRow("probe") << hex("54") << QStringList{"probe @0"} << false;
    QTest::newRow("write frame") << chunk1 << QStringList{"write 2040 @0"} << false;
    QTest::newRow("end frame") << end << QStringList{"end 0 @0"} << false;
    QTest::newRow("probe, frame, end") << (hex("54") + chunk1 + end)
                                       << QStringList{"probe @0", "write 2040 @1", "end 0 @70"} << false;
    QTest::newRow("T inside a frame is data")
        << (hex("82 B2 A2 A4 54") + repeated("A0", 63) + hex("50")) << QStringList{"write 2040 @0"} << false;
    QTest::newRow("unknown command, then a good frame")
        << (hex("82 A0") + end) << QStringList{"unknown command @0", "end 0 @2"} << false;
    QTest::newRow("missing terminator") << (chunk1Unterminated + hex("A0")) << QStringList{"missing terminator @0"}
                                        << false;
    QTest::newRow("frame start in place of the terminator")
        << (chunk1Unterminated + end) << QStringList{"missing terminator @0", "end 0 @68"} << false;
    QTest::newRow("stray bytes reported once")
        << (hex("A0 A0 A0") + end) << QStringList{"stray byte between frames @0", "end 0 @3"} << false;
    QTest::newRow("probe after stray bytes")
        << hex("A0 11 54 22") << QStringList{"stray byte between frames @0", "probe @2", "stray byte between frames @3"}
        << false;
    QTest::newRow("frame cut short") << hex("82 B2 A2") << QStringList{} << true;
    QTest::newRow("coded T between frames is stray")
        << hex("BF") << QStringList{"stray byte between frames @0"} << false;
}

void TestPanelSim::decoder()
{
    QFETCH(QByteArray, raw);
    QFETCH(QStringList, events);
    QFETCH(bool, inFrame);

    FrameDecoder decoder;
    QCOMPARE(describeAll(decoder.feed(raw)), events);
    QCOMPARE(decoder.inFrame(), inFrame);
    QCOMPARE(decoder.offset(), raw.size());
}

void TestPanelSim::decoderSurvivesAnyBytes()
{
    QRandomGenerator random(20240601);
    FrameDecoder decoder;
    QByteArray noise(1 << 18, Qt::Uninitialized);
    for (char &byte : noise)
        byte = char(random.bounded(256));
    // Coded frame starts are rare in noise; salt it with some.
    for (int i = 0; i < noise.size(); i += 97)
        noise[i] = char(0x82);

    qint64 lastOffset = -1;
    for (const auto &event : decoder.feed(noise)) {
        QVERIFY(event.offset > lastOffset || event.kind == FrameDecoder::Kind::Malformed);
        QVERIFY(event.offset < noise.size());
        lastOffset = event.offset;
    }

    // Whatever came before, a clean frame after a frame start decodes.
    decoder.reset();
    const auto events = decoder.feed(hex("11 22") + workedExampleStream());
    QCOMPARE(describeAll(events).mid(1, 2), (QStringList{"write 2000 @2", "write 2040 @71"}));
}

void TestPanelSim::memoryKeepsAnUpload()
{
    MessageSet set;
    set.setMarkup(0, "HI~H");
    set.setMarkup(2, "~BBOLD");
    set.setSpeedCode(2, 1);
    set.setMarkup(3, "STOP");
    set.setRun(3, false);
    const QByteArray raw = "T" + lineCoded(planMessageUpload(set, 0).frames());

    PanelMemory memory;
    FrameDecoder decoder;
    // Nothing completes before the end frame.
    QVERIFY(feedMemory(memory, decoder, raw.chopped(3)).empty());
    const std::vector<PanelMemory::Upload> uploads = feedMemory(memory, decoder, raw.right(3));
    QCOMPARE(uploads.size(), size_t(1));
    QCOMPARE(uploads[0].kind, PanelMemory::UploadKind::Message);
    QCOMPARE(uploads[0].writeFrames, 3 * 4 + 1);
    QCOMPARE(uploads[0].errors, QStringList());

    for (int slot : {0, 2, 3})
        QCOMPARE(memory.block(slot), encodeMessageBlock(set.markup(slot)));
    QCOMPARE(memory.runningSlots(), (std::vector<int>{0, 2}));
    QVERIFY(memory.isPresent(3) && !memory.runs(3));
    QVERIFY(!memory.isPresent(1));
    QCOMPARE(memory.speedCode(2), quint8(1));
    QVERIFY(memory.checksumOk(0) && memory.markerOk(0));
    QVERIFY(!memory.fontLoaded());
    QVERIFY(
        std::equal(memory.characterGenerator().begin(), memory.characterGenerator().end(), FontTable::bytes().begin()));
}

void TestPanelSim::memoryErrors_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("error");

    const MessageBlock good = encodeMessageBlock("HI");
    MessageBlock badChecksum = good;
    badChecksum[1] ^= 0x40;
    MessageBlock badMarker = good;
    badMarker[0] = 0;

    QTest::newRow("bad checksum") << slotAUpload(badChecksum) << "slot A: bad checksum 0xD3, the bytes sum to 0x93";
    QTest::newRow("bad marker") << slotAUpload(badMarker) << "slot A: bad marker 0x00, not 0x55";

    std::vector<LinkFrame> missingChunk = blockFrames(0, good);
    missingChunk.erase(missingChunk.begin() + 2);
    missingChunk.push_back(directoryFrame({{0, DirectoryEntry{0, 4, 1}}}));
    missingChunk.push_back(makeEndFrame());
    QTest::newRow("block frame lost") << lineCoded(missingChunk) << "slot A: 3 of 4 block frames received";

    const std::array<quint8, frame::kDataSize> zeros{};
    // Between the font and the blocks, off the 64-byte grid, past slot T,
    // past the directory.
    for (const auto &[address, name] : {std::pair{0x1000, "0x1000"}, std::pair{0x2010, "0x2010"},
                                        std::pair{0x3400, "0x3400"}, std::pair{0x3F40, "0x3F40"}}) {
        const QByteArray raw = makeWriteFrame(quint16(address), zeros).lineCoded() + slotAUpload(good);
        QTest::addRow("unknown address %s", name)
            << raw << QStringLiteral("write frame to unknown address ") + QLatin1String(name);
    }

    std::vector<LinkFrame> noDirectory = blockFrames(0, good);
    noDirectory.push_back(makeEndFrame());
    QTest::newRow("no directory") << lineCoded(noDirectory) << "end frame without a directory frame";

    QByteArray endArgument = slotAUpload(good);
    endArgument[endArgument.size() - 1] = char(lineCode(5));
    QTest::newRow("end frame argument") << endArgument << "end frame with argument 0x05, not 0x00";

    QByteArray noTerminator = slotAUpload(good);
    noTerminator[68] = char(lineCode(0x12));
    QTest::newRow("missing terminator") << noTerminator << "missing terminator in the frame from line byte 0: 0x12";

    const QByteArray unknownCommand = QByteArray(1, char(lineCode(frame::kStart))) + char(lineCode(0x35));
    QTest::newRow("unknown command") << unknownCommand + slotAUpload(good)
                                     << "unknown command in the frame from line byte 0: 0x35";
    QTest::newRow("stray byte") << QByteArray(1, char(lineCode(0x41))) + slotAUpload(good)
                                << "stray byte between frames at line byte 0: 0x41";
}

void TestPanelSim::memoryErrors()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, error);

    PanelMemory memory;
    FrameDecoder decoder;
    const std::vector<PanelMemory::Upload> uploads = feedMemory(memory, decoder, raw);
    QCOMPARE(uploads.size(), size_t(1));
    QVERIFY2(uploads[0].errors.contains(error), qPrintable(uploads[0].errors.join(QLatin1String(" | "))));
    // The errors go out with the upload they belong to, once.
    QCOMPARE(memory.pendingErrors(), QStringList());
    QCOMPARE(feedMemory(memory, decoder, slotAUpload(encodeMessageBlock("OK"))).at(0).errors, QStringList());
}

void TestPanelSim::memoryKeepsBlockFramesBetweenUploads()
{
    PanelMemory memory;
    FrameDecoder decoder;
    QCOMPARE(feedMemory(memory, decoder, slotAUpload(encodeMessageBlock("12:34"))).at(0).errors, QStringList());

    // Only the first 64 bytes changed: an upload may send just them.
    const MessageBlock next = encodeMessageBlock("12:35");
    std::vector<LinkFrame> changed = blockFrames(0, next);
    changed.erase(changed.begin() + 1, changed.end());
    changed.push_back(directoryFrame({{0, DirectoryEntry{0, 4, 1}}}));
    changed.push_back(makeEndFrame());
    const std::vector<PanelMemory::Upload> uploads = feedMemory(memory, decoder, lineCoded(changed));
    QCOMPARE(uploads.size(), size_t(1));
    QCOMPARE(uploads[0].errors, QStringList());
    QCOMPARE(uploads[0].writeFrames, 2);
    QCOMPARE(memory.block(0), next);
}

void TestPanelSim::fontUpload()
{
    const QByteArray image = fontImageWith(0x7F);
    std::vector<LinkFrame> frames = characterGeneratorFrames(image);
    // Out of order and one frame twice: it completes with the 64th distinct
    // address, not the 64th frame.
    std::swap(frames[0], frames[40]);
    frames.insert(frames.begin() + 10, frames[3]);
    const QByteArray raw = lineCoded(frames);

    PanelMemory memory;
    FrameDecoder decoder;
    QVERIFY(feedMemory(memory, decoder, raw.chopped(frame::kWriteFrameSize)).empty());
    QVERIFY(memory.fontLoaded()); // from the first frame on
    const std::vector<PanelMemory::Upload> uploads = feedMemory(memory, decoder, raw.right(frame::kWriteFrameSize));
    QCOMPARE(uploads.size(), size_t(1));
    QCOMPARE(uploads[0].kind, PanelMemory::UploadKind::Font);
    QCOMPARE(uploads[0].writeFrames, 65);
    QCOMPARE(uploads[0].errors, QStringList());
    const FontTable::Image loaded = memory.characterGenerator();
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(loaded.data()), qsizetype(loaded.size())), image);

    // A second upload completes again.
    QCOMPARE(feedMemory(memory, decoder, lineCoded(characterGeneratorFrames(FontTable::image()))).size(), size_t(1));
}

void TestPanelSim::fontCutShort()
{
    const std::vector<LinkFrame> frames = characterGeneratorFrames(FontTable::image());
    PanelMemory memory;
    FrameDecoder decoder;
    QVERIFY(feedMemory(memory, decoder, lineCoded({frames.begin(), frames.begin() + 10})).empty());
    // The probe of the next upload shows that the font upload has ended.
    const std::vector<PanelMemory::Upload> uploads =
        feedMemory(memory, decoder, "T" + slotAUpload(encodeMessageBlock("A")));
    QCOMPARE(uploads.size(), size_t(1));
    QCOMPARE(uploads[0].errors, QStringList{"font upload cut short: 10 of 64 frames"});
    QVERIFY(memory.fontLoaded());
    // And the next font upload counts from the start again.
    QCOMPARE(feedMemory(memory, decoder, lineCoded(frames)).size(), size_t(1));
}

void TestPanelSim::memoryKeepsTheFirstErrors()
{
    // 30 writes to addresses nothing lives at, 0x1000 to 0x1740, then a
    // good upload that ends them.
    const QByteArray raw = writesToNowhere(30) + slotAUpload(encodeMessageBlock("HI"));

    PanelMemory memory;
    FrameDecoder decoder;
    const std::vector<PanelMemory::Upload> uploads = feedMemory(memory, decoder, raw);
    QCOMPARE(uploads.size(), size_t(1));
    const PanelMemory::Upload &upload = uploads[0];
    QCOMPARE(upload.errors.size(), PanelMemory::kKeptErrors);
    QCOMPARE(upload.errors.first(), QStringLiteral("write frame to unknown address 0x1000"));
    QCOMPARE(upload.errors.last(), QStringLiteral("write frame to unknown address 0x14C0"));
    QCOMPARE(upload.errorsDropped, 10);

    // The next upload counts from nothing again.
    const std::vector<PanelMemory::Upload> next = feedMemory(memory, decoder, slotAUpload(encodeMessageBlock("OK")));
    QCOMPARE(next.at(0).errors, QStringList());
    QCOMPARE(next.at(0).errorsDropped, 0);
}

void TestPanelSim::panelAnswersOnlyAProbeItReceived()
{
    VirtualPanel panel;
    QVERIFY(panel.isValid());
    BareSender sender(panel.slavePath(), BareSender::Hold::Exclusive);
    QVERIFY(sender.isOpen());
    QVERIFY(sender.setLine(panelLine(sender.line())));

    // Nothing waits in the line before the probe ...
    QCOMPARE(sender.read(200), QByteArray());
    // ... and the answer comes once the probe has arrived.
    QCOMPARE(sender.write("T", 5000), 1);
    QCOMPARE(sender.read(5000), QByteArray("T"));
    QCOMPARE(panel.probeCount(), 1);
    QCOMPARE(panel.lineErrors(), QStringList());
}

Q_DECLARE_METATYPE(std::function<void(termios &)>)

void TestPanelSim::panelChecksTheLine_data()
{
    using Change = std::function<void(termios &)>;
    QTest::addColumn<Change>("change"); // applied to the line as the panel needs it, or none
    QTest::addColumn<QString>("fault");

    QTest::newRow("set as the panel needs it") << Change([](termios &) {}) << QString();
    QTest::newRow("9600 baud") << Change([](termios &line) {
        ::cfsetispeed(&line, B9600);
        ::cfsetospeed(&line, B9600);
    }) << "9600 baud";
    QTest::newRow("2 stop bits") << Change([](termios &line) { line.c_cflag |= CSTOPB; }) << "2 stop bits";
    QTest::newRow("output processing") << Change([](termios &line) { line.c_oflag |= OPOST | ONLCR; })
                                       << "output processing";
    QTest::newRow("line editing") << Change([](termios &line) { line.c_lflag |= ICANON; }) << "line editing or echo";
    QTest::newRow("input processing") << Change([](termios &line) { line.c_iflag |= ICRNL; }) << "input processing";
    // A sender that holds the port but never sets the line.
    QTest::newRow("left as the port started")
        << Change() << "19200 baud, 2 stop bits, output processing, line editing or echo, input processing";
}

void TestPanelSim::panelChecksTheLine()
{
    QFETCH(std::function<void(termios &)>, change);
    QFETCH(QString, fault);

    VirtualPanel panel;
    QVERIFY(panel.isValid());
    BareSender sender(panel.slavePath(), BareSender::Hold::Exclusive);
    QVERIFY(sender.isOpen());
    if (change) {
        termios line = panelLine(sender.line());
        change(line);
        QVERIFY(sender.setLine(line));
    }

    QCOMPARE(sender.write("T\x0A", 5000), 2);
    // A panel answers only a probe it could understand.
    QCOMPARE(sender.read(fault.isEmpty() ? 5000 : 300), fault.isEmpty() ? QByteArray("T") : QByteArray());
    QVERIFY(panel.waitForBytes(2, 5000) >= 2);
    const QStringList errors = panel.lineErrors();
    if (fault.isEmpty()) {
        QCOMPARE(errors, QStringList());
        QCOMPARE(panel.received(), QByteArray("T\x0A"));
    } else {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].startsWith("line bytes 0 to ") && errors[0].endsWith(" arrived at " + fault),
                 qPrintable(errors[0]));
    }
    // Output processing is what turns 0x0A into 0x0D 0x0A.
    if (fault.startsWith("output processing"))
        QCOMPARE(panel.received(), QByteArray("T\x0D\x0A"));
}

QTEST_GUILESS_MAIN(TestPanelSim)
#include "tst_panelsim.moc"
