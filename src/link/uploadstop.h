// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varlo {

// A request that uploads stop where they safely can: before the next byte,
// during a pause, while waiting for the driver, or between two ports of
// discovery. The upload then releases the port (its lock file goes, its line
// settings come back) and returns false without a message. varlo-cli makes
// the request from its handler for Ctrl-C; the window never does. It is one
// for the whole process, as signals are.
class UploadStop
{
public:
    // Safe to call from a signal handler.
    static void request() noexcept;
    static bool requested() noexcept;
    // For tests that make the request: back to none.
    static void clear() noexcept;
};

} // namespace varlo
