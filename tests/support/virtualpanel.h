// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/framedecoder.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace varlo::test {

// The panel's end of a serial line, for tests: the master side of a
// pseudo-terminal whose slave a SerialPort opens. A thread keeps reading (a
// pty whose master is not read blocks its writer once the kernel buffer is
// full), answers the raw probe, decodes the frames and records every byte
// with the time it arrived.
//
// The answer to the probe is queued ahead: one answer byte always waits in
// the line, and each probe received queues the next. A real panel answers
// within microseconds, but a test thread on a busy machine can easily miss
// the 10 ms probe time-out; queued ahead, the answer is there in time
// however late the reader runs. Tests check that the probe itself arrived.
class VirtualPanel
{
public:
    enum class Answer {
        Echo,      // 'T' for 'T', as the panel does
        WrongByte, // some other byte
        Silent,    // nothing: a port without a panel
    };
    static constexpr quint8 kWrongAnswer = 'X';

    explicit VirtualPanel(Answer answer = Answer::Echo);
    ~VirtualPanel();
    VirtualPanel(const VirtualPanel &) = delete;
    VirtualPanel &operator=(const VirtualPanel &) = delete;

    bool isValid() const { return !m_slavePath.isEmpty(); }
    // The device a SerialPort opens, e.g. /dev/pts/3.
    QString slavePath() const { return m_slavePath; }

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

private:
    void run();
    void wake(char reason);
    void take(const char *bytes, qint64 count);
    void armAnswer();
    void vanish();

    Answer m_answer;
    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    QElapsedTimer m_clock;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QByteArray m_received;
    std::vector<qint64> m_arrivalNs;
    std::vector<FrameDecoder::Event> m_events;
    FrameDecoder m_decoder;
    qint64 m_vanishAfter = std::numeric_limits<qint64>::max();
    bool m_vanished = false;

    std::thread m_reader;
};

} // namespace varlo::test
