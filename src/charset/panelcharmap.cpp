// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/panelcharmap.h"

#include "model/inputexcerpt.h"

#include <QSet>

#include <array>

namespace varlo {

namespace {

// A code whose glyph is no character: the labels of the glyph files name
// it, and it shows as U+E000 plus the code.
constexpr char16_t kNamed = 0;

// Codes 128 to 255 as the panel's font draws them: code page 850, except
// 155 and 157 (¢ and ¥ there, shown by stand-ins, see the header), 158 (₧),
// 213 (a dotted i), 240 (the soft hyphen, shown by a stand-in), 242 to 245
// and 250 (Œ Ğ ğ İ €), and the box-drawing, block and shade places, which
// the panel draws as a bottom line, a bar, a dash, a small cross or nothing:
// they are named, not the code page's characters, so that text with █ or ─
// is refused instead of coming out as a line or a dash.
constexpr std::array<char16_t, 128> kHighHalf{
    // 0x80
    u'Ç',
    u'ü',
    u'é',
    u'â',
    u'ä',
    u'à',
    u'å',
    u'ç',
    u'ê',
    u'ë',
    u'è',
    u'ï',
    u'î',
    u'ì',
    u'Ä',
    u'Å',
    // 0x90
    u'É',
    u'æ',
    u'Æ',
    u'ô',
    u'ö',
    u'ò',
    u'û',
    u'ù',
    u'ÿ',
    u'Ö',
    u'Ü',
    u'\u023C',
    u'£',
    u'\u04B0',
    u'\u20A7',
    u'ƒ',
    // 0xA0
    u'á',
    u'í',
    u'ó',
    u'ú',
    u'ñ',
    u'Ñ',
    u'ª',
    u'º',
    u'¿',
    u'®',
    u'¬',
    u'½',
    u'¼',
    u'¡',
    u'«',
    u'»',
    // 0xB0
    kNamed, // 176
    kNamed, // 177
    kNamed, // 178
    u'\u2502',
    kNamed, // 180
    u'Á',
    u'Â',
    u'À',
    u'©',
    kNamed, // 185
    kNamed, // 186
    kNamed, // 187
    kNamed, // 188
    u'¢',
    u'¥',
    kNamed, // 191
    // 0xC0
    kNamed, // 192
    kNamed, // 193
    kNamed, // 194
    kNamed, // 195
    kNamed, // 196
    kNamed, // 197
    u'ã',
    u'Ã',
    kNamed, // 200
    kNamed, // 201
    kNamed, // 202
    kNamed, // 203
    kNamed, // 204
    kNamed, // 205
    kNamed, // 206
    u'¤',
    // 0xD0
    u'ð',
    u'Ð',
    u'Ê',
    u'Ë',
    u'È',
    u'\u0456',
    u'Í',
    u'Î',
    u'Ï',
    kNamed, // 217
    kNamed, // 218
    kNamed, // 219
    kNamed, // 220
    u'¦',
    u'Ì',
    kNamed, // 223
    // 0xE0
    u'Ó',
    u'ß',
    u'Ô',
    u'Ò',
    u'õ',
    u'Õ',
    u'µ',
    u'þ',
    u'Þ',
    u'Ú',
    u'Û',
    u'Ù',
    u'ý',
    u'Ý',
    u'¯',
    u'´',
    // 0xF0
    u'\u2010',
    u'±',
    u'Œ',
    u'Ğ',
    u'ğ',
    u'İ',
    u'÷',
    u'¸',
    u'°',
    u'¨',
    u'€',
    u'¹',
    u'³',
    u'²',
    kNamed, // 254
    u'\u00A0',
};

constexpr char16_t kControlPictures = 0x2400; // U+2400 SYMBOL FOR NULL
constexpr char16_t kDeletePicture = 0x2421; // U+2421 SYMBOL FOR DELETE
// Characters that stood for a byte before, typed or pasted from an older
// copy of a slot: they still mean that byte. The soft hyphen showed as
// nothing in a text box; Ɏ is in none of the fixed-pitch fonts Varlo uses.
struct EarlierStandIn
{
    char16_t ch;
    quint8 byte;
};
constexpr EarlierStandIn kEarlierStandIns[] = {{0x00AD, 240}, {0x024E, 157}};

// Symbols that have a picture on the panel, and the escape that draws it.
struct Substitute
{
    char32_t codePoint;
    const char *bytes;
};
constexpr Substitute kPictures[] = {
    {0x2605, "~+"}, // ★
    {0x2665, "~H"}, // ♥
    {0x2764, "~H"}, // ❤
    {0x2190, "~<"}, // ←
    {0x2192, "~>"}, // →
    {0x260E, "~P"}, // ☎
    {0x1F4DE, "~P"}, // 📞
    {0x2708, "~x"}, // ✈
    {0x263A, "~S"}, // ☺
    {0x1F642, "~S"}, // 🙂
    {0x1F60A, "~S"}, // 😊
    {0x25CF, "~O"}, // ●
    {0x25CB, "~o"}, // ○
};
// Typographic characters the panel's font lacks, and their plain look-alike.
// The built-in map gives the no-break space byte 255 before this table is
// asked (the panel draws it blank too, and show's text must come back as the
// same bytes); the entry serves a font's map that has no no-break space.
constexpr Substitute kLookAlikes[] = {
    {0x201C, "\""},  {0x201D, "\""}, {0x201E, "\""}, // “ ” „
    {0x2018, "'"},   {0x2019, "'"},  {0x201A, "'"}, // ‘ ’ ‚
    {0x2013, "-"},   {0x2014, "-"}, // – —
    {0x2026, "..."}, // …
    {0x00A0, " "}, // no-break space
};

const char *substituteFor(char32_t codePoint)
{
    for (const Substitute &picture : kPictures) {
        if (picture.codePoint == codePoint)
            return picture.bytes;
    }
    for (const Substitute &lookAlike : kLookAlikes) {
        if (lookAlike.codePoint == codePoint)
            return lookAlike.bytes;
    }
    return nullptr;
}

bool isVariationSelector(char32_t codePoint)
{
    return codePoint == 0xFE0E || codePoint == 0xFE0F;
}

char16_t builtInChar(int byte)
{
    if (byte < 0x20)
        return char16_t(kControlPictures + byte);
    if (byte == 0x7F)
        return kDeletePicture;
    if (byte < 0x80)
        return char16_t(byte);
    const char16_t ch = kHighHalf[byte - 0x80];
    return ch == kNamed ? char16_t(PanelCharMap::kNamedStandIn + byte) : ch;
}

} // namespace

PanelCharMap::PanelCharMap()
    : PanelCharMap(builtInTable())
{
}

PanelCharMap::PanelCharMap(const Table &table)
    : m_chars(table)
{
    for (int b = 0; b < 256; ++b)
        m_bytes.insert(m_chars[b], quint8(b));
    // Only where the table leaves the character free: a font's own table
    // may give it a code of its own.
    for (const EarlierStandIn &earlier : kEarlierStandIns) {
        if (!m_bytes.contains(earlier.ch))
            m_bytes.insert(earlier.ch, earlier.byte);
    }
}

const PanelCharMap &PanelCharMap::builtIn()
{
    static const PanelCharMap map;
    return map;
}

PanelCharMap::Table PanelCharMap::builtInTable()
{
    Table table{};
    for (int b = 0; b < 256; ++b)
        table[b] = builtInChar(b);
    return table;
}

std::optional<PanelCharMap> PanelCharMap::fromTable(const Table &table)
{
    QSet<char16_t> seen;
    for (char16_t ch : table) {
        if (QChar::isSurrogate(ch) || seen.contains(ch))
            return std::nullopt;
        seen.insert(ch);
    }
    return PanelCharMap(table);
}

QChar PanelCharMap::toChar(quint8 byte) const
{
    return QChar(m_chars[byte]);
}

std::optional<quint8> PanelCharMap::toByte(QChar ch) const
{
    const auto it = m_bytes.constFind(ch.unicode());
    if (it == m_bytes.constEnd())
        return std::nullopt;
    return *it;
}

QString PanelCharMap::toDisplay(const QByteArray &bytes) const
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(toChar(quint8(b)));
    return text;
}

