// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary line bytes to the panel-side frame decoder. It must never
// crash or read out of bounds, must not care how the bytes are split into
// calls, and must report only what the bytes hold.

#include "virtualpanel/framedecoder.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;

namespace {

bool sameEvent(const FrameDecoder::Event &a, const FrameDecoder::Event &b)
{
    return a.kind == b.kind && a.fault == b.fault && a.offset == b.offset && a.address == b.address && a.data == b.data
        && a.argument == b.argument && a.offending == b.offending;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    FrameDecoder whole;
    const std::vector<FrameDecoder::Event> events = whole.feed(bytes);
    require(whole.offset() == qsizetype(size), "offset counts every byte");

    // Byte by byte gives the same events.
    FrameDecoder single;
    size_t next = 0;
    for (size_t i = 0; i < size; ++i) {
        if (const auto event = single.feed(data[i])) {
            require(next < events.size() && sameEvent(*event, events[next]), "same events byte by byte");
            ++next;
        }
    }
    require(next == events.size(), "same number of events byte by byte");

    for (const FrameDecoder::Event &event : events) {
        require(event.offset >= 0 && event.offset < qsizetype(size), "event inside the input");
        switch (event.kind) {
        case FrameDecoder::Kind::Probe:
            require(data[event.offset] == frame::kProbe, "a probe is a raw T");
            break;
        case FrameDecoder::Kind::WriteFrame:
            require(event.offset + frame::kWriteFrameSize <= qsizetype(size), "a write frame is 69 bytes");
            require(lineDecode(data[event.offset + frame::kWriteFrameSize - 1]) == frame::kTerminator,
                    "a write frame ends in its terminator");
            break;
        case FrameDecoder::Kind::EndFrame:
            require(event.offset + frame::kEndFrameSize <= qsizetype(size), "an end frame is 3 bytes");
            break;
        case FrameDecoder::Kind::Malformed:
            require(event.fault != FrameDecoder::Fault::None, "a malformed event names its fault");
            break;
        }
    }

    // Whatever came before, a clean end frame is understood once the decoder
    // is between frames.
    if (!whole.inFrame()) {
        const auto tail = whole.feed(QByteArrayView("\x82\x90\xA0"));
        require(!tail.empty() && tail.back().kind == FrameDecoder::Kind::EndFrame, "end frame after anything");
    }
    return 0;
}
