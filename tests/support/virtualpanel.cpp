// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace varlo::test {

namespace {
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
} // namespace

VirtualPanel::VirtualPanel(Answer answer)
    : m_answer(answer)
{
    m_clock.start();
    if (!m_line.open(wrongLine()))
        return;
    // As the kernel keeps it: what a sender's close puts back.
    m_line.settings(m_startLine);
    m_line.start(*this);
}

VirtualPanel::~VirtualPanel()
{
    m_line.stop();
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
    // The reader closes the line itself, so that it never polls a closed
    // descriptor.
    m_line.wake();
    return waitUntilVanished(timeoutMs);
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

int VirtualPanel::probeCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_events.begin(), m_events.end(), [](const FrameDecoder::Event &e) {
        return e.kind == FrameDecoder::Kind::Probe;
    }));
}

bool VirtualPanel::bytesArrived(const char *bytes, qsizetype count)
{
    take(bytes, count, checkLine());
    std::lock_guard lock(m_mutex);
    return !m_vanished;
}

bool VirtualPanel::woken()
{
    // Only vanishNow() wakes the reader.
    std::lock_guard lock(m_mutex);
    vanish();
    m_changed.notify_all();
    return false;
}

QString VirtualPanel::checkLine() const
{
    termios line{};
    if (!m_line.settings(line))
        return {};
    const QString fault = PtyLine::settingsFault(line);
    if (fault.isEmpty() || !sameLine(line, m_startLine))
        return fault;
    // The settings the line started with: those a sender's close puts
    // back, after bytes it may have sent on a line set right. A sender
    // that still holds the port is closing, or never set the line.
    const QDeadlineTimer closing(kClosingMs);
    while (m_line.heldExclusively()) {
        if (closing.hasExpired())
            return fault;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {};
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
    m_line.answer(m_answer == Answer::Echo ? frame::kProbe : kWrongAnswer);
}

void VirtualPanel::vanish()
{
    m_line.hangUp();
    m_vanished = true;
}

PanelMemory memoryOf(const VirtualPanel &panel)
{
    return memoryOf(panel.events());
}

PanelMemory memoryOf(const std::vector<FrameDecoder::Event> &events)
{
    PanelMemory memory;
    for (const FrameDecoder::Event &event : events)
        memory.apply(event);
    return memory;
}

} // namespace varlo::test
