// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <termios.h>

namespace varlo::test {

// A sender's end of a serial line without any serial library: the device
// opened without waiting, its line left as it is unless a test sets it.
// Writes give up when the line takes nothing for a while, so that a panel
// that stopped reading fails a test instead of hanging it.
class BareSender
{
public:
    enum class Hold {
        Shared,
        Exclusive, // as serial programs hold a port they have open
    };

    explicit BareSender(const QString &device, Hold hold = Hold::Shared);
    ~BareSender();
    BareSender(const BareSender &) = delete;
    BareSender &operator=(const BareSender &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    termios line() const;
    bool setLine(const termios &settings);
    // Whether the port is marked for one opener only.
    bool heldExclusively() const;

    // The bytes written before the line took nothing for `stallMs`, or
    // failed (the other end went away).
    qint64 write(const QByteArray &bytes, int stallMs);
    // What arrives within the time-out.
    QByteArray read(int timeoutMs);

private:
    int m_fd;
};

} // namespace varlo::test
