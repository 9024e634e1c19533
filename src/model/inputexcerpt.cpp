// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/inputexcerpt.h"

#include <QChar>

namespace varlo {

namespace {

// One character as it is shown; code is a Unicode code point or, for a
// byte that is no part of UTF-8, the byte itself with isByte set.
QString shown(char32_t code, bool isByte = false)
{
    if (isByte)
        return QString::asprintf("\\x%02x", unsigned(code));
    switch (code) {
    case 0:
        return QStringLiteral("\\0");
    case '\t':
        return QStringLiteral("\\t");
    case '\n':
        return QStringLiteral("\\n");
    case '\r':
        return QStringLiteral("\\r");
    default:
        break;
    }
    // C0, DEL and C1 controls; the C1 ones are escape sequences to many
    // terminals, as ESC is.
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return QString::asprintf("\\x%02x", unsigned(code));
    const QChar::Category category = QChar::category(code);
    // Format characters (a right-to-left override, a zero-width space), line
    // and paragraph separators and lone surrogates change how the rest reads
    // or show as nothing at all.
    if (category == QChar::Other_Format || category == QChar::Other_Surrogate || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph)
        return code > 0xFFFF ? QString::asprintf("\\U%08x", unsigned(code))
                             : QString::asprintf("\\u%04x", unsigned(code));
    return QString::fromUcs4(&code, 1);
}

// Collects shown characters up to the limit.
class Excerpt
{
public:
    explicit Excerpt(qsizetype maxCharacters)
        : m_left(maxCharacters)
    {
    }

    // False once the limit is reached: whatever follows is cut.
    bool add(char32_t code, bool isByte = false)
    {
        if (m_left <= 0) {
            m_cut = true;
            return false;
        }
        m_text += shown(code, isByte);
        --m_left;
        return true;
    }

    QString text() const { return m_cut ? m_text + QChar(0x2026) : m_text; }

private:
    QString m_text;
    qsizetype m_left;
    bool m_cut = false;
};

// The length of the UTF-8 sequence at the start of bytes, or 0 when it is
// none (a stray continuation byte, an overlong form, a surrogate, a
// sequence cut short).
qsizetype utf8Length(QByteArrayView bytes, char32_t *code)
{
    const auto lead = quint8(bytes[0]);
    qsizetype length = 0;
    char32_t value = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const auto next = quint8(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *code = value;
    return length;
}

} // namespace

QString inputExcerpt(QStringView text, qsizetype maxCharacters)
{
    Excerpt excerpt(maxCharacters);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (!excerpt.add(code))
            break;
    }
    return excerpt.text();
}

QString inputExcerpt(QByteArrayView bytes, qsizetype maxCharacters)
{
    Excerpt excerpt(maxCharacters);
    while (!bytes.isEmpty()) {
        char32_t code = 0;
        const qsizetype length = utf8Length(bytes, &code);
        if (!(length > 0 ? excerpt.add(code) : excerpt.add(quint8(bytes[0]), true)))
            break;
        bytes = bytes.sliced(qMax<qsizetype>(length, 1));
    }
    return excerpt.text();
}

} // namespace varlo
