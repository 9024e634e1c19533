// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <optional>

namespace varlo {

// How a slot's bytes look on screen. The panel draws each byte with its own
// font, whose codes 128 to 255 follow code page 850 with a few changes, so a
// slot edit box shows every byte as the character the panel draws at that
// code and turns typed characters back into those bytes. The map is one to
// one: every byte has its own character, so text shown and bytes kept always
// round-trip exactly, and a QString holds one UTF-16 unit per byte (caret and
// selection positions are byte positions).
//
// Where the panel's font draws something Unicode has no single character for,
// or repeats another code's glyph, the nearest distinct character stands in:
//   0x00..0x1F, 0x7F  control pictures (U+2400..U+241F, U+2421); the panel has
//                     icons and pictures there, reached through ~ escapes
//   155, 157          ȼ and Ұ: the panel draws ¢ and ¥ here, the same glyphs
//                     as at 189 and 190, which keep ¢ and ¥ themselves (Ɏ,
//                     which stood for 157 before, typed still gives 157)
//   213               і (a dotted i of its own): the panel draws a dotted i,
//                     and plain i is already byte 0x69
//   240               ‐ (U+2010 HYPHEN): the code page's soft hyphen, which
//                     the panel draws as a short dash but a text box would
//                     draw as nothing; a typed soft hyphen still gives 240
//   line drawing      the code page's box-drawing and block characters; the
//                     panel draws them as plain strokes
class PanelCharMap
{
public:
    static QChar toChar(quint8 byte);
    // The byte the panel shows as this character, or nothing when the panel
    // cannot draw it.
    static std::optional<quint8> toByte(QChar ch);

    static QString toDisplay(const QByteArray &bytes);
    // Characters the panel cannot draw become '?'; callers that must not lose
    // anything check with firstUndrawable() first.
    static QByteArray toBytes(const QString &text);
    // Index of the first character without a byte, or -1.
    static qsizetype firstUndrawable(const QString &text);
};

} // namespace varlo
