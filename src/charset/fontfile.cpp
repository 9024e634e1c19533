// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontfile.h"

#include "charset/fontimage.h"
#include "files/readfile.h"
#include "files/replacefile.h"
#include "model/inputexcerpt.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace varlo {

namespace {

using Font = FontTable::Font;

constexpr Font kFaces[] = {Font::Normal, Font::Bold};
constexpr int kColumns = FontTable::kGlyphBytes;
constexpr int kRows = FontTable::kGlyphRows;
// The slot edit boxes show a code with a name as a character of this private
// block, so no label may be one of them.
constexpr char16_t kNamedStandInFirst = PanelCharMap::kNamedStandIn;
constexpr char16_t kNamedStandInLast = PanelCharMap::kNamedStandIn + 0xFF;
const QString kEmptyLabel = QStringLiteral("(empty)");

QString faceName(Font face)
{
    return face == Font::Normal ? QStringLiteral("normal") : QStringLiteral("bold");
}

QString faceLine(Font face)
{
    return QStringLiteral("face ") + faceName(face);
}

QString codeName(int code)
{
    return QStringLiteral("[%1]").arg(code, 3, 10, QLatin1Char('0'));
}

QString codeList(const QList<int> &codes)
{
    QStringList names;
    for (int code : codes)
        names << QString::number(code);
    return names.join(QStringLiteral(", "));
}

std::optional<QString> characterLabel(char32_t ch, QString *why)
{
    if (ch > 0xFFFF) {
        *why = QStringLiteral("the character U+%1 is beyond U+FFFF, which a slot edit box can't hold in one place")
                   .arg(QString::number(uint(ch), 16).toUpper());
        return std::nullopt;
    }
    const QChar qc(char16_t(ch & 0xFFFF));
    if (qc.category() == QChar::Other_Control || qc.isSurrogate()) {
        *why = QStringLiteral("U+%1 is a control character, which no text box can show; use a name such as (logo)")
                   .arg(QStringLiteral("%1").arg(qc.unicode(), 4, 16, QLatin1Char('0')).toUpper());
        return std::nullopt;
    }
    if (qc.unicode() >= kNamedStandInFirst && qc.unicode() <= kNamedStandInLast) {
        *why = QStringLiteral("U+E000 to U+E0FF stand for the codes with names in the slot edit boxes; use a name "
                              "such as (logo) instead");
        return std::nullopt;
    }
    return QString(qc);
}

// Box drawing and block elements reach the edges of their cell so that
// they join the next one: the 5 columns of text are not their rule.
bool isCellFilling(const QString &label)
{
    return label.size() == 1 && label.front().unicode() >= 0x2500 && label.front().unicode() <= 0x259F;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The lines of the text without their line ends; a final line end starts no
// line of its own.
QList<QByteArrayView> splitLines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1); // written on a system with CRLF line ends
        lines << line;
        start = end + 1;
    }
    return lines;
}

class Reader
{
public:
    FontFileRead read(QByteArrayView text)
    {
        if (text.startsWith("\xEF\xBB\xBF"))
            text = text.sliced(3); // a byte order mark some editors put first
        const QList<QByteArrayView> lines = splitLines(text);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_lineNo = int(i) + 1;
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString line = decoder(lines[i]);
            if (decoder.hasError())
                return fail(QStringLiteral("this line is not UTF-8 text"));
            if (!takeLine(line))
                return fail(m_error);
        }
        m_lineNo = int(lines.size());
        if (m_rowsWanted > 0)
            return fail(QStringLiteral("the file ends inside glyph %1 after %2 of 7 rows")
                            .arg(codeName(m_code - 1))
                            .arg(kRows - m_rowsWanted));
        if (m_face != Font::Bold || m_code != FontTable::kGlyphCount)
            return fail(endsTooEarly());
        addWarnings();
        FontFileRead result = fail(QString());
        result.errorLine = 0;
        result.font.emplace(m_font);
        return result;
    }

