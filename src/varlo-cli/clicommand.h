// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "console/exitstatus.h"

#include <QStringList>

namespace varlo::cli {

// The exit statuses as --help words them.
inline constexpr char kExitStatusText[] = "Exit status: 0 done, 1 the panel link failed (publish: not every panel\n"
                                          "confirmed, or the broker could not be reached), 2 wrong usage,\n"
                                          "3 a message or font file could not be read (or is damaged) or written,\n"
                                          "  or a text is too long for its slot,\n"
                                          "4 the output could not be written (a full disk, for example),\n"
                                          "130 stopped by Ctrl-C (143 by SIGTERM, 129 by SIGHUP), the port released.\n";

// One subcommand. run() gets the arguments after the program name, the
// command's name first.
struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const QStringList &arguments);
};

} // namespace varlo::cli
