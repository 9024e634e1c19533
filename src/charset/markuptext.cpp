// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/markuptext.h"

#include <QStringDecoder>

namespace varlo {

namespace {

// The column of the first byte that is not UTF-8, counted in characters:
// the decoder is fed one byte at a time and says at which it went wrong.
qsizetype firstInvalidUtf8Column(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    qsizetype characters = 0;
    for (const char c : bytes) {
        const QString piece = decoder.decode(QByteArrayView(&c, 1));
        if (decoder.hasError()) {
            // The fault became a replacement character in this piece.
            const QList<uint> codePoints = piece.toUcs4();
            return characters + codePoints.indexOf(0xFFFD) + 1;
        }
        characters += piece.toUcs4().size();
    }
    // A sequence cut short at the end.
    return characters + 1;
}

} // namespace

DecodedText textFromUtf8(const QByteArray &bytes)
{
    // The decoder is asked directly, not through the locale, so that a byte
    // that is not UTF-8 is refused instead of turning into U+FFFD.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return TextError{firstInvalidUtf8Column(bytes), QStringLiteral("not UTF-8 text")};
    return text;
}

TextResult markupFromText(const QString &text, const PanelCharMap &map)
{
    const PanelCharMap::Conversion conversion = map.fromText(text);
    // The map gives every byte a character, the zero byte too (␀ in the
    // built-in one), but a zero byte ends a slot's text in a message file,
    // so the slot would silently lose the rest.
    if (const qsizetype zero = conversion.bytes.indexOf('\0'); zero >= 0) {
        const QChar shown = map.toChar(0);
        qsizetype column = 0;
        for (const char32_t codePoint : text.toUcs4()) {
            ++column;
            if (codePoint == shown.unicode())
                break;
        }
        return TextError{column,
                         QStringLiteral("%1 is the zero byte, which a slot can't hold")
                             .arg(PanelCharMap::Undrawable{shown.unicode(), column}.describe())};
    }
    if (conversion.undrawable) {
        return TextError{conversion.undrawable->column,
                         QStringLiteral("the panel can't show %1").arg(conversion.undrawable->describe())};
    }
    return conversion.bytes;
}

} // namespace varlo
