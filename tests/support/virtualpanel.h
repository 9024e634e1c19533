// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "virtualpanel/framedecoder.h"
#include "virtualpanel/panelmemory.h"
#include "virtualpanel/ptyline.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <limits>
#include <mutex>
#include <vector>

#include <termios.h>

namespace varlo::test {

// The panel's end of a serial line, for tests: a PtyLine whose slave a
// SerialPort opens. Its reader answers the raw probe, decodes the frames and
// records every byte with the time it arrived.
//
// It sees the line as a real panel does:
// - It answers a probe only once it has received it, as the panel does. A
//   sender that reads before it writes, or does not wait, finds nothing.
// - The line starts at the wrong settings (19200 baud, 2 stop bits, output
//   processing that turns 0x0A into 0x0D 0x0A, a canonical input mode), and
//   each time bytes arrive it checks what the sender made of it: 38400
//   baud, 8 data bits, no parity, 1 stop bit, raw both ways. On a line set
//   otherwise a panel would understand nothing: bytes that arrive so are
//   written down in lineErrors(), and a probe among them is not answered.
//   Every test that sends checks that lineErrors() is empty.
//
// A sender's close puts back the settings it found, and bytes it wrote
// before may arrive only after that. So the starting settings themselves are
// not held against bytes once their sender has let go of the port (serial
// programs hold it exclusively while it is open). A test that starts a
// second sender on the same panel waits until the first one's bytes have
// arrived.
//
// The sender waits for the answer only for its probe time-out, and on a busy
// machine this reader is not sure to run within the 10 ms a program waits;
// VirtualPorts widens the time-out for the programs under test.
class VirtualPanel : private PtyLine::Listener
{
public:
    enum class Answer {
        Echo, // 'T' for 'T', as the panel does
        WrongByte, // some other byte
        Silent, // nothing: a port without a panel
    };
    static constexpr quint8 kWrongAnswer = 'X';

    explicit VirtualPanel(Answer answer = Answer::Echo);
    ~VirtualPanel();
    VirtualPanel(const VirtualPanel &) = delete;
    VirtualPanel &operator=(const VirtualPanel &) = delete;

    bool isValid() const { return !m_line.slavePath().isEmpty(); }
    // The device a SerialPort opens, e.g. /dev/pts/3.
    QString slavePath() const { return m_line.slavePath(); }

    // Close the master, as an unplugged adapter, once this many bytes have
    // arrived. Set it before the upload starts.
    void vanishAfter(qint64 byteCount);
    // Close it now, whatever has arrived, and wait until it is closed.
    bool vanishNow(int timeoutMs);
    bool waitUntilVanished(int timeoutMs);

    QByteArray received() const;
    qint64 receivedCount() const;
    // Waits until at least count bytes have arrived; returns how many have.
    qint64 waitForBytes(qint64 count, int timeoutMs) const;
    // Per byte received: nanoseconds since the panel was made.
    std::vector<qint64> arrivalNs() const;
    std::vector<FrameDecoder::Event> events() const;
    int probeCount() const;
    // Bytes that arrived on a line not set as the panel needs it, and how
    // it was set; empty when every byte came as it should.
    QStringList lineErrors() const;

private:
    bool bytesArrived(const char *bytes, qsizetype count) override;
    bool woken() override;
    // What is wrong with the line now, for bytes that have just arrived.
    QString checkLine() const;
    void take(const char *bytes, qint64 count, const QString &lineFault);
    void answer();
    void vanish();

    Answer m_answer;
    PtyLine m_line;
    QElapsedTimer m_clock;
    termios m_startLine{}; // as the line was made, deliberately wrong

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QByteArray m_received;
    std::vector<qint64> m_arrivalNs;
    std::vector<FrameDecoder::Event> m_events;
    QStringList m_lineErrors;
    FrameDecoder m_decoder;
    qint64 m_vanishAfter = std::numeric_limits<qint64>::max();
    bool m_vanished = false;
};

// What reached a panel, read as the panel's memory.
PanelMemory memoryOf(const VirtualPanel &panel);
// The same from events taken once, so that what is said of the events and
// of the memory holds for the same moment.
PanelMemory memoryOf(const std::vector<FrameDecoder::Event> &events);

} // namespace varlo::test
