// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as a slot text a person typed (varlo-cli -m, a
// schedule's text, a paste) to the conversion into the panel's bytes, once
// through the built-in fonts' map and once through a font file's. A refused
// text is refused at a column it has, with a short message; an accepted one
// holds no zero byte (it would end the slot's text in a message file), and
// what show prints of those bytes reads back as the same bytes.

#include "charset/fontfile.h"
#include "charset/markuptext.h"
#include "charset/panelcharmap.h"

#include "require.h"

#include <QFile>

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

namespace {

// A font of one's own, with its own meaning for the codes above 127: the
// Cyrillic one that ships, or the built-in map when it can't be found.
PanelCharMap fontFileMap()
{
    QFile file(QStringLiteral(VARLO_SOURCE_DIR "/fonts/cyrillic.vlf"));
    if (!file.open(QIODevice::ReadOnly))
        return PanelCharMap::builtIn();
    const FontFileRead read = readFontFile(file.readAll());
    return read.font ? read.font->charMap() : PanelCharMap::builtIn();
}

void check(const QString &text, const PanelCharMap &map)
{
    const TextResult result = markupFromText(text, map);
    if (const TextError *error = std::get_if<TextError>(&result)) {
        requireMessage(error->message, "the error of a refused text");
        require(error->column >= 1 && error->column <= text.toUcs4().size(), "an error at a column the text lacks");
        return;
    }
    const QByteArray &bytes = std::get<QByteArray>(result);
    require(!bytes.contains('\0'), "a zero byte in a slot's text");

    // What show prints is the map's text of the bytes, one character a byte;
    // typed again it gives the same bytes.
    const QString shown = map.toDisplay(bytes);
    require(shown.size() == bytes.size(), "not one character a byte");
    const TextResult back = markupFromText(shown, map);
    require(std::holds_alternative<QByteArray>(back) && std::get<QByteArray>(back) == bytes,
            "the text show prints does not give the bytes back");

    // A text made only of characters the map knows is those bytes exactly
    // (a few earlier characters, such as the soft hyphen, give their byte
    // but show as its own character, so the text need not show as itself).
    if (map.firstUndrawable(text) < 0)
        require(bytes == map.toBytes(text), "the map's own characters converted otherwise");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const PanelCharMap ownMap = fontFileMap();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const DecodedText decoded = textFromUtf8(bytes);
    if (const TextError *error = std::get_if<TextError>(&decoded)) {
        requireMessage(error->message, "the error of text that is not UTF-8");
        // Counted in characters, as far as they are UTF-8; a sequence cut
        // short at the end is one column past them.
        require(error->column >= 1 && error->column <= bytes.size() + 1, "an error at a column the bytes lack");
        require(QString::fromUtf8(bytes).size() >= error->column - 1, "an error past the text's characters");
        return 0;
    }
    const QString &text = std::get<QString>(decoded);
    // The text is the bytes' characters; only a byte order mark in front
    // goes, as it does in any UTF-8 text.
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    require(text.toUtf8() == (bom ? bytes.sliced(3) : bytes), "UTF-8 text decoded into other text");
    check(text, PanelCharMap::builtIn());
    check(text, ownMap);
    return 0;
}