private:
    FontFileRead fail(const QString &message)
    {
        FontFileRead result;
        result.errorLine = m_lineNo;
        result.error = message;
        result.warnings = m_warnings;
        return result;
    }

    bool stop(const QString &message)
    {
        m_error = message;
        return false;
    }

    QString endsTooEarly() const
    {
        if (!m_started)
            return QStringLiteral("the file ends before \"face normal\": this is not a font file");
        if (m_face == Font::Normal && m_code == FontTable::kGlyphCount)
            return QStringLiteral("the file ends without \"face bold\" and its 256 glyphs");
        return QStringLiteral("the %1 face ends after %2 glyphs; every code 0 to 255 must appear, next expected %3")
            .arg(faceName(m_face))
            .arg(m_code)
            .arg(codeName(m_code));
    }

    bool takeLine(const QString &line)
    {
        if (m_rowsWanted > 0)
            return takeRow(line);
        const bool blank = line.trimmed().isEmpty();
        const bool comment = line.startsWith(QLatin1String("//"));
        if (!m_started) {
            if (comment) {
                m_comment << line;
                return true;
            }
            if (blank)
                return true;
            if (line != faceLine(Font::Normal))
                return stop(QStringLiteral("expected \"face normal\" before the first glyph, found \"%1\"")
                                .arg(inputExcerpt(line)));
            m_started = true;
            m_font.setComment(m_comment);
            return true;
        }
        if (blank)
            return true;
        if (comment) {
            if (!m_warnedComment) {
                m_warnings << QStringLiteral("line %1: comments below \"face normal\" are not kept when the "
                                             "font is saved; only those at the top are")
                                  .arg(m_lineNo);
                m_warnedComment = true;
            }
            return true;
        }
        if (line.startsWith(QLatin1String("face ")))
            return takeFace(line);
        if (m_code == FontTable::kGlyphCount) {
            if (m_face == Font::Normal)
                return stop(QStringLiteral("expected \"face bold\" after glyph [255] of the normal face, found \"%1\"")
                                .arg(inputExcerpt(line)));
            return stop(
                QStringLiteral("unexpected text after glyph [255] of the bold face: \"%1\"").arg(inputExcerpt(line)));
        }
        return takeHeader(line);
    }

    bool takeFace(const QString &line)
    {
        if (line != faceLine(Font::Bold) && line != faceLine(Font::Normal))
            return stop(
                QStringLiteral("a face is \"face normal\" or \"face bold\", found \"%1\"").arg(inputExcerpt(line)));
        if (m_face == Font::Bold || line == faceLine(Font::Normal))
            return stop(QStringLiteral("\"%1\" appears twice").arg(inputExcerpt(line)));
        if (m_code != FontTable::kGlyphCount)
            return stop(endsTooEarly());
        m_face = Font::Bold;
        m_code = 0;
        m_labelCodes.clear();
        return true;
    }

    bool takeHeader(const QString &line)
    {
        const bool shaped = line.size() >= 7 && line[0] == QLatin1Char('[') && isDigit(line[1]) && isDigit(line[2])
            && isDigit(line[3]) && line[4] == QLatin1Char(']') && line[5] == QLatin1Char(' ');
        if (!shaped)
            return stop(QStringLiteral("expected a glyph header like \"[065] A\" (the code in three digits, a "
                                       "space, a label), found \"%1\"")
                            .arg(inputExcerpt(line)));
        const int code = line.mid(1, 3).toInt();
        if (code != m_code) {
            if (code > 255)
                return stop(QStringLiteral("code %1 is beyond 255").arg(code));
            const QString why =
                code < m_code ? QStringLiteral("appears twice or out of order") : QStringLiteral("comes too early");
            return stop(QStringLiteral("glyph %1 %2: expected %3 here").arg(codeName(code), why, codeName(m_code)));
        }
        QString why;
        const std::optional<QString> label = parseFontLabel(line.mid(6), &why);
        if (!label)
            return stop(QStringLiteral("the label of glyph %1: %2").arg(codeName(code), why));
        if (!isNamedFontLabel(*label)) {
            const auto earlier = m_labelCodes.constFind(*label);
            if (earlier != m_labelCodes.constEnd())
                return stop(QStringLiteral("the label \"%1\" of glyph %2 is the label of %3 already: a character "
                                           "means one code in a face")
                                .arg(*label, codeName(code), codeName(*earlier)));
            m_labelCodes.insert(*label, code);
        }
        m_font.setLabel(m_face, quint8(code), writtenFontLabel(*label));
        m_columns.fill(0);
        m_code = code + 1;
        m_rowsWanted = kRows;
        return true;
    }

    bool takeRow(const QString &line)
    {
        const int code = m_code - 1;
        const int row = kRows - m_rowsWanted;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('[')) || line.startsWith(QLatin1String("//"))
            || line.startsWith(QLatin1String("face ")))
            return stop(QStringLiteral("glyph %1 has %2 rows, expected 7 directly after its header")
                            .arg(codeName(code))
                            .arg(row));
        if (line.size() != kColumns)
            return stop(QStringLiteral("row %1 of glyph %2 has %3 characters, expected 8 of '#' and '.'")
                            .arg(row)
                            .arg(codeName(code))
                            .arg(line.size()));
        for (int column = 0; column < kColumns; ++column) {
            const QChar c = line[column];
            if (c == QLatin1Char('#'))
                m_columns[size_t(column)] |= quint8(1u << row);
            else if (c != QLatin1Char('.'))
                return stop(QStringLiteral("row %1 of glyph %2: column %3 is '%4', expected '#' or '.'")
                                .arg(row)
                                .arg(codeName(code))
                                .arg(column)
                                .arg(inputExcerpt(QStringView(&c, 1))));
        }
        if (--m_rowsWanted == 0)
            m_font.setGlyph(m_face, quint8(code), m_columns);
        return true;
    }

    // The rules of the built-in faces that a font of one's own may break.
    void addWarnings()
    {
        QList<int> wide;
        for (int code = 32; code < FontTable::kGlyphCount; ++code) {
            if (isCellFilling(m_font.label(Font::Normal, quint8(code))))
                continue;
            const FontTable::Glyph glyph = m_font.glyph(Font::Normal, quint8(code));
            if (glyph[5] | glyph[6] | glyph[7])
                wide << code;
        }
        if (!wide.isEmpty())
            m_warnings << QStringLiteral("the normal face lights columns 5 to 7 at codes %1: the built-in "
                                         "normal face keeps its characters within 5 columns")
                              .arg(codeList(wide));
        QList<int> differing;
        for (int code = 0; code < 32; ++code) {
            const FontTable::Glyph normal = m_font.glyph(Font::Normal, quint8(code));
            const FontTable::Glyph bold = m_font.glyph(Font::Bold, quint8(code));
            if (!std::equal(normal.begin(), normal.end(), bold.begin()))
                differing << code;
        }
        if (!differing.isEmpty())
            m_warnings << QStringLiteral("codes %1 differ between the faces: the built-in fonts draw codes 0 "
                                         "to 31 alike in both, since pictures are never bold")
                              .arg(codeList(differing));
    }

    QString m_error;
    QStringList m_warnings;
    FontFile m_font;
    QStringList m_comment;
    bool m_started = false;
    bool m_warnedComment = false;
    Font m_face = Font::Normal;
    int m_code = 0; // the next code expected in m_face
    int m_rowsWanted = 0; // rows still to come for glyph m_code - 1
    int m_lineNo = 0;
    std::array<quint8, kColumns> m_columns{};
    QHash<QString, int> m_labelCodes; // character labels of m_face so far
};

} // namespace

