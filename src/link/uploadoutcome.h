// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portchoice.h"

#include <QString>

#include <optional>
#include <vector>

namespace varlo {

// How an upload ended. The programs decide what to say about it.
enum class UploadResult {
    Done,
    CantFind, // discovery: no port answered the probe
    CantOpen, // the chosen port did not open, or its line could not be set
    WriteError, // the line failed part-way, the final drain included
    Stopped, // an upload stop was requested (UploadStop)
};

// One port that discovery tried and that was not the panel.
struct TriedPort
{
    enum class Found {
        Missing, // no such device
        Busy, // another program holds it
        NoAnswer, // it opened, but the probe got no answer, or a wrong one
        Refused, // it exists but did not open: no rights, not a serial line
    };

    PortChoice port;
    QString device;
    Found found = Found::Missing;
    // Busy: the program holding the port's lock file, as "minicom (process
    // 1234)", when the link could read it.
    QString holder;
    // Busy and Refused: the operating system's reason.
    QString reason;
};

struct UploadOutcome
{
    UploadResult result = UploadResult::Done;
    // The operating system's reason, naming the port and its device as
    // "COM4 (/dev/ttyUSB0): Permission denied"; empty when there is none
    // (after discovery: the first port that refused us, if one did).
    QString reason;
    // The port that opened, also when its line could not be set afterwards.
    std::optional<PortChoice> port;
    // The plan had begun: the progress was shown and goes back to its start.
    bool begun = false;
    // Discovery: every port it tried before it found the panel or gave up,
    // COM15 first.
    std::vector<TriedPort> tried;

    bool done() const { return result == UploadResult::Done; }
};

} // namespace varlo
