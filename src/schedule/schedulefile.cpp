// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/schedulefile.h"

#include "schedule/excerpt.h"

#include "charset/markuptext.h"
#include "files/readfile.h"
#include "model/messageset.h"

#include <QRegularExpression>

#include <array>

namespace varlo {

namespace {

// Far more than any sign's week needs; a larger file is something else.
constexpr qint64 kMaxFileSize = 1024 * 1024;
// What a message file keeps of one slot: a longer text could be shown but
// never saved, and the panel shows 125 cells at most anyway.
constexpr int kMaxTextBytes = 255;

const std::array<QString, 7> kDayNames = {
    QStringLiteral("mon"), QStringLiteral("tue"), QStringLiteral("wed"), QStringLiteral("thu"),
    QStringLiteral("fri"), QStringLiteral("sat"), QStringLiteral("sun"),
};

const QRegularExpression kDaysShape(QStringLiteral("^[a-z]{3}(-[a-z]{3})?(,[a-z]{3}(-[a-z]{3})?)*$"));
const QRegularExpression kWindowShape(QStringLiteral("^([0-9]{1,2}):([0-9]{2})-([0-9]{1,2}):([0-9]{2})$"));
const QRegularExpression
    kDatesShape(QStringLiteral("^([0-9]{4}-[0-9]{2}-[0-9]{2})(\\.\\.([0-9]{4}-[0-9]{2}-[0-9]{2}))?$"));

// A fault at a column of the line being read.
struct Fault
{
    qsizetype column = 0;
    QString message;
};

// A word of a line: where it starts and ends in UTF-16 units, and the
// column of its first character.
struct Word
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype column = 0;
};

bool isBlank(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t');
}

qsizetype columnOf(const QString &line, qsizetype index)
{
    qsizetype column = 1;
    for (qsizetype i = 0; i < index; ++i) {
        if (!line.at(i).isLowSurrogate())
            ++column;
    }
    return column;
}

// The next word at or after from, or nothing at the end of the line.
std::optional<Word> nextWord(const QString &line, qsizetype from)
{
    while (from < line.size() && isBlank(line.at(from)))
        ++from;
    if (from >= line.size())
        return std::nullopt;
    qsizetype end = from;
    while (end < line.size() && !isBlank(line.at(end)))
        ++end;
    return Word{from, end, columnOf(line, from)};
}

// The weekday bits of a list such as "mon-fri,sun", or nothing when a name
// is no day (the word is then the text's first).
std::optional<quint8> weekdayBits(const QString &word)
{
    const auto dayIndex = [](const QString &name) -> int {
        for (size_t i = 0; i < kDayNames.size(); ++i) {
            if (kDayNames[i] == name)
                return int(i);
        }
        return -1;
    };
    quint8 bits = 0;
    for (const QString &part : word.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        const int first = dayIndex(ends.first());
        const int last = dayIndex(ends.last());
        if (first < 0 || last < 0)
            return std::nullopt;
        // fri-mon runs over the weekend.
        for (int day = first;; day = (day + 1) % 7) {
            bits |= quint8(1 << day);
            if (day == last)
                break;
        }
    }
    return bits;
}

std::variant<ScheduleEntry::TimeWindow, QString> timeWindow(const QRegularExpressionMatch &match)
{
    const int startHour = match.captured(1).toInt();
    const int startMinute = match.captured(2).toInt();
    const int endHour = match.captured(3).toInt();
    const int endMinute = match.captured(4).toInt();
    if (startHour > 23 || startMinute > 59)
        return QStringLiteral("the window's start is no time of day (00:00 to 23:59)");
    if (endHour > 24 || endMinute > 59 || (endHour == 24 && endMinute != 0))
        return QStringLiteral("the window's end is no time of day (00:00 to 24:00)");
    ScheduleEntry::TimeWindow window{startHour * 60 + startMinute, endHour * 60 + endMinute};
    if (window.endMinute == window.startMinute || (window.startMinute == 0 && window.endMinute == 0))
        return QStringLiteral("the window is empty: its end is its start (leave out the window for all day)");
    if (window.endMinute == 0)
        window.endMinute = ScheduleEntry::kMinutesPerDay;
    return window;
}

std::variant<ScheduleEntry::DateRange, QString> dateRange(const QRegularExpressionMatch &match)
{
    const QDate first = QDate::fromString(match.captured(1), Qt::ISODate);
    const QDate last = match.captured(3).isEmpty() ? first : QDate::fromString(match.captured(3), Qt::ISODate);
    if (!first.isValid())
        return QStringLiteral("%1 is no date").arg(match.captured(1));
    if (!last.isValid())
        return QStringLiteral("%1 is no date").arg(match.captured(3));
    if (last < first)
        return QStringLiteral("the range ends before it begins");
    return ScheduleEntry::DateRange{first, last};
}

// What a file may say once, whichever line says it.
struct Settings
{
    bool zoneSeen = false;
    bool localeSeen = false;
};

// Reads one line into the schedule.
class LineReader
{
public:
    LineReader(const QString &line, Schedule &schedule, Settings &settings)
        : m_line(line)
        , m_schedule(schedule)
        , m_settings(settings)
    {
    }

