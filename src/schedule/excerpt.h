// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varlo {

// Part of the input, for an error message: an inputExcerpt of at most a
// few words, between single quotes.
QString quotedExcerpt(const QString &text);

} // namespace varlo
