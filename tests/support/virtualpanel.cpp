// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace varlo::test {

namespace {
// What the wake pipe tells the reader.
constexpr char kStop = 's';
constexpr char kVanish = 'v';
} // namespace

VirtualPanel::VirtualPanel(Answer answer)
    : m_answer(answer)
{
    m_clock.start();
    termios raw{};
    ::cfmakeraw(&raw);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // The panel keeps its own slave descriptor open all along, so the master
    // never sees a hang-up between the uploads' opens and closes.
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    // A program the test starts must not inherit the master: a copy left
    // open there would keep the line alive after the panel vanishes.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
    armAnswer();
    m_reader = std::thread([this] { run(); });
}

VirtualPanel::~VirtualPanel()
{
    if (m_reader.joinable()) {
        wake(kStop);
        m_reader.join();
    }
    for (const int fd : {m_master, m_slave, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void VirtualPanel::vanishAfter(qint64 byteCount)
{
    std::lock_guard lock(m_mutex);
    m_vanishAfter = byteCount;
}

bool VirtualPanel::vanishNow(int timeoutMs)
{
    {
        std::lock_guard lock(m_mutex);
        m_vanishAfter = 0;
    }
    // The reader closes the master itself, so that it never polls a closed
    // descriptor.
    wake(kVanish);
    return waitUntilVanished(timeoutMs);
}

void VirtualPanel::wake(char reason)
{
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &reason, 1);
}

bool VirtualPanel::waitUntilVanished(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_vanished; });
}

QByteArray VirtualPanel::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

qint64 VirtualPanel::receivedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_received.size();
}

qint64 VirtualPanel::waitForBytes(qint64 count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_received.size() >= count; });
    return m_received.size();
}

std::vector<qint64> VirtualPanel::arrivalNs() const
{
    std::lock_guard lock(m_mutex);
    return m_arrivalNs;
}

std::vector<FrameDecoder::Event> VirtualPanel::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

int VirtualPanel::probeCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_events.begin(), m_events.end(), [](const FrameDecoder::Event &e) {
        return e.kind == FrameDecoder::Kind::Probe;
    }));
}

void VirtualPanel::run()
{
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0) {
            char reason = kStop;
            if (::read(m_wake[0], &reason, 1) != 1 || reason == kStop)
                return;
            std::lock_guard lock(m_mutex);
            vanish();
            m_changed.notify_all();
            return;
        }
        if (!(fds[0].revents & POLLIN)) {
            // Should not happen while the panel holds the slave open; don't spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0)
            continue;
        take(buffer, got);
        std::lock_guard lock(m_mutex);
        if (m_vanished)
            return;
    }
}

void VirtualPanel::take(const char *bytes, qint64 count)
{
    std::lock_guard lock(m_mutex);
    const qint64 now = m_clock.nsecsElapsed();
    for (qint64 i = 0; i < count && !m_vanished; ++i) {
        m_received.append(bytes[i]);
        m_arrivalNs.push_back(now);
        if (const auto event = m_decoder.feed(static_cast<quint8>(bytes[i]))) {
            m_events.push_back(*event);
            if (event->kind == FrameDecoder::Kind::Probe)
                armAnswer();
        }
        if (m_received.size() >= m_vanishAfter)
            vanish();
    }
    m_changed.notify_all();
}

void VirtualPanel::armAnswer()
{
    if (m_answer == Answer::Silent)
        return;
    const char answer = m_answer == Answer::Echo ? char(frame::kProbe) : char(kWrongAnswer);
    [[maybe_unused]] const ssize_t written = ::write(m_master, &answer, 1);
}

void VirtualPanel::vanish()
{
    ::close(m_master);
    m_master = -1;
    // The slave goes too: with it open the line would still look alive.
    ::close(m_slave);
    m_slave = -1;
    m_vanished = true;
}

} // namespace varlo::test
