// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/inputexcerpt.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace varlo::fuzz {

// Stops the run on a broken promise. libFuzzer treats the abort as a crash
// and saves the input that caused it under the target's artifact prefix.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// The longest message a reader may give about any input: its own words
// (a few hundred characters at most) and one excerpt of the input of at
// most quotedCharacters characters, each escaped as \U0010ffff at worst,
// plus the "…" that marks a cut. A message that echoes the input whole
// grows with the input and soon passes this.
constexpr qsizetype maxMessageCharacters(qsizetype quotedCharacters)
{
    return 400 + 10 * quotedCharacters + 1;
}

// A message about someone's input: not empty, no longer than the limit
// above, and without a control or format character that the excerpt would
// have escaped (a raw ESC or a right-to-left override steers the terminal
// it is printed on, a line break forges a line).
inline void requireMessage(const QString &message, const char *what, qsizetype quotedCharacters = kExcerptCharacters)
{
    if (message.isEmpty() || message.size() > maxMessageCharacters(quotedCharacters)) {
        std::fprintf(stderr, "broken promise: %s: a message of %lld characters\n", what,
                     static_cast<long long>(message.size()));
        std::abort();
    }
    for (qsizetype i = 0; i < message.size(); ++i) {
        char32_t code = message[i].unicode();
        if (message[i].isHighSurrogate() && i + 1 < message.size() && message[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(message[i], message[i + 1]);
            ++i;
        }
        const QChar::Category category = QChar::category(code);
        if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Other_Surrogate
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph) {
            std::fprintf(stderr, "broken promise: %s: U+%04X unescaped in the message\n", what, unsigned(code));
            std::abort();
        }
    }
}

} // namespace varlo::fuzz
