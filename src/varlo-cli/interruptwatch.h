// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varlo::cli {

// While it lives, Ctrl-C (SIGINT), SIGTERM and SIGHUP ask the upload to stop
// instead of ending the program where it stands: the upload releases the
// port, so its lock file goes and the line gets its settings back, the
// progress line is ended, and the program then exits with 128 plus the
// signal's number (130 for Ctrl-C, 143 for SIGTERM). A second signal ends
// the program at once, as if nothing were watching.
class InterruptWatch
{
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    // The first signal that came, or 0.
    static int signalNumber();
};

} // namespace varlo::cli
