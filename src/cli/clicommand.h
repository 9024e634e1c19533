#pragma once

#include <QStringList>

namespace varlo::cli {

// What varlo-cli returns.
enum ExitStatus {
    ExitDone = 0,
    ExitLinkFailed = 1, // the panel link did not open, or a write failed
    ExitUsage = 2,      // wrong usage; the message says what
};

// One subcommand. run() gets the arguments after the program name, the
// command's name first.
struct Command {
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments);
};

} // namespace varlo::cli
