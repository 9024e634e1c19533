// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/interruptwatch.h"

#include "link/uploadstop.h"

#include <QtGlobal>

#include <csignal>
#include <iterator>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace varlo::cli {

namespace {

volatile std::sig_atomic_t s_signal = 0;

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction s_previous[std::size(kSignals)];

void onSignal(int number)
{
    if (s_signal == 0)
        s_signal = number;
    UploadStop::request();
}
#endif

} // namespace

InterruptWatch::InterruptWatch()
{
#ifdef Q_OS_UNIX
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait the signal interrupts returns at once and looks
    // at the request. SA_RESETHAND: the next signal takes its usual course.
    action.sa_flags = SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &s_previous[i]);
#endif
}

InterruptWatch::~InterruptWatch()
{
#ifdef Q_OS_UNIX
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &s_previous[i], nullptr);
#endif
}

int InterruptWatch::signalNumber()
{
    return s_signal;
}

} // namespace varlo::cli
