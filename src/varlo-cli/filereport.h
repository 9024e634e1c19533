// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"
#include "charset/fontinuse.h"
#include "files/messagefile.h"

#include <optional>

namespace varlo::cli {

// Message and font files for the commands. Both print what went wrong on standard
// error: the system's messages as they stand, one a line, then the operating
// system's reason as "PATH: reason" when there is one.

// Reads the file's texts and speed codes into the set; its run flags stay.
MessageFileReadResult readMessageFileReporting(const QString &path, MessageSet &set);

// Writes the set to the file. Returns ExitDone or ExitFileFailed.
int writeMessageFileReporting(const QString &path, const MessageSet &set);

// Reads a .vlf font file: nothing after printing "PATH:LINE: error: ..."
// when it can't be used; its warnings go to standard error as
// "PATH: warning: ..." and the font is used all the same.
std::optional<FontFile> readFontFileReporting(const QString &path);

// The font in use, as the window chose it. A file that can't be used gives
// the built-in font, after "varlo-cli: font in use: built-in, as PATH can't
// be used (reason)" on standard error; its warnings are not repeated.
FontInUse fontInUseReporting();

// Saves the font. Returns ExitDone or ExitFileFailed.
int saveFontFileReporting(const QString &path, const FontFile &font);

} // namespace varlo::cli
