// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/livetext.h"

#include "schedule/excerpt.h"

#include <QRegularExpression>

#include <cmath>

namespace varlo {

namespace {

const QString kDefaultTimeFormat = QStringLiteral("HH:mm");
const QString kDefaultDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kWeekdayFormat = QStringLiteral("dddd");

// One printf conversion of a double, or of a whole number for d, and
// nothing else: the format goes to asprintf, so nothing in it may ask for
// an argument of another type or a second one.
const QRegularExpression kNumberFormat(QStringLiteral("^%[-+ 0#]{0,4}[0-9]{0,2}(\\.[0-9]{1,2})?[defg]$"));

// Topic names as a publisher writes them: no wildcards, which name many
// topics, and nothing that can't be seen.
QString topicProblem(const QString &topic)
{
    if (topic.isEmpty())
        return QStringLiteral("the topic has no name");
    // The agents' own topics are payloads and statuses, not values: a
    // status shown on a panel would change with every upload it reports,
    // and so feed itself.
    if (topic.startsWith(QLatin1String("varlo/")))
        return QStringLiteral("the fleet's own topics (varlo/...) are no values to show");
    for (const QChar ch : topic) {
        if (ch == QLatin1Char('+') || ch == QLatin1Char('#'))
            return QStringLiteral("a topic field names one topic, without the wildcards + and #");
        if (ch.category() == QChar::Other_Control)
            return QStringLiteral("the topic name has a control character");
    }
    return {};
}

// The field between the braces, or why it is none.
std::variant<LiveText::Field, QString> parseField(const QString &inside)
{
    using Kind = LiveText::Field::Kind;
    const qsizetype colon = inside.indexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? inside : inside.left(colon);
    const std::optional<QString> rest = colon < 0 ? std::nullopt : std::optional<QString>(inside.mid(colon + 1));
    LiveText::Field field;
    if (name == QLatin1String("time") || name == QLatin1String("date")) {
        field.kind = name == QLatin1String("time") ? Kind::Time : Kind::Date;
        if (rest && rest->isEmpty())
            return QStringLiteral("{%1:} has an empty format; leave out the colon for the usual one").arg(name);
        field.format = rest ? *rest : (field.kind == Kind::Time ? kDefaultTimeFormat : kDefaultDateFormat);
        return field;
    }
    if (name == QLatin1String("weekday")) {
        if (rest)
            return QStringLiteral("{weekday} takes no format; {date:FORMAT} gives any other");
        field.kind = Kind::Weekday;
        field.format = kWeekdayFormat;
        return field;
    }
    if (name == QLatin1String("topic")) {
        if (!rest)
            return QStringLiteral("{topic:NAME} needs the topic's name");
        field.kind = Kind::Topic;
        const qsizetype bar = rest->indexOf(QLatin1Char('|'));
        field.topic = bar < 0 ? *rest : rest->left(bar);
        if (const QString problem = topicProblem(field.topic); !problem.isEmpty())
            return problem;
        if (bar >= 0) {
            field.format = rest->mid(bar + 1);
            if (!kNumberFormat.match(field.format).hasMatch()) {
                return QStringLiteral("the number format must be one conversion such as %.0f, %5.1f or %d, "
                                      "not %1")
                    .arg(quotedExcerpt(field.format));
            }
        }
        return field;
    }
    return QStringLiteral("%1 is no field; the fields are {time}, {date}, {weekday} and {topic:NAME}, "
                          "and {{ is a brace")
        .arg(quotedExcerpt(QLatin1Char('{') + name + QLatin1Char('}')));
}

QString numberText(const QString &value, const QString &format)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(value.trimmed(), &ok);
    if (!ok || !std::isfinite(number))
        return QString::fromLatin1(LiveText::kNoValue);
    if (!format.endsWith(QLatin1Char('d')))
        return QString::asprintf(format.toLatin1().constData(), number);
    // Far beyond any reading a sign shows, and beyond what a long long holds.
    if (std::fabs(number) > 1e15)
        return QString::fromLatin1(LiveText::kNoValue);
    QByteArray wholeFormat = format.toLatin1();
    wholeFormat.insert(wholeFormat.size() - 1, "ll");
    return QString::asprintf(wholeFormat.constData(), std::llround(number));
}

// Counts characters, not UTF-16 units, as the errors' columns do.
qsizetype characterCount(const QString &text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text.at(i).isLowSurrogate())
            ++count;
    }
    return count;
}

} // namespace

