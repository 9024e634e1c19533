// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

#include <QHash>

#include <array>
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
//   named codes       U+E000 plus the code (a private-use character, which
//                     no text means): the box-drawing, block and shade places
//                     of the code page, which the panel draws as plain strokes
//                     (a bottom line, a bar at the left edge, a short dash, a
//                     small cross) or leaves empty. Their glyph files label
//                     them with names; █, ░ or ─ in a text are refused rather
//                     than sent as a line that is no block. 179 keeps │, the
//                     vertical line it draws.
// The map is the meaning a font gives its codes. The built-in one belongs to
// the panel's built-in fonts; a font of one's own can bring its own table of
// 256 characters, as long as no two codes share a character.
class PanelCharMap
{
public:
    using Table = std::array<char16_t, 256>;
    // A code whose glyph is no character (its label is a name) shows as
    // this plus the code, unless it has a control picture.
    static constexpr char16_t kNamedStandIn = 0xE000;

    // The map of the panel's built-in fonts.
    PanelCharMap();
    static const PanelCharMap &builtIn();
    static Table builtInTable();
    // A map from a table of one character per code, or nothing when two codes
    // share a character (the text shown could then not give the bytes back)
    // or a code has a half of a surrogate pair.
    static std::optional<PanelCharMap> fromTable(const Table &table);

    QChar toChar(quint8 byte) const;
    // The byte the panel shows as this character, or nothing when the panel
    // cannot draw it.
    std::optional<quint8> toByte(QChar ch) const;

    QString toDisplay(const QByteArray &bytes) const;
    // Characters the panel cannot draw become '?'; callers that must not lose
    // anything check with firstUndrawable() first.
    QByteArray toBytes(const QString &text) const;
    // Index of the first character without a byte, or -1.
    qsizetype firstUndrawable(const QString &text) const;

    // A character of a text that the panel can't draw.
    struct Undrawable
    {
        char32_t codePoint = 0;
        // 1 for the first character; counts characters, not UTF-16 units.
        qsizetype column = 0;

        QString character() const;
        // The character and its code point, as "ø" (U+00F8).
        QString describe() const;
    };
    struct Conversion
    {
        QByteArray bytes;
        std::optional<Undrawable> undrawable;
    };
    // Text from outside (a script's argument, the clipboard) in the panel's
    // bytes: the characters of the map first, so that whatever toDisplay()
    // shows comes back unchanged; then symbols with a picture on the panel as
    // their escape (♥ as ~H); then typographic characters the panel lacks as
    // their plain look-alike (“ as "); variation selectors, which only ask
    // for a colour or text look, are dropped. The first character left over
    // stops the conversion: it is reported, and bytes are then incomplete.
    Conversion fromText(const QString &text) const;

private:
    explicit PanelCharMap(const Table &table);

    Table m_chars;
    QHash<char16_t, quint8> m_bytes;
};

} // namespace varlo