FontFile::FontFile()
    : m_image(FontTable::kImageBytes, '\0')
{
    m_labels.fill(kEmptyLabel);
}

FontFile FontFile::builtIn()
{
    FontFile font;
    font.m_image = QByteArray(reinterpret_cast<const char *>(fontdata::kImage), FontTable::kImageBytes);
    for (int i = 0; i < kLabelCount; ++i) {
        QString why;
        // The build checks nothing of the labels; a test reads every one.
        font.m_labels[size_t(i)] = parseFontLabel(QString::fromUtf8(fontdata::kLabels[i]), &why).value_or(kEmptyLabel);
    }
    return font;
}

FontTable::Image FontFile::bytes() const
{
    return FontTable::Image(reinterpret_cast<const quint8 *>(m_image.constData()), FontTable::kImageBytes);
}

void FontFile::setGlyph(FontTable::Font font, quint8 code, FontTable::Glyph columns)
{
    const int at = FontTable::offset(font, code);
    for (int i = 0; i < kColumns; ++i)
        m_image[at + i] = char(columns[size_t(i)] & 0x7F); // row 7 stays dark on the panel
}

QString FontFile::setLabel(FontTable::Font font, quint8 code, const QString &written)
{
    QString why;
    const std::optional<QString> label = parseFontLabel(written, &why);
    if (!label)
        return why;
    m_labels[size_t(index(font, code))] = *label;
    return {};
}

