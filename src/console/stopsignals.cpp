// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/stopsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <iterator>

#include <fcntl.h>
#include <unistd.h>

namespace varlo {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_received = 0;
std::atomic<StopSignals::HandlerStep> g_inHandler{nullptr};
std::atomic<StopSignals::HandlerStep> g_lastResort{nullptr};
static_assert(std::atomic<StopSignals::HandlerStep>::is_always_lock_free);
int g_graceMs = 0;
// The grace timer, armed by the first stop signal; it raises SIGALRM.
timer_t g_graceTimer{};
bool g_haveGraceTimer = false;

struct sigaction g_previous[std::size(kStopSignals)];
struct sigaction g_previousResize;
struct sigaction g_previousAlarm;
bool g_watchResize = false;

void tellEventLoop(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void onStopSignal(int signalNumber)
{
    const int saved = errno;
    const bool first = g_received == 0;
    if (first)
        g_received = signalNumber;
    if (const StopSignals::HandlerStep step = g_inHandler.load())
        step();
    tellEventLoop(signalNumber);
    if (first && g_haveGraceTimer) {
        itimerspec grace{};
        grace.it_value.tv_sec = g_graceMs / 1000;
        grace.it_value.tv_nsec = long(g_graceMs % 1000) * 1000000L;
        ::timer_settime(g_graceTimer, 0, &grace, nullptr);
    }
    errno = saved;
}

void onResize(int signalNumber)
{
    const int saved = errno;
    tellEventLoop(signalNumber);
    errno = saved;
}

void onGraceOver(int)
{
    if (const StopSignals::HandlerStep lastResort = g_lastResort.load())
        lastResort();
    ::_exit(0);
}

} // namespace

StopSignals::StopSignals(QObject *parent)
    : StopSignals(Options(), parent)
{
}

StopSignals::StopSignals(const Options &options, QObject *parent)
    : QObject(parent)
{
    Q_ASSERT(g_pipe[0] < 0); // one per program
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_received = 0;
    g_inHandler = options.inHandler;
    g_lastResort = options.lastResort;
    g_graceMs = options.graceMs;

    struct sigaction action
    {};
    sigemptyset(&action.sa_mask);
    if (g_graceMs > 0) {
        sigevent toAlarm{};
        toAlarm.sigev_notify = SIGEV_SIGNAL;
        toAlarm.sigev_signo = SIGALRM;
        if (::timer_create(CLOCK_MONOTONIC, &toAlarm, &g_graceTimer) != 0)
            return;
        g_haveGraceTimer = true;
        action.sa_handler = onGraceOver;
        ::sigaction(SIGALRM, &action, &g_previousAlarm);
    }
    action.sa_handler = onStopSignal;
    // With a grace time the timer ends the program; without, the next
    // signal takes its usual course.
    action.sa_flags = (options.interruptCalls ? 0 : SA_RESTART) | (g_haveGraceTimer ? 0 : SA_RESETHAND);
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &action, &g_previous[i]);
    g_watchResize = options.watchResize;
    if (g_watchResize) {
        action.sa_handler = onResize;
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGWINCH, &action, &g_previousResize);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readPipe);
}

StopSignals::~StopSignals()
{
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        ::sigaction(kStopSignals[i], &g_previous[i], nullptr);
    if (g_watchResize)
        ::sigaction(SIGWINCH, &g_previousResize, nullptr);
    g_watchResize = false;
    if (g_haveGraceTimer) {
        ::timer_delete(g_graceTimer);
        g_haveGraceTimer = false;
        ::sigaction(SIGALRM, &g_previousAlarm, nullptr);
    }
    g_inHandler = nullptr;
    g_lastResort = nullptr;
    delete m_notifier;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

int StopSignals::received()
{
    return g_received;
}

void StopSignals::readPipe()
{
    char byte = 0;
    bool resized = false;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (byte == char(SIGWINCH))
            resized = true; // a burst while the user drags is one redraw
        else
            Q_EMIT stopRequested(int(byte));
    }
    if (resized)
        Q_EMIT terminalResized();
}

} // namespace varlo
