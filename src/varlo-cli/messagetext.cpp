// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/messagetext.h"

#include "charset/panelcharmap.h"

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

} // namespace

TextResult markupFromArgument(const QByteArray &argument, const PanelCharMap &map)
{
    const DecodedText text = textFromUtf8(argument);
    if (const TextError *error = std::get_if<TextError>(&text))
        return TextError{error->column, error->message + QLatin1String("; give --raw for bytes as they are")};
    return markupFromText(std::get<QString>(text), map);
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
            // A zero byte ends a slot's text in a message file, so the slot
            // would silently lose the rest.
            if (high == 0 && low == 0)
                return TextError{i + 1, QStringLiteral("\\x00: a slot can't hold a zero byte")};
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
