// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/stopsignals.h"

#include <QSocketNotifier>

#include <csignal>

#include <sys/signalfd.h>
#include <unistd.h>

namespace varlo::agent {

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

void StopSignals::blockInProcess()
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(QObject *parent)
    : QObject(parent)
{
    const sigset_t set = stopSignals();
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::read);
}

StopSignals::~StopSignals()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void StopSignals::read()
{
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info)) {
        const int signalNumber = int(info.ssi_signo);
        if (m_requested) {
            // Asked twice: whatever the agent is waiting for, end now, as
            // the signal would have without us.
            ::signal(signalNumber, SIG_DFL);
            const sigset_t set = stopSignals();
            pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
            ::raise(signalNumber);
            ::_exit(128 + signalNumber);
        }
        m_requested = true;
        Q_EMIT stopRequested(signalNumber);
    }
}

} // namespace varlo::agent
