// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/panelcharmap.h"

#include <QByteArray>
#include <QString>

#include <variant>

namespace varlo {

// Text typed by a person (a command-line argument, a line of a schedule
// file) as a slot's bytes. The text is UTF-8, as Qt 6 takes the local 8-bit
// encoding on every Unix system, the C and POSIX locales included; each
// character becomes the byte the panel draws as it, a picture its escape, a
// typographic character its plain look-alike (PanelCharMap::fromText).
// Escapes are plain ASCII and pass as they are.

// Why a text can't become a slot's bytes: the column (1 for its first
// character) and what is wrong there.
struct TextError
{
    qsizetype column = 0;
    QString message;
};
using TextResult = std::variant<QByteArray, TextError>;
using DecodedText = std::variant<QString, TextError>;

// The bytes as UTF-8 text; a byte that is not UTF-8 is refused with its
// column, instead of turning silently into U+FFFD.
DecodedText textFromUtf8(const QByteArray &bytes);

// The text as the slot's bytes through the map: the built-in fonts' or a
// font file's. The column of an error counts characters, not UTF-16 units.
TextResult markupFromText(const QString &text, const PanelCharMap &map = PanelCharMap::builtIn());

} // namespace varlo
