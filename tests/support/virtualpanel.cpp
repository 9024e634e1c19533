// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace varlo::test {

namespace {
// What the wake pipe tells the reader.
constexpr char kStop = 's';
constexpr char kVanish = 'v';
// A sender on its way out holds the port this long at most after putting
// back the line settings it found.
constexpr int kClosingMs = 2000;
// Line errors written down; after them, "and more".
constexpr qsizetype kKeptLineErrors = 20;

// The settings a port has before a sender sets it: all wrong for the
// panel. A pseudo-terminal keeps 8 data bits and no parity whatever it is
// told; those two are checked all the same. Echo stays off, or the answers
// would come back to the panel as bytes received.
termios wrongLine()
{
    termios line{};
    line.c_iflag = ICRNL | IXON;
    line.c_oflag = OPOST | ONLCR;
    line.c_cflag = CS7 | PARENB | CSTOPB | CREAD;
    line.c_lflag = ICANON | ISIG | IEXTEN;
    ::cfsetispeed(&line, B19200);
    ::cfsetospeed(&line, B19200);
    return line;
}

bool sameLine(const termios &a, const termios &b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag
        && ::cfgetospeed(&a) == ::cfgetospeed(&b) && ::cfgetispeed(&a) == ::cfgetispeed(&b);
}

QString speedName(speed_t speed)
{
    switch (speed) {
    case B0: return QStringLiteral("0");
    case B1200: return QStringLiteral("1200");
    case B2400: return QStringLiteral("2400");
    case B4800: return QStringLiteral("4800");
    case B9600: return QStringLiteral("9600");
    case B19200: return QStringLiteral("19200");
    case B38400: return QStringLiteral("38400");
    case B57600: return QStringLiteral("57600");
    case B115200: return QStringLiteral("115200");
    default: return QStringLiteral("code %1").arg(speed);
    }
}
} // namespace

VirtualPanel::VirtualPanel(Answer answer)
    : m_answer(answer)
{
    m_clock.start();
    termios wrong = wrongLine();
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &wrong, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // As the kernel keeps it: what a sender's close puts back.
    ::tcgetattr(m_master, &m_startLine);
    // The panel keeps its own slave descriptor open all along, so the master
    // never sees a hang-up between the uploads' opens and closes.
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    // A program the test starts must not inherit the master: a copy left
    // open there would keep the line alive after the panel vanishes.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    // An answer nobody reads is dropped rather than block the reader.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
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

QStringList VirtualPanel::lineErrors() const
{
    std::lock_guard lock(m_mutex);
    return m_lineErrors;
}

QString VirtualPanel::lineFault(const termios &line)
{
    QStringList wrong;
    const speed_t out = ::cfgetospeed(&line);
    const speed_t in = ::cfgetispeed(&line) == B0 ? out : ::cfgetispeed(&line); // B0: as the output
    if (in != out)
        wrong << QStringLiteral("%1 baud out, %2 baud in").arg(speedName(out), speedName(in));
    else if (out != B38400)
        wrong << QStringLiteral("%1 baud").arg(speedName(out));
    if ((line.c_cflag & CSIZE) != CS8)
        wrong << QStringLiteral("fewer than 8 data bits");
    if (line.c_cflag & PARENB)
        wrong << QStringLiteral("parity");
    if (line.c_cflag & CSTOPB)
        wrong << QStringLiteral("2 stop bits");
    if (line.c_oflag & OPOST)
        wrong << QStringLiteral("output processing");
    if (line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN))
        wrong << QStringLiteral("line editing or echo");
    if (line.c_iflag & (ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF))
        wrong << QStringLiteral("input processing");
    return wrong.join(QStringLiteral(", "));
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
        take(buffer, got, checkLine());
        std::lock_guard lock(m_mutex);
        if (m_vanished)
            return;
    }
}

QString VirtualPanel::checkLine() const
{
    // The pseudo-terminal's master shows the settings the sender made.
    termios line{};
    if (::tcgetattr(m_master, &line) != 0)
        return {};
    const QString fault = lineFault(line);
    if (fault.isEmpty() || !sameLine(line, m_startLine))
        return fault;
    // The settings the line started with: those a sender's close puts
    // back, after bytes it may have sent on a line set right. A sender
    // that still holds the port is closing, or never set the line.
    const QDeadlineTimer closing(kClosingMs);
    while (heldExclusively()) {
        if (closing.hasExpired())
            return fault;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
}

bool VirtualPanel::heldExclusively() const
{
    int exclusive = 0;
    return ::ioctl(m_slave, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

void VirtualPanel::take(const char *bytes, qint64 count, const QString &lineFault)
{
    std::lock_guard lock(m_mutex);
    const qint64 now = m_clock.nsecsElapsed();
    if (!lineFault.isEmpty() && !m_vanished) {
        const QString error = QStringLiteral("line bytes %1 to %2 arrived at %3")
                                  .arg(m_received.size())
                                  .arg(m_received.size() + count - 1)
                                  .arg(lineFault);
        if (m_lineErrors.size() < kKeptLineErrors)
            m_lineErrors << error;
        else if (m_lineErrors.size() == kKeptLineErrors)
            m_lineErrors << QStringLiteral("and more");
    }
    for (qint64 i = 0; i < count && !m_vanished; ++i) {
        m_received.append(bytes[i]);
        m_arrivalNs.push_back(now);
        if (const auto event = m_decoder.feed(static_cast<quint8>(bytes[i]))) {
            m_events.push_back(*event);
            // Received, and on a line the panel understands: answered now.
            if (event->kind == FrameDecoder::Kind::Probe && lineFault.isEmpty())
                answer();
        }
        if (m_received.size() >= m_vanishAfter)
            vanish();
    }
    m_changed.notify_all();
}

void VirtualPanel::answer()
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
