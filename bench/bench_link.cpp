// SPDX-License-Identifier: GPL-3.0-or-later
// How much the panel link costs in software, measured against the time the
// line itself needs. Both uploads go into a pseudo-terminal, which takes
// bytes as fast as they come and has no line time of its own, read by a
// virtual panel: their processor time against the 38400-baud line time of
// their bytes. Beside each, measured in the same rounds, the same bytes
// written by bare write() calls, one byte each, on a descriptor opened
// directly: the cost of single-byte writes on this machine, which no
// serial program that writes byte by byte can go below. Then a clock's
// one-slot change sent in full and sent changed-only: bytes, their line time
// and the wall clock into the pseudo-terminal. Then discovery over
// 15 ports that open but never answer, against its 15 probe time-outs.
//
// Prints rows of the table that bench/run heads. With --discovery it prints
// only the discovery rows, labelled with the text that follows, so that
// bench/run can measure discovery again with the lock folder elsewhere.

#include "benchtable.h"

#include "charset/fonttable.h"
#include "link/fontupload.h"
#include "link/uploadprogress.h"
#include "link/messageupload.h"
#include "link/panellink.h"
#include "model/messageset.h"

#include "support/virtualports.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace varlo;
using namespace varlo::bench;
using namespace varlo::test;

namespace {

constexpr int kRuns = 15;
constexpr int kBitsPerByte = 10; // start bit, 8 data bits, stop bit

class QuietReporter final : public UploadProgress
{
public:
    void portOpened(const PortChoice &) override {}
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
};

double lineTimeMs(qint64 bytes)
{
    return double(bytes) * kBitsPerByte * 1000.0 / SerialPort::kBaudRate;
}

QByteArray lineCoded(const std::vector<LinkFrame> &frames)
{
    QByteArray stream;
    for (const LinkFrame &frame : frames)
        stream += frame.lineCoded();
    return stream;
}

// The floor: the bytes written one by one on a raw descriptor, waiting for
// room when the terminal's queue is full, then drained, as the port does.
void writeBareBytes(const QString &device, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    for (const char byte : bytes) {
        while (::write(fd, &byte, 1) != 1) {
            if (errno != EAGAIN && errno != EINTR) {
                ::close(fd);
                return;
            }
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, 1000);
        }
    }
    ::tcdrain(fd);
    ::close(fd);
}

// An upload against its line time, beside the bare writes of its bytes.
void benchUpload(const char *name, VirtualPanel &panel, const QByteArray &stream, double pausesMs,
                 const std::function<void()> &upload)
{
    const auto received = [&](const std::function<void()> &job) {
        return [&panel, &stream, job] {
            const qint64 before = panel.receivedCount();
            job();
            panel.waitForBytes(before + stream.size(), 5000);
        };
    };
    const std::vector<Timing> t =
        measureSideBySide({received(upload), received([&] { writeBareBytes(panel.slavePath(), stream); })}, kRuns);
    const Timing &ours = t[0];
    const Timing &bare = t[1];
    const double lineMs = lineTimeMs(stream.size());

    printRow(format("%s, %lld bytes, %.0f ms on the line: processor time / line time", name,
                    static_cast<long long>(stream.size()), lineMs),
             format("%.1f ms = %.2f %%", ours.cpuMs, 100.0 * ours.cpuMs / lineMs), "<= 1 %");
    printRow(format("  the same bytes by bare one-byte write() calls: processor time / line time"),
             format("%.1f ms = %.2f %%", bare.cpuMs, 100.0 * bare.cpuMs / lineMs));
    printRow(format("  %s processor time / bare writes", name), format("%.2f", ours.cpuMs / bare.cpuMs));
    printRow(format("  %s wall clock into the pty, less its %.0f ms of pauses / line time", name, pausesMs),
             format("%.1f ms = %.2f %%", ours.wallMs - pausesMs, 100.0 * (ours.wallMs - pausesMs) / lineMs));
}

double pausesMsOf(const UploadPlan &plan)
{
    double ms = 0;
    for (const UploadStep &step : plan.steps) {
        for (const int pauseMs : step.pausesMs)
            ms += pauseMs;
    }
    return ms;
}

