// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varlo {

// Part of the input, for an error message: at most a few words, every
// character that can't be seen (a control character, a line break) as
// \xNN or \uNNNN, between single quotes, so that a message never carries
// a file's control characters to the terminal.
QString quotedExcerpt(const QString &text);

} // namespace varlo
