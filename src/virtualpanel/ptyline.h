// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <thread>

#include <termios.h>

namespace varlo {

// The panel's end of a serial line: the master side of a pseudo-terminal
// whose slave a sender opens as its serial port. A thread of its own reads
// the line and hands the bytes to the owner as they arrive, so that the
// panel keeps up whatever the rest of the program is doing: a pty whose
// master is not read blocks its writer once the kernel's buffer is full,
// and a sender waits only briefly for the answer to its probe.
//
// Nothing on the line can stop the reader. Answers are written without
// waiting: when the sender does not read them and the line's buffer is
// full, they are dropped (a sender that reads has its answer long before).
//
// This end keeps the slave open all along: once the last opener of the
// slave closes it, every read of the master fails with EIO until someone
// opens it again, and the next sender would find a line in that state.
class PtyLine
{
public:
    // What the reader thread tells the line's owner. Every call comes on the
    // reader thread; one returning false ends the reading.
    class Listener
    {
    public:
        virtual bool bytesArrived(const char *bytes, qsizetype count) = 0;
        // wake() was called.
        virtual bool woken() { return true; }
        // The line has been quiet for the idle time given to start().
        virtual void idle() {}

    protected:
        ~Listener() = default;
    };

    PtyLine();
    // Stops the reader, then closes the line.
    ~PtyLine();
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // Opens a pseudo-terminal whose line starts with these settings, as a
    // port has them before a sender sets it. False with errorString() set
    // when the system has none to give.
    bool open(const termios &startSettings);
    QString errorString() const { return m_error; }
    // The device a sender opens, e.g. /dev/pts/4; empty until open()
    // succeeds.
    QString slavePath() const { return m_slavePath; }

    // Starts reading until stop(). With idleMs above 0 the listener hears
    // of every quiet spell of that length.
    void start(Listener &listener, int idleMs = 0);
    // Ends the reading and waits for the reader. Whatever the listener
    // waits for on the reader thread must be released first.
    void stop();
    // Makes the reader call the listener's woken(). Any thread.
    void wake();

    // Writes a byte to the sender without waiting; false when it was
    // dropped. On the reader thread.
    bool answer(quint8 byte);
    // The settings the sender has given the line, as the master sees them.
    bool settings(termios &line) const;
    // Whether a sender holds the port exclusively: serial libraries mark it
    // so while it is open.
    bool heldExclusively() const;
    // Clears that mark. A sender that died with the port open leaves it,
    // and as this end keeps the slave open it would never go: every later
    // sender would find the port busy.
    void clearExclusive();
    // Closes both ends, as an unplugged adapter: the sender's writes fail
    // from now on. On the reader thread, from a listener call that then
    // returns false.
    void hangUp();

    // What is wrong with these settings for the panel, which needs 38400
    // baud, 8 data bits, no parity, 1 stop bit and a raw line both ways;
    // empty when nothing is.
    static QString settingsFault(const termios &line);

private:
    void run();
    void signalReader(char reason);

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    QString m_error;
    Listener *m_listener = nullptr;
    int m_idleMs = 0;
    std::thread m_reader;
};

} // namespace varlo