// A clock in slot A among 19 full slots ticks a minute on: the full upload
// against the changed block frames only.
void benchClockChange(VirtualPanel &panel, QuietReporter &reporter)
{
    MessageSet before;
    for (int slot = 1; slot < MessageSet::kSlotCount; ++slot)
        before.setMarkup(slot, QByteArray(124, char('A' + slot)));
    before.setMarkup(0, "12:34");
    MessageSet after = before;
    after.setMarkup(0, "12:35");

    const UploadPlan full = planMessageUpload(after, 0);
    const UploadPlan changed = planChangedUpload(before, after, 0);
    const auto received = [&panel, &reporter](const UploadPlan &plan) {
        return [&panel, &reporter, &plan] {
            const qint64 before = panel.receivedCount();
            runUpload(plan, PortChoice::com(1), reporter);
            panel.waitForBytes(before + plan.lineBytes(), 5000);
        };
    };
    const std::vector<Timing> t = measureSideBySide({received(full), received(changed)}, kRuns);

    const auto row = [](const char *name, const UploadPlan &plan, const Timing &timing) {
        const double lineMs = lineTimeMs(plan.lineBytes());
        printRow(format("clock change in one slot, %s: bytes, line time + %.0f ms of pauses, wall clock into the pty",
                        name, pausesMsOf(plan)),
                 format("%lld bytes, %.0f ms on a real line, %.1f ms", static_cast<long long>(plan.lineBytes()),
                        lineMs + pausesMsOf(plan), timing.wallMs));
    };
    row("sent in full", full, t[0]);
    row("sent changed-only", changed, t[1]);
    printRow("  changed-only / full, bytes on the line",
             format("%.2f %%", 100.0 * double(changed.lineBytes()) / double(full.lineBytes())), "<= 3 %");
}

void benchDiscovery(VirtualPorts &ports, QuietReporter &reporter, const std::string &where)
{
    for (int com = SerialPort::kFirstCom; com <= SerialPort::kLastCom; ++com)
        ports.addPanel(com, VirtualPanel::Answer::Silent);
    const std::vector<Timing> t =
        measureSideBySide({
                              [&] {
                                  UploadOutcome outcome;
                                  openPanelLink(PortChoice::automatic(), reporter, outcome);
                              },
                              // Discovery opens and closes each port once, on top of its time-outs.
                              [] {
                                  SerialPort port;
                                  port.open(1);
                                  port.setLine();
                                  port.close();
                              },
                          },
                          kRuns);
    const double floorMs = 15.0 * PanelLink::kProbeTimeoutMs;
    printRow(format("discovery over 15 silent ports, %s: wall clock / 15 x %d ms", where.c_str(),
                    PanelLink::kProbeTimeoutMs),
             format("%.0f ms = %.2f", t[0].wallMs, t[0].wallMs / floorMs), "<= 1.2");
    printRow(format("  opening and closing one port, %s", where.c_str()),
             format("%.2f ms wall clock, %.2f ms processor", t[1].wallMs, t[1].cpuMs));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    VirtualPorts ports(VirtualPorts::ProbeWait::AsShipped);
    if (!ports.isValid()) {
        std::fprintf(stderr, "bench_link: can't set up the ports folder\n");
        return 1;
    }
    QuietReporter reporter;

    if (argc == 3 && std::strcmp(argv[1], "--discovery") == 0) {
        benchDiscovery(ports, reporter, argv[2]);
        return 0;
    }

    VirtualPanel &panel = ports.addPanel(1, VirtualPanel::Answer::Silent);

    // A full message upload: 20 slots of 124 characters, Commu Delay 0.
    MessageSet full;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        full.setMarkup(slot, QByteArray(124, char('A' + slot)));
    QByteArray messageStream;
    double messagePausesMs = 0;
    for (const UploadStep &step : planMessageUpload(full, 0).steps) {
        messageStream += lineCoded(step.frames);
        for (const int pauseMs : step.pausesMs)
            messagePausesMs += pauseMs;
    }
    benchUpload("message upload", panel, messageStream, messagePausesMs,
                [&] { runUpload(planMessageUpload(full, 0), PortChoice::com(1), reporter); });

    // The character generator upload: 64 frames, no pauses.
    benchUpload("character generator upload", panel, lineCoded(characterGeneratorFrames(FontTable::image())), 0,
                [&] { runUpload(*planFontUpload(FontTable::image()), PortChoice::com(1), reporter); });

    benchClockChange(panel, reporter);
    benchDiscovery(ports, reporter, "lock folder as this machine has it");
    return 0;
}