std::optional<QString> parseFontLabel(const QString &written, QString *why)
{
    static const QRegularExpression name(QStringLiteral("^\\([A-Za-z0-9][A-Za-z0-9 _-]{0,39}\\)$"));
    static const QRegularExpression codePoint(QStringLiteral("^U\\+([0-9A-Fa-f]{4,5})$"));
    if (written.isEmpty()) {
        *why = QStringLiteral("the label is missing");
        return std::nullopt;
    }
    if (name.match(written).hasMatch())
        return written;
    const QRegularExpressionMatch number = codePoint.match(written);
    if (number.hasMatch())
        return characterLabel(char32_t(number.captured(1).toUInt(nullptr, 16)), why);
    const QList<uint> ucs4 = written.toUcs4();
    if (ucs4.size() == 1)
        return characterLabel(char32_t(ucs4.first()), why);
    if (written.startsWith(QLatin1Char('(')))
        *why = QStringLiteral("a name is 1 to 40 letters, digits, spaces, '-' or '_' in brackets, such as (heart); "
                              "found \"%1\"")
                   .arg(inputExcerpt(written));
    else
        *why = QStringLiteral("a label is one character, U+XXXX or a name in brackets, found \"%1\"")
                   .arg(inputExcerpt(written));
    return std::nullopt;
}

QString writtenFontLabel(const QString &label)
{
    if (label.size() != 1)
        return label;
    const QChar ch = label.front();
    const QChar::Category category = ch.category();
    if (ch.isSpace() || !ch.isPrint() || category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing
        || category == QChar::Other_Format)
        return QStringLiteral("U+") + QStringLiteral("%1").arg(ch.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    return label;
}

PanelCharMap::Table FontFile::charTable() const
{
    PanelCharMap::Table table{};
    QSet<char16_t> taken;
    for (int code = 0; code < FontTable::kGlyphCount; ++code) {
        const QString &text = label(Font::Normal, quint8(code));
        if (!isNamedFontLabel(text)) {
            table[size_t(code)] = text.front().unicode();
            taken.insert(text.front().unicode());
        }
    }
    for (int code = 0; code < FontTable::kGlyphCount; ++code) {
        if (!isNamedFontLabel(label(Font::Normal, quint8(code))))
            continue;
        char16_t shown = char16_t(kNamedStandInFirst + code);
        if (code < 0x20)
            shown = char16_t(0x2400 + code); // the control pictures
        else if (code == 0x7F)
            shown = 0x2421;
        table[size_t(code)] = taken.contains(shown) ? char16_t(kNamedStandInFirst + code) : shown;
    }
    return table;
}

PanelCharMap FontFile::charMap() const
{
    return PanelCharMap::fromTable(charTable()).value_or(PanelCharMap::builtIn());
}

bool isNamedFontLabel(const QString &label)
{
    return label.size() > 1 && label.startsWith(QLatin1Char('('));
}

QString FontFileRead::errorText() const
{
    if (errorLine > 0)
        return QStringLiteral("line %1: %2").arg(errorLine).arg(error);
    return error;
}

FontFileRead readFontFile(QByteArrayView text)
{
    return Reader().read(text);
}

FontFileRead readFontFilePath(const QString &path)
{
    const FileRead read = readFile(path, {kMaxFontFileBytes, "a font file"});
    if (!read.ok()) {
        FontFileRead result;
        result.error = read.reason;
        return result;
    }
    return readFontFile(read.bytes);
}

QByteArray fontFileText(const FontFile &font)
{
    QString text;
    for (const QString &line : font.comment())
        text += line + QLatin1Char('\n');
    for (Font face : kFaces) {
        if (face == Font::Bold)
            text += QLatin1Char('\n');
        text += faceLine(face) + QLatin1Char('\n');
        for (int code = 0; code < FontTable::kGlyphCount; ++code) {
            text += QLatin1Char('\n') + codeName(code) + QLatin1Char(' ')
                + writtenFontLabel(font.label(face, quint8(code))) + QLatin1Char('\n');
            const FontTable::Glyph glyph = font.glyph(face, quint8(code));
            for (int row = 0; row < kRows; ++row) {
                for (int column = 0; column < kColumns; ++column)
                    text += (glyph[size_t(column)] >> row) & 1 ? QLatin1Char('#') : QLatin1Char('.');
                text += QLatin1Char('\n');
            }
        }
    }
    return text.toUtf8();
}

QString saveFontFile(const QString &path, const FontFile &font)
{
    return replaceFile(path, fontFileText(font));
}

} // namespace varlo
