// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/messagefile.h"

namespace varlo::cli {

// Message files for the commands. Both print what went wrong on standard
// error: the system's messages as they stand, one a line, then the operating
// system's reason as "PATH: reason" when there is one.

// Reads the file's texts and speed codes into the set; its run flags stay.
MessageFileReadResult readMessageFileReporting(const QString &path, MessageSet &set);

// Writes the set to the file. Returns ExitDone or ExitFileFailed.
int writeMessageFileReporting(const QString &path, const MessageSet &set);

} // namespace varlo::cli
