// How much the panel link costs in software, measured against the time the
// line itself needs: a full message upload into a pseudo-terminal (which
// takes bytes as fast as they come) against its 38400-baud line time, and a
// discovery over 15 ports without a panel against its 15 probe time-outs.

#include "link/linkreporter.h"
#include "link/messageupload.h"
#include "link/panellink.h"
#include "model/messageset.h"

#include "support/virtualports.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace varlo;
using namespace varlo::test;

namespace {

constexpr int kRuns = 9;
constexpr int kBitsPerByte = 10; // start bit, 8 data bits, stop bit

class QuietReporter final : public LinkReporter
{
public:
    void showMessage(const QString &, const QString &) override {}
    void showLamp(Lamp) override {}
    void showStatus(const QString &) override {}
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The median wall-clock time of the job, and the median processor time the
// job's thread used: on a busy machine the wall clock also counts the time
// other programs had the processor.
struct Timing {
    double wallMs;
    double cpuMs;
};

Timing measure(const std::function<void()> &job)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuMs();
        job();
        cpu.push_back(threadCpuMs() - cpuStart);
        wall.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    return {median(wall), median(cpu)};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    VirtualPorts ports;
    if (!ports.isValid()) {
        std::fprintf(stderr, "bench_link: can't set up the ports folder\n");
        return 1;
    }
    QuietReporter reporter;

    // A full upload: 20 slots of 124 characters, Commu Delay 0.
    VirtualPanel &panel = ports.addPanel(1, VirtualPanel::Answer::Silent);
    MessageSet full;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        full.setMarkup(slot, QByteArray(124, char('A' + slot)));
    qint64 bytes = 0;
    const Timing upload = measure([&] {
        const qint64 before = panel.receivedCount();
        SendMessageSet(full, PortChoice::com(1), 0, reporter);
        bytes = panel.waitForBytes(before + 5592, 5000) - before;
    });
    const double lineMs = double(bytes) * kBitsPerByte * 1000.0 / SerialPort::kBaudRate;

    // Discovery over 15 ports that open but never answer.
    for (int com = SerialPort::kFirstCom; com <= SerialPort::kLastCom; ++com)
        ports.addPanel(com, VirtualPanel::Answer::Silent);
    const Timing discovery = measure([&] { OpenPanelLink(PortChoice::automatic(), reporter); });
    // Opening and closing one port, which discovery does 15 times on top
    // of the time-outs.
    const Timing openClose = measure([&] {
        SerialPort port;
        port.open(1);
        port.setLine();
        port.close();
    });
    const double floorMs = 15.0 * PanelLink::kProbeTimeoutMs;

    std::printf("median of %d runs\n", kRuns);
    std::printf("full upload, %lld bytes, %.0f ms on the line:\n", static_cast<long long>(bytes), lineMs);
    std::printf("  wall clock  %7.2f ms  %5.2f%% of the line time\n", upload.wallMs, 100.0 * upload.wallMs / lineMs);
    std::printf("  processor   %7.2f ms  %5.2f%% of the line time\n", upload.cpuMs, 100.0 * upload.cpuMs / lineMs);
    std::printf("discovery over 15 silent ports, against 15 x %d ms:\n", PanelLink::kProbeTimeoutMs);
    std::printf("  wall clock  %7.2f ms  %5.2f times the time-out floor\n", discovery.wallMs,
                discovery.wallMs / floorMs);
    std::printf("  processor   %7.2f ms\n", discovery.cpuMs);
    std::printf("opening and closing one port: %.2f ms wall clock, %.2f ms processor\n", openClose.wallMs,
                openClose.cpuMs);
    return 0;
}
