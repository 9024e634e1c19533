// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/messagetext.h"

#include "charset/panelcharmap.h"

#include <QStringDecoder>

namespace varlo::cli {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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

TextResult markupFromText(const QByteArray &argument, const PanelCharMap &map)
{
    // Qt 6 takes the local 8-bit encoding for UTF-8 on Unix, whatever the
    // locale says; the decoder is asked directly so that a byte that is not
    // UTF-8 is refused instead of turning into U+FFFD.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(argument);
    if (decoder.hasError()) {
        return TextError{firstInvalidUtf8Column(argument),
                         QStringLiteral("not UTF-8 text; give --raw for bytes as they are")};
    }
    const PanelCharMap::Conversion conversion = map.fromText(text);
    if (conversion.undrawable) {
        return TextError{conversion.undrawable->column,
                         QStringLiteral("the panel can't show %1").arg(conversion.undrawable->describe())};
    }
    return conversion.bytes;
}

TextResult markupFromRaw(const QByteArray &argument)
{
    QByteArray bytes;
    bytes.reserve(argument.size());
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const char c = argument[i];
        if (c != '\\' || i + 1 >= argument.size()) {
            bytes += c;
        } else if (argument[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (argument[i + 1] == 'x') {
            const int high = i + 2 < argument.size() ? hexDigit(argument[i + 2]) : -1;
            const int low = i + 3 < argument.size() ? hexDigit(argument[i + 3]) : -1;
            if (high < 0 || low < 0)
                return TextError{i + 1, QStringLiteral("\\x needs two hexadecimal digits")};
            bytes += char(high * 16 + low);
            i += 3;
        } else {
            // Any other backslash is a byte like the rest, as before.
            bytes += c;
        }
    }
    return bytes;
}

QString markupAsText(const QByteArray &markup, const PanelCharMap &map)
{
    return map.toDisplay(markup);
}

QString markupAsRaw(const QByteArray &markup)
{
    QString shown;
    for (const char c : markup) {
        const auto byte = static_cast<quint8>(c);
        if (byte == '\\')
            shown += QLatin1String("\\\\");
        else if (byte >= 0x20 && byte < 0x7F && byte != '"')
            shown += QLatin1Char(c);
        else
            shown += QString::asprintf("\\x%02X", byte);
    }
    return shown;
}

} // namespace varlo::cli