std::variant<LiveText, TextError> LiveText::parse(const QString &text, const PanelCharMap &map)
{
    LiveText live;
    QString literal;
    qsizetype literalColumn = 1;
    qsizetype column = 1;
    // Turns the literal text so far into markup; sets error when it has a
    // character the panel cannot show.
    const auto closeLiteral = [&](std::optional<TextError> &error) {
        if (literal.isEmpty())
            return;
        const TextResult markup = markupFromText(literal, map);
        if (const TextError *fault = std::get_if<TextError>(&markup)) {
            error = TextError{literalColumn + fault->column - 1, fault->message};
            return;
        }
        live.m_pieces.append(Piece{std::get<QByteArray>(markup), std::nullopt});
        literal.clear();
    };

    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QLatin1Char('{')) {
            if (literal.isEmpty())
                literalColumn = column;
            literal += text.at(i);
            if (!text.at(i).isHighSurrogate())
                ++column;
            ++i;
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('{')) {
            if (literal.isEmpty())
                literalColumn = column;
            literal += QLatin1Char('{');
            column += 2;
            i += 2;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0)
            return TextError{column, QStringLiteral("a { without its }; write {{ for a brace")};
        std::optional<TextError> error;
        closeLiteral(error);
        if (error)
            return *error;
        const QString inside = text.mid(i + 1, close - i - 1);
        const std::variant<Field, QString> field = parseField(inside);
        if (const QString *problem = std::get_if<QString>(&field))
            return TextError{column, *problem};
        live.m_pieces.append(Piece{{}, std::get<Field>(field)});
        column += characterCount(inside) + 2;
        i = close + 1;
    }
    std::optional<TextError> error;
    closeLiteral(error);
    if (error)
        return *error;
    return live;
}

bool LiveText::hasClockField() const
{
    for (const Piece &piece : m_pieces) {
        if (piece.field && piece.field->kind != Field::Kind::Topic)
            return true;
    }
    return false;
}

QStringList LiveText::topics() const
{
    QStringList names;
    for (const Piece &piece : m_pieces) {
        if (piece.field && piece.field->kind == Field::Kind::Topic && !names.contains(piece.field->topic))
            names << piece.field->topic;
    }
    return names;
}

QByteArray LiveText::render(const QDateTime &localTime, const QLocale &locale, const TopicValues &values,
                            const PanelCharMap &map) const
{
    QByteArray markup;
    for (const Piece &piece : m_pieces) {
        if (!piece.field) {
            markup += piece.literal;
            continue;
        }
        const Field &field = *piece.field;
        QString value = QString::fromLatin1(kNoValue);
        if (field.kind != Field::Kind::Topic) {
            if (localTime.isValid())
                value = locale.toString(localTime, field.format);
        } else if (const auto found = values.constFind(field.topic); found != values.cend()) {
            value = field.format.isEmpty() ? found->trimmed() : numberText(*found, field.format);
        }
        markup += markupOfValue(value, map);
    }
    return markup;
}

QByteArray LiveText::withoutValues(const PanelCharMap &map) const
{
    return render(QDateTime(), QLocale::c(), {}, map);
}

QByteArray markupOfValue(const QString &value, const PanelCharMap &map)
{
    QByteArray markup;
    const QList<uint> codePoints = value.toUcs4();
    for (const uint codePoint : codePoints) {
        if (codePoint == '~') {
            markup += "~~";
            continue;
        }
        const char32_t one = codePoint;
        const PanelCharMap::Conversion conversion = map.fromText(QString::fromUcs4(&one, 1));
        if (conversion.undrawable)
            continue;
        // The codes below 0x20 and 0x7F are the panel's pictures: a value
        // shows them only as the symbols they stand for (♥ as ~H).
        if (conversion.bytes.size() == 1) {
            const auto byte = quint8(conversion.bytes.at(0));
            if (byte < 0x20 || byte == 0x7F)
                continue;
        }
        markup += conversion.bytes;
    }
    return markup;
}

} // namespace varlo
