// SPDX-License-Identifier: GPL-3.0-or-later
#include "panelsim/ptyline.h"

#include <QFile>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace varlo::panel {

namespace {
// With the line quiet this long, no sender is in the middle of anything.
constexpr int kIdleMs = 1000;
} // namespace

PtyLine::PtyLine() = default;

PtyLine::~PtyLine()
{
    if (m_reader.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_taken.notify_all();
        const char stop = 's';
        [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
        m_reader.join();
    }
    for (const int fd : {m_master, m_slave, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool PtyLine::open()
{
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_error = qt_error_string(errno);
        m_master = m_slave = -1;
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    // Programs started from here (none so far) must not keep the line.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    // An answer nobody reads must not hold up the reader once the line's
    // buffer is full: it is dropped instead.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // The slave stays open here all along: once the last opener of the
    // slave closes it, every read of the master fails with EIO until someone
    // opens it again, and the next sender would find a line in that state.
    m_slavePath = QFile::decodeName(name);
    // The answer to the first probe, ahead of it.
    answerProbe();
    return true;
}

void PtyLine::start(EventsWaiting eventsWaiting)
{
    Q_ASSERT(m_master >= 0 && !m_reader.joinable());
    m_eventsWaiting = std::move(eventsWaiting);
    m_reader = std::thread([this] { run(); });
}

std::vector<FrameDecoder::Event> PtyLine::takeEvents()
{
    std::vector<FrameDecoder::Event> events;
    {
        std::lock_guard lock(m_mutex);
        events.swap(m_waiting);
    }
    m_taken.notify_all();
    return events;
}

bool PtyLine::handOver(std::vector<FrameDecoder::Event> &events)
{
    std::unique_lock lock(m_mutex);
    m_taken.wait(lock, [this] { return m_stopping || m_waiting.size() < kMaxWaitingEvents; });
    if (m_stopping)
        return false;
    const bool wasEmpty = m_waiting.empty();
    m_waiting.insert(m_waiting.end(), events.begin(), events.end());
    lock.unlock();
    if (wasEmpty)
        m_eventsWaiting();
    return true;
}

void PtyLine::run()
{
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, kIdleMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || fds[1].revents != 0)
            return;
        if (ready == 0) {
            // A sender that died with the port open leaves it marked
            // exclusive (serial libraries set that on open and clear it on
            // close), and as this end keeps the slave open the mark would
            // never go: every later sender would find the port busy.
            ::ioctl(m_slave, TIOCNXCL);
            continue;
        }
        if (!(fds[0].revents & POLLIN)) {
            // Not expected while the slave is held open; don't spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            continue;
        std::vector<FrameDecoder::Event> events;
        for (ssize_t i = 0; i < got; ++i) {
            if (auto event = m_decoder.feed(static_cast<quint8>(buffer[i]))) {
                // Queue the answer for the next probe before anything
                // else; this probe found the previous one waiting.
                if (event->kind == FrameDecoder::Kind::Probe)
                    answerProbe();
                events.push_back(*event);
            }
        }
        if (!events.empty() && !handOver(events))
            return;
    }
}

void PtyLine::answerProbe()
{
    // Never waits (see open()): a full line drops the answer.
    const char answer = char(frame::kProbe);
    [[maybe_unused]] const ssize_t written = ::write(m_master, &answer, 1);
}

} // namespace varlo::panel
