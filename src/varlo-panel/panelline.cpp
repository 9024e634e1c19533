// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/panelline.h"

namespace varlo::panel {

namespace {
// With the line quiet this long, no sender is in the middle of anything.
constexpr int kIdleMs = 1000;
} // namespace

PanelLine::~PanelLine()
{
    // A reader waiting for the program to catch up is let go first.
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_taken.notify_all();
    m_line.stop();
}

bool PanelLine::open()
{
    termios raw{};
    ::cfmakeraw(&raw);
    if (!m_line.open(raw))
        return false;
    // The answer to the first probe, ahead of it.
    answerProbe();
    return true;
}

void PanelLine::start(EventsWaiting eventsWaiting)
{
    m_eventsWaiting = std::move(eventsWaiting);
    m_line.start(*this, kIdleMs);
}

std::vector<FrameDecoder::Event> PanelLine::takeEvents()
{
    std::vector<FrameDecoder::Event> events;
    {
        std::lock_guard lock(m_mutex);
        events.swap(m_waiting);
    }
    m_taken.notify_all();
    return events;
}

bool PanelLine::bytesArrived(const char *bytes, qsizetype count)
{
    std::vector<FrameDecoder::Event> events;
    for (qsizetype i = 0; i < count; ++i) {
        if (auto event = m_decoder.feed(static_cast<quint8>(bytes[i]))) {
            // Queue the answer for the next probe before anything else;
            // this probe found the previous one waiting.
            if (event->kind == FrameDecoder::Kind::Probe)
                answerProbe();
            events.push_back(*event);
        }
    }
    return events.empty() || handOver(events);
}

void PanelLine::idle()
{
    // A sender that died with the port open would leave it busy for good.
    m_line.clearExclusive();
}

bool PanelLine::handOver(std::vector<FrameDecoder::Event> &events)
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

void PanelLine::answerProbe()
{
    // Never waits: a full line drops the answer.
    m_line.answer(frame::kProbe);
}

} // namespace varlo::panel
