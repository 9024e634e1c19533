// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varlo {

// What varlo, varlo-cli and varlo-panel return; each program's manual page
// says which of these it uses.
enum ExitStatus {
    ExitDone = 0,
    // The work could not be done: varlo found no display, varlo-cli's link
    // to the panel failed, varlo-panel could not start (or, with --once,
    // write its files); varlo and varlo-panel also when their --help or
    // --version could not be written.
    ExitFailed = 1,
    ExitUsage = 2, // wrong usage; the message says what
    ExitFileFailed = 3, // varlo-cli: a message or font file could not be read or written
    ExitOutputFailed = 4, // varlo-cli: standard output or error could not be written
    ExitSignalBase = 128, // varlo-cli: plus the number of the signal that stopped it
};

} // namespace varlo
