// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace varlo {

// How many characters of someone's input a message quotes at most.
inline constexpr qsizetype kExcerptCharacters = 40;

// A piece of input made safe to quote in a message: control and format
// characters are shown escaped (\0, \t, \n, \r, \x1b, \u202e ...) so that
// they can neither steer the terminal nor hide, and anything past
// maxCharacters is cut and marked with "…", so that a message never echoes
// a whole line, file or payload. A backslash stays as it is.
QString inputExcerpt(QStringView text, qsizetype maxCharacters = kExcerptCharacters);
// The same for bytes: UTF-8 is shown as its characters, and a byte that is
// no part of UTF-8 as \xNN.
QString inputExcerpt(QByteArrayView bytes, qsizetype maxCharacters = kExcerptCharacters);

} // namespace varlo
