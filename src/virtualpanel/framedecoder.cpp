// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualpanel/framedecoder.h"

namespace varlo {

namespace {
constexpr quint8 kCodedStart = lineCode(frame::kStart);
} // namespace

std::optional<FrameDecoder::Event> FrameDecoder::feed(quint8 rawByte)
{
    const qint64 offset = m_offset++;
    const quint8 decoded = lineDecode(rawByte);

    switch (m_state) {
    case State::Idle:
        return idle(rawByte, offset);
    case State::Command:
        if (decoded == frame::kWriteCommand) {
            m_state = State::AddressHigh;
        } else if (decoded == frame::kEndCommand) {
            m_state = State::EndArgument;
        } else {
            return malformed(Fault::UnknownCommand, decoded, rawByte, offset);
        }
        return std::nullopt;
    case State::AddressHigh:
        m_frame.address = static_cast<quint16>(decoded << 8);
        m_state = State::AddressLow;
        return std::nullopt;
    case State::AddressLow:
        m_frame.address |= decoded;
        m_dataCount = 0;
        m_state = State::Data;
        return std::nullopt;
    case State::Data:
        m_frame.data[m_dataCount++] = decoded;
        if (m_dataCount == frame::kDataSize)
            m_state = State::Terminator;
        return std::nullopt;
    case State::Terminator:
        if (decoded != frame::kTerminator)
            return malformed(Fault::MissingTerminator, decoded, rawByte, offset);
        m_state = State::Idle;
        m_frame.kind = Kind::WriteFrame;
        return m_frame;
    case State::EndArgument:
        m_state = State::Idle;
        m_frame.kind = Kind::EndFrame;
        m_frame.argument = decoded;
        return m_frame;
    }
    return std::nullopt;
}

std::vector<FrameDecoder::Event> FrameDecoder::feed(QByteArrayView raw)
{
    std::vector<Event> events;
    for (const char byte : raw) {
        if (auto event = feed(static_cast<quint8>(byte)))
            events.push_back(*event);
    }
    return events;
}

std::optional<FrameDecoder::Event> FrameDecoder::idle(quint8 rawByte, qint64 offset)
{
    if (rawByte == frame::kProbe) {
        m_resyncing = false;
        Event probe;
        probe.kind = Kind::Probe;
        probe.offset = offset;
        return probe;
    }
    if (rawByte == kCodedStart) {
        m_resyncing = false;
        m_frame = Event();
        m_frame.offset = offset;
        m_state = State::Command;
        return std::nullopt;
    }
    if (m_resyncing)
        return std::nullopt;
    m_resyncing = true;
    Event stray;
    stray.fault = Fault::StrayByte;
    stray.offset = offset;
    stray.offending = lineDecode(rawByte);
    return stray;
}

std::optional<FrameDecoder::Event> FrameDecoder::malformed(Fault fault, quint8 decoded, quint8 rawByte, qint64 offset)
{
    Event event = m_frame;
    event.kind = Kind::Malformed;
    event.fault = fault;
    event.offending = decoded;
    m_state = State::Idle;
    m_resyncing = true;
    // The byte that broke the frame may be the start of the next one (a
    // frame cut short); anything else is skipped until a frame start.
    if (rawByte == kCodedStart)
        idle(rawByte, offset);
    return event;
}

const char *FrameDecoder::faultName(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::StrayByte:
        return "stray byte between frames";
    case Fault::UnknownCommand:
        return "unknown command";
    case Fault::MissingTerminator:
        return "missing terminator";
    }
    return "";
}

} // namespace varlo
