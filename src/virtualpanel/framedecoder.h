// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"

#include <QByteArrayView>

#include <array>
#include <optional>
#include <vector>

namespace varlo {

// The panel's side of the line: takes the raw bytes as they arrive and tells
// what they were. Between frames a raw 'T' is the discovery probe; everything
// else is line-coded frames. Any byte sequence is safe to feed: malformed
// input is reported and the decoder waits for the next frame start.
class FrameDecoder
{
public:
    enum class Kind {
        Probe, // a raw 'T' between frames
        WriteFrame, // address and 64 data bytes, terminator checked
        EndFrame, // argument
        Malformed, // see fault
    };

    enum class Fault {
        None,
        StrayByte, // between frames: neither a probe nor a frame start
        UnknownCommand, // a frame start followed by a command other than '1' or '3'
        MissingTerminator, // a write frame whose 69th byte is not 0xFF
    };

    struct Event
    {
        Kind kind = Kind::Malformed;
        Fault fault = Fault::None;
        qint64 offset = 0; // raw stream offset of the first byte it covers
        quint16 address = 0; // write frames, and frames missing their terminator
        std::array<quint8, frame::kDataSize> data{};
        quint8 argument = 0; // end frames
        quint8 offending = 0; // Malformed: the decoded byte that broke the frame
    };

    // One raw byte in; an event when it completes one.
    std::optional<Event> feed(quint8 rawByte);
    // Many raw bytes in; every event they complete.
    std::vector<Event> feed(QByteArrayView raw);

    // True inside a frame: a raw 'T' now is data, not a probe.
    bool inFrame() const { return m_state != State::Idle; }
    // The raw bytes fed so far.
    qint64 offset() const { return m_offset; }
    void reset() { *this = FrameDecoder(); }

    static const char *faultName(Fault fault);

private:
    enum class State { Idle, Command, AddressHigh, AddressLow, Data, Terminator, EndArgument };

    std::optional<Event> idle(quint8 rawByte, qint64 offset);
    std::optional<Event> malformed(Fault fault, quint8 decoded, quint8 rawByte, qint64 offset);

    State m_state = State::Idle;
    // After malformed input: skip quietly until a frame start or a probe.
    bool m_resyncing = false;
    Event m_frame;
    int m_dataCount = 0;
    qint64 m_offset = 0;
};

} // namespace varlo
