// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/quitsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace varlo::panel {

namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The grace timer, armed by the first quit signal; it raises SIGALRM.
timer_t g_graceTimer{};
bool g_haveGraceTimer = false;
volatile sig_atomic_t g_graceArmed = 0;
std::atomic<QuitSignals::LastResort> g_lastResort{nullptr};
static_assert(std::atomic<QuitSignals::LastResort>::is_always_lock_free);

// In a signal handler: hands the signal to the event loop.
void tellEventLoop(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

void onSignal(int signalNumber)
{
    const int saved = errno;
    tellEventLoop(signalNumber);
    if (g_haveGraceTimer && !g_graceArmed) {
        g_graceArmed = 1;
        itimerspec grace{};
        grace.it_value.tv_sec = QuitSignals::kGraceMs / 1000;
        grace.it_value.tv_nsec = long(QuitSignals::kGraceMs % 1000) * 1000000L;
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
    if (const QuitSignals::LastResort lastResort = g_lastResort.load())
        lastResort();
    ::_exit(0);
}

} // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    Q_ASSERT(g_pipe[0] < 0); // one per program
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    sigevent toAlarm{};
    toAlarm.sigev_notify = SIGEV_SIGNAL;
    toAlarm.sigev_signo = SIGALRM;
    if (::timer_create(CLOCK_MONOTONIC, &toAlarm, &g_graceTimer) != 0)
        return;
    g_haveGraceTimer = true;
    struct sigaction action
    {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = onGraceOver;
    ::sigaction(SIGALRM, &action, nullptr);
    action.sa_handler = onSignal;
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    action.sa_handler = onResize;
    ::sigaction(SIGWINCH, &action, nullptr);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
}

QuitSignals::~QuitSignals()
{
    for (const int signalNumber : kSignals)
        ::signal(signalNumber, SIG_DFL);
    ::signal(SIGWINCH, SIG_DFL);
    if (g_haveGraceTimer) {
        ::timer_delete(g_graceTimer);
        g_haveGraceTimer = false;
        ::signal(SIGALRM, SIG_DFL);
    }
    g_graceArmed = 0;
    g_lastResort = nullptr;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignals::setLastResort(LastResort lastResort)
{
    g_lastResort = lastResort;
}

void QuitSignals::readPipe()
{
    char byte = 0;
    bool resized = false;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (byte == char(SIGWINCH))
            resized = true; // a burst while the user drags is one redraw
        else
            Q_EMIT quitRequested(int(byte));
    }
    if (resized)
        Q_EMIT terminalResized();
}

} // namespace varlo::panel