QByteArray PanelCharMap::toBytes(const QString &text) const
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar ch : text)
        bytes.append(char(toByte(ch).value_or('?')));
    return bytes;
}

qsizetype PanelCharMap::firstUndrawable(const QString &text) const
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!toByte(text.at(i)))
            return i;
    }
    return -1;
}

QString PanelCharMap::Undrawable::character() const
{
    const char32_t one[] = {codePoint};
    return QString::fromUcs4(one, 1);
}

QString PanelCharMap::Undrawable::describe() const
{
    const QString hex = QString::number(uint(codePoint), 16).toUpper();
    return QStringLiteral("\u201c%1\u201d (U+%2)")
        .arg(inputExcerpt(character()), hex.rightJustified(4, QLatin1Char('0')));
}

PanelCharMap::Conversion PanelCharMap::fromText(const QString &text) const
{
    Conversion result;
    result.bytes.reserve(text.size());
    qsizetype column = 0;
    // By code point: 🙂 is two UTF-16 units but one character.
    for (char32_t codePoint : text.toUcs4()) {
        ++column;
        if (codePoint <= 0xFFFF && !QChar::isSurrogate(codePoint)) {
            if (const std::optional<quint8> byte = toByte(QChar(char16_t(codePoint)))) {
                result.bytes.append(char(*byte));
                continue;
            }
        }
        if (const char *substitute = substituteFor(codePoint)) {
            result.bytes.append(substitute);
            continue;
        }
        if (isVariationSelector(codePoint))
            continue;
        result.undrawable = Undrawable{codePoint, column};
        break;
    }
    return result;
}

} // namespace varlo
