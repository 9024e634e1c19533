// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "virtualpanel/framedecoder.h"
#include "virtualpanel/ptyline.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace varlo::panel {

// varlo-panel's end of the serial line. The line's reader thread answers the
// probe and decodes the frames, so that the answer goes out whatever the
// rest of the program is doing (a slow terminal can hold up a write to
// standard output for longer than a sender waits).
//
// The answer is kept one ahead. A sender waits only 10 ms for it, and on a
// busy machine neither this reader nor the sender itself is sure to run
// within 10 ms of the probe; a real panel answers in microseconds. So one
// 'T' always waits in the line for the next probe, and each probe that
// arrives queues one more: a sender finds its answer at once, however late
// either side runs. A sender that empties its input when it opens the port
// still gets the answer written for its own probe, only as late as this
// reader runs. Varlo's programs read the line only after a probe, so the
// waiting byte is never taken for anything else.
//
// The decoded events wait for the program in a queue of bounded size; while
// the program is behind by that much, the reader stops reading, and the
// sender's writes wait in the line as they would for a busy panel.
class PanelLine : private PtyLine::Listener
{
public:
    // Called on the reader thread when events are waiting for takeEvents()
    // after there were none.
    using EventsWaiting = std::function<void()>;

    // The program is behind when this many events wait for it.
    static constexpr size_t kMaxWaitingEvents = 4096;

    PanelLine() = default;
    ~PanelLine();
    PanelLine(const PanelLine &) = delete;
    PanelLine &operator=(const PanelLine &) = delete;

    // Opens the pseudo-terminal in raw mode. False with errorString() set
    // when the system has none to give.
    bool open();
    QString errorString() const { return m_line.errorString(); }
    // The device a sender opens, e.g. /dev/pts/4.
    QString slavePath() const { return m_line.slavePath(); }

    // Starts reading until the line is destroyed.
    void start(EventsWaiting eventsWaiting);
    // The events decoded so far and not yet taken, in order. Any thread.
    std::vector<FrameDecoder::Event> takeEvents();

private:
    bool bytesArrived(const char *bytes, qsizetype count) override;
    void idle() override;
    void answerProbe();
    // Queues the events, waiting while the program is behind. False when
    // the line is being destroyed.
    bool handOver(std::vector<FrameDecoder::Event> &events);

    PtyLine m_line;
    EventsWaiting m_eventsWaiting;
    FrameDecoder m_decoder;

    std::mutex m_mutex;
    std::condition_variable m_taken;
    std::vector<FrameDecoder::Event> m_waiting;
    bool m_stopping = false;
};

} // namespace varlo::panel
