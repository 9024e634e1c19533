// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel/ptyline.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace varlo {

namespace {

// What the wake pipe tells the reader.
constexpr char kStop = 's';
constexpr char kWake = 'w';
// Bytes taken from the line at one read.
constexpr int kReadBytes = 4096;

QString speedName(speed_t speed)
{
    switch (speed) {
    case B0:
        return QStringLiteral("0");
    case B1200:
        return QStringLiteral("1200");
    case B2400:
        return QStringLiteral("2400");
    case B4800:
        return QStringLiteral("4800");
    case B9600:
        return QStringLiteral("9600");
    case B19200:
        return QStringLiteral("19200");
    case B38400:
        return QStringLiteral("38400");
    case B57600:
        return QStringLiteral("57600");
    case B115200:
        return QStringLiteral("115200");
    default:
        return QStringLiteral("code %1").arg(speed);
    }
}

} // namespace

PtyLine::PtyLine() = default;

PtyLine::~PtyLine()
{
    stop();
    for (const int fd : {m_master, m_slave, m_wake[0], m_wake[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool PtyLine::open(const termios &startSettings)
{
    termios settings = startSettings;
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, &settings, nullptr) != 0) {
        m_error = qt_error_string(errno);
        m_master = m_slave = -1;
        return false;
    }
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    // A program started from here must not inherit the line: a copy left
    // open there would keep it alive after this end has gone.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    // An answer nobody reads must not hold up the reader once the line's
    // buffer is full: it is dropped instead.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QFile::decodeName(name);
    return true;
}

void PtyLine::start(Listener &listener, int idleMs)
{
    Q_ASSERT(m_master >= 0 && !m_reader.joinable());
    m_listener = &listener;
    m_idleMs = idleMs;
    m_reader = std::thread([this] { run(); });
}

void PtyLine::stop()
{
    if (!m_reader.joinable())
        return;
    signalReader(kStop);
    m_reader.join();
}

void PtyLine::wake()
{
    signalReader(kWake);
}

void PtyLine::signalReader(char reason)
{
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &reason, 1);
}

void PtyLine::run()
{
    char buffer[kReadBytes];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, m_idleMs > 0 ? m_idleMs : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return;
        if (fds[1].revents != 0) {
            char reason = kStop;
            if (::read(m_wake[0], &reason, 1) != 1 || reason == kStop || !m_listener->woken())
                return;
            continue;
        }
        if (ready == 0) {
            m_listener->idle();
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
        if (!m_listener->bytesArrived(buffer, got))
            return;
    }
}

bool PtyLine::answer(quint8 byte)
{
    const char answer = char(byte);
    return ::write(m_master, &answer, 1) == 1;
}

bool PtyLine::settings(termios &line) const
{
    return ::tcgetattr(m_master, &line) == 0;
}

bool PtyLine::heldExclusively() const
{
    int exclusive = 0;
    return ::ioctl(m_slave, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

void PtyLine::clearExclusive()
{
    ::ioctl(m_slave, TIOCNXCL);
}

void PtyLine::hangUp()
{
    ::close(m_master);
    m_master = -1;
    // The slave goes too: with it open the line would still look alive.
    ::close(m_slave);
    m_slave = -1;
}

QString PtyLine::settingsFault(const termios &line)
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

} // namespace varlo