    // A fault when the line is not right.
    std::optional<Fault> read(int lineNumber);

private:
    std::optional<Fault> readSetting(const Word &keyword, bool &seen, bool zone);
    std::optional<Fault> readEntry(const Word &letter, int lineNumber);
    // The term at the word: where the next word may start, or -1 when the
    // word is the text's first.
    std::variant<qsizetype, Fault> readTerm(const Word &word, ScheduleEntry &entry);
    std::optional<Fault> readSpeed(const Word &word, ScheduleEntry &entry, qsizetype &end);
    std::optional<Fault> readText(qsizetype from, ScheduleEntry &entry);
    QString text(const Word &word) const { return m_line.mid(word.start, word.end - word.start); }
    // A term of a kind the entry has already.
    static std::optional<Fault> once(bool &given, const Word &word, const QString &what);

    const QString &m_line;
    Schedule &m_schedule;
    Settings &m_settings;
    bool m_always = false;
    bool m_days = false;
    bool m_window = false;
    bool m_dates = false;
    bool m_override = false;
    bool m_speed = false;
    std::optional<Word> m_alwaysWord;
    bool m_when = false;
};

std::optional<Fault> LineReader::read(int lineNumber)
{
    const std::optional<Word> first = nextWord(m_line, 0);
    if (!first || m_line.at(first->start) == QLatin1Char('#'))
        return std::nullopt;
    const QString keyword = text(*first);
    if (keyword == QLatin1String("timezone"))
        return readSetting(*first, m_settings.zoneSeen, true);
    if (keyword == QLatin1String("locale"))
        return readSetting(*first, m_settings.localeSeen, false);
    return readEntry(*first, lineNumber);
}

std::optional<Fault> LineReader::readSetting(const Word &keyword, bool &seen, bool zone)
{
    const QString name = text(keyword);
    if (seen)
        return Fault{keyword.column, QStringLiteral("a second %1 line; a schedule has one").arg(name)};
    seen = true;
    const std::optional<Word> value = nextWord(m_line, keyword.end);
    if (!value) {
        return Fault{0,
                     zone ? QStringLiteral("timezone needs a zone's name, as Europe/Berlin")
                          : QStringLiteral("locale needs a language's name, as de_DE")};
    }
    if (const std::optional<Word> more = nextWord(m_line, value->end))
        return Fault{more->column, QStringLiteral("%1 takes one name").arg(name)};
    const QString given = text(*value);
    if (zone) {
        // By its name in the zone database only: Qt takes a POSIX rule
        // such as "CET-1CEST" too, and turns a typo into a zone of its own.
        const QTimeZone found(given.toUtf8());
        if (!QTimeZone::isTimeZoneIdAvailable(given.toUtf8()) || !found.isValid())
            return Fault{value->column, QStringLiteral("no time zone is called %1").arg(quotedExcerpt(given))};
        m_schedule.zone = found;
        m_schedule.zoneNamed = true;
        return std::nullopt;
    }
    // QLocale takes any name and falls back to C for one it doesn't know.
    const QLocale locale(given);
    if (given != QLatin1String("C") && locale.language() == QLocale::C)
        return Fault{value->column, QStringLiteral("no language is called %1").arg(quotedExcerpt(given))};
    m_schedule.locale = locale;
    return std::nullopt;
}

std::optional<Fault> LineReader::readEntry(const Word &letter, int lineNumber)
{
    const QString name = text(letter);
    const int slot = name.size() == 1 ? MessageSet::slotIndex(name.at(0).toLatin1()) : -1;
    if (slot < 0) {
        return Fault{letter.column,
                     QStringLiteral("a line begins with a slot letter A to T, timezone, locale or "
                                    "#, not %1")
                         .arg(quotedExcerpt(name))};
    }
    ScheduleEntry entry;
    entry.line = lineNumber;
    entry.slot = slot;
    qsizetype from = letter.end;
    while (const std::optional<Word> word = nextWord(m_line, from)) {
        const std::variant<qsizetype, Fault> term = readTerm(*word, entry);
        if (const Fault *fault = std::get_if<Fault>(&term))
            return *fault;
        if (std::get<qsizetype>(term) < 0)
            break;
        from = std::get<qsizetype>(term);
    }
    if (m_always && (m_days || m_window || m_dates)) {
        return Fault{m_alwaysWord->column, QStringLiteral("always goes alone: it means every day, all day")};
    }
    if (!m_when) {
        const std::optional<Word> next = nextWord(m_line, from);
        return Fault{next ? next->column : columnOf(m_line, m_line.size()),
                     QStringLiteral("the entry says not when it runs: give always, days (mon-fri), a time "
                                    "window (07:00-11:00) or dates (2026-12-24..2026-12-26)")};
    }
    if (const std::optional<Fault> fault = readText(from, entry))
        return fault;
    m_schedule.entries.append(entry);
    return std::nullopt;
}

std::optional<Fault> LineReader::once(bool &given, const Word &word, const QString &what)
{
    if (given)
        return Fault{word.column, QStringLiteral("a second %1; an entry has one").arg(what)};
    given = true;
    return std::nullopt;
}

std::optional<Fault> LineReader::readSpeed(const Word &word, ScheduleEntry &entry, qsizetype &end)
{
    const std::optional<Word> code = nextWord(m_line, word.end);
    const QString value = code ? text(*code) : QString();
    if (value.size() != 1 || value.at(0) < QLatin1Char('0')
        || value.at(0) >= QLatin1Char(char('0' + MessageSet::kSpeedCodeCount))) {
        return Fault{code ? code->column : word.column,
                     QStringLiteral("speed takes a speed code from 0 (slowest) to 4 (fastest)")};
    }
    entry.speedCode = quint8(value.at(0).toLatin1() - '0');
    end = code->end;
    return std::nullopt;
}

std::variant<qsizetype, Fault> LineReader::readTerm(const Word &word, ScheduleEntry &entry)
{
    const QString term = text(word);
    std::optional<Fault> fault;
    qsizetype end = word.end;
    bool when = true;
    if (term == QLatin1String("always")) {
        fault = once(m_always, word, QStringLiteral("always"));
        m_alwaysWord = word;
    } else if (term == QLatin1String("override")) {
        fault = once(m_override, word, QStringLiteral("override"));
        entry.override = true;
        when = false;
    } else if (term == QLatin1String("speed")) {
        fault = once(m_speed, word, QStringLiteral("speed"));
        if (!fault)
            fault = readSpeed(word, entry, end);
        when = false;
    } else if (const QRegularExpressionMatch window = kWindowShape.match(term); window.hasMatch()) {
        fault = once(m_window, word, QStringLiteral("time window (write another line for another)"));
        const auto read = timeWindow(window);
        if (!fault && std::holds_alternative<QString>(read))
            fault = Fault{word.column, std::get<QString>(read)};
        else if (!fault)
            entry.window = std::get<ScheduleEntry::TimeWindow>(read);
    } else if (const QRegularExpressionMatch dates = kDatesShape.match(term); dates.hasMatch()) {
        fault = once(m_dates, word, QStringLiteral("date or range of dates"));
        const auto read = dateRange(dates);
        if (!fault && std::holds_alternative<QString>(read))
            fault = Fault{word.column, std::get<QString>(read)};
        else if (!fault)
            entry.dates = std::get<ScheduleEntry::DateRange>(read);
    } else if (const std::optional<quint8> days =
                   kDaysShape.match(term).hasMatch() ? weekdayBits(term) : std::nullopt) {
        fault = once(m_days, word, QStringLiteral("list of days (give them in one, as mon-fri,sun)"));
        entry.weekdays = *days;
    } else {
        return qsizetype(-1);
    }
    if (fault)
        return *fault;
    m_when = m_when || when;
    return end;
}

std::optional<Fault> LineReader::readText(qsizetype from, ScheduleEntry &entry)
{
    qsizetype start = from;
    while (start < m_line.size() && isBlank(m_line.at(start)))
        ++start;
    qsizetype end = m_line.size();
    while (end > start && isBlank(m_line.at(end - 1)))
        --end;
    if (end - start >= 2 && m_line.at(start) == QLatin1Char('"') && m_line.at(end - 1) == QLatin1Char('"')) {
        ++start;
        --end;
    }
    const qsizetype column = columnOf(m_line, start);
    if (start >= end)
        return Fault{column, QStringLiteral("the entry has no text")};
    const auto text = LiveText::parse(m_line.mid(start, end - start), m_schedule.map);
    if (const TextError *error = std::get_if<TextError>(&text))
        return Fault{column + error->column - 1, error->message};
    entry.text = std::get<LiveText>(text);
    const qsizetype size = entry.text.withoutValues(m_schedule.map).size();
    if (size > kMaxTextBytes) {
        return Fault{
            column,
            QStringLiteral("the text takes %1 bytes, more than the %2 a slot keeps").arg(size).arg(kMaxTextBytes)};
    }
    return std::nullopt;
}

ScheduleRead failure(int line, qsizetype column, const QString &message)
{
    ScheduleRead read;
    read.errorLine = line;
    read.errorColumn = int(column);
    read.error = message;
    return read;
}

} // namespace

