// SPDX-License-Identifier: GPL-3.0-or-later
#include "baresender.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace varlo::test {

BareSender::BareSender(const QString &device, Hold hold)
    : m_fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (m_fd >= 0 && hold == Hold::Exclusive)
        ::ioctl(m_fd, TIOCEXCL);
}

BareSender::~BareSender()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

termios BareSender::line() const
{
    termios settings{};
    ::tcgetattr(m_fd, &settings);
    return settings;
}

bool BareSender::setLine(const termios &settings)
{
    return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

bool BareSender::heldExclusively() const
{
    int exclusive = 0;
    return ::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

qint64 BareSender::write(const QByteArray &bytes, int stallMs)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            break;
        pollfd room{m_fd, POLLOUT, 0};
        if (::poll(&room, 1, stallMs) <= 0 || !(room.revents & POLLOUT))
            break;
    }
    return done;
}

QByteArray BareSender::read(int timeoutMs)
{
    pollfd ready{m_fd, POLLIN, 0};
    char buffer[64];
    if (::poll(&ready, 1, timeoutMs) <= 0)
        return {};
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    return got > 0 ? QByteArray(buffer, got) : QByteArray();
}

} // namespace varlo::test
