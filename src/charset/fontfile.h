// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"
#include "charset/panelcharmap.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace varlo {

// A character generator of the user's own: both faces and what each code
// means, as a .vlf font file holds them. The file is text, drawn as the
// built-in glyph files are:
//
//   // comment lines at the top are kept
//   face normal
//
//   [065] A          the code in three digits, then its label
//   .###.....        7 rows of 8 columns, '#' lit, '.' dark
//   ...
//   face bold
//   ...              again the 256 glyphs, codes 0 to 255 in order
//
// A label is what the code means: one character (written U+00A0 when it is
// a space or another invisible character) or a name in brackets, such as
// (heart), for a code that stands for no character. The slot edit boxes show
// each code as its label in the normal face.
class FontFile
{
public:
    static constexpr int kLabelCount = FontTable::kFontCount * FontTable::kGlyphCount;

    FontFile(); // every glyph dark, every label "(empty)"
    // The fonts built into the program, with the labels of their glyph files.
    static FontFile builtIn();

    static constexpr int index(FontTable::Font font, quint8 code) { return int(font) * FontTable::kGlyphCount + code; }

    // The character generator in panel order, FontTable::kImageBytes long.
    const QByteArray &image() const { return m_image; }
    FontTable::Image bytes() const;
    FontTable::Glyph glyph(FontTable::Font font, quint8 code) const { return FontTable::glyph(bytes(), font, code); }
    void setGlyph(FontTable::Font font, quint8 code, FontTable::Glyph columns);

    // One character, or "(name)".
    const QString &label(FontTable::Font font, quint8 code) const { return m_labels[size_t(index(font, code))]; }
    // Takes a label as the file writes it: one character, U+XXXX or "(name)".
    // Returns the reason when it is not one.
    QString setLabel(FontTable::Font font, quint8 code, const QString &written);

    // The character of each code as the slot edit boxes show it, from the
    // normal face's labels: a character label is itself; a code with a name
    // shows as its control picture (codes 0 to 31 and 127, as the built-in
    // map has them) or as U+E000 plus the code, which no label may be.
    PanelCharMap::Table charTable() const;
    // The map of that table; the built-in one should two codes share a
    // character (which a font file can't hold).
    PanelCharMap charMap() const;

    // The comment lines above "face normal", each with its "//".
    const QStringList &comment() const { return m_comment; }
    void setComment(const QStringList &lines) { m_comment = lines; }

    bool operator==(const FontFile &other) const = default;

private:
    QByteArray m_image;
    std::array<QString, kLabelCount> m_labels;
    QStringList m_comment;
};

// A label as the file writes it, or nothing with the reason in `why`.
std::optional<QString> parseFontLabel(const QString &written, QString *why);
// The label as the file writes it: U+XXXX for a character that can't be seen.
QString writtenFontLabel(const QString &label);
// A name label, "(heart)", rather than a character.
bool isNamedFontLabel(const QString &label);

// A font file is about 40 KB; anything far larger is not one, and reading it
// whole would only cost memory.
inline constexpr qint64 kMaxFontFileBytes = 1024 * 1024;

struct FontFileRead
{
    std::optional<FontFile> font; // nothing when the file can't be used
    int errorLine = 0; // the line at fault, 0 for the file as a whole
    QString error;
    // Rules of the built-in faces that this file breaks; the file is still used.
    QStringList warnings;

    // "line 12: ..." or the error alone.
    QString errorText() const;
};

// Strict: any fault names its line and nothing is used.
FontFileRead readFontFile(QByteArrayView text);
// Reads a regular file; anything else (a folder, a pipe, a device) or a file
// too large to be a font is refused without being read.
FontFileRead readFontFilePath(const QString &path);

// The file's text. A file read and written again is the same byte for byte
// when it was written so (comments at the top only, one blank line between
// glyphs).
QByteArray fontFileText(const FontFile &font);
// Saves as message files are saved: the whole new file or the old one
// untouched. Returns an empty text on success, otherwise the reason.
QString saveFontFile(const QString &path, const FontFile &font);

} // namespace varlo