QString ScheduleRead::errorText() const
{
    if (errorLine == 0)
        return error;
    if (errorColumn == 0)
        return QStringLiteral("line %1: %2").arg(errorLine).arg(error);
    return QStringLiteral("line %1, column %2: %3").arg(errorLine).arg(errorColumn).arg(error);
}

ScheduleRead readSchedule(QByteArrayView text, const PanelCharMap &map)
{
    Schedule schedule;
    schedule.map = map;
    Settings settings;
    const QList<QByteArrayView> lines = [&] {
        QList<QByteArrayView> found;
        qsizetype start = 0;
        while (start <= text.size()) {
            qsizetype end = text.indexOf('\n', start);
            if (end < 0)
                end = text.size();
            found.append(text.sliced(start, end - start));
            start = end + 1;
        }
        return found;
    }();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = int(i + 1);
        QByteArrayView bytes = lines.at(i);
        // Files written on Windows end their lines with CR LF.
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const DecodedText line = textFromUtf8(bytes.toByteArray());
        if (const TextError *error = std::get_if<TextError>(&line))
            return failure(lineNumber, error->column, error->message);
        if (const std::optional<Fault> fault =
                LineReader(std::get<QString>(line), schedule, settings).read(lineNumber)) {
            return failure(lineNumber, fault->column, fault->message);
        }
    }
    ScheduleRead read;
    read.schedule = schedule;
    return read;
}

ScheduleRead readScheduleFile(const QString &path, const PanelCharMap &map)
{
    // Read as every file is: a pipe or a device is refused unread, and no
    // more than a schedule can hold is ever read.
    const FileRead file = readFile(path, {kMaxFileSize, "a schedule"});
    if (!file.ok())
        return failure(0, 0, file.reason);
    return readSchedule(file.bytes, map);
}

} // namespace varlo
