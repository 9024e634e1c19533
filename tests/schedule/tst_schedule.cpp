// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/scheduleengine.h"
#include "schedule/schedulefile.h"
#include "schedule/schedulerunner.h"
#include "charset/markuptext.h"

#include <QSignalSpy>
#include <QTest>

using namespace varlo;

namespace {

// A week of a café in Berlin, with the days daylight saving begins
// (2026-03-29, 02:00 CET becomes 03:00 CEST) and ends (2026-10-25, 03:00
// CEST becomes 02:00 CET).
const char kCafe[] = R"(# The café's sign
timezone Europe/Berlin

A  mon-fri 07:00-11:00  speed 3  Breakfast ~H
A  mon-fri 11:00-14:00           Soup: {topic:kitchen/soup}
B  always                        It is {time:HH:mm}
B  2026-06-06 12:00-13:00        Lunch is on us
C  2026-12-24..2026-12-26         Merry Christmas
D  2026-12-31 override           Closed today
E  fri,sat 22:00-02:00           Late bar
F  2026-03-29 02:30-03:00        Lost hour
G  2026-03-29 02:30-04:00        Into the gap
H  2026-10-25 02:15-02:45        Twice
I  2026-10-25 01:00-02:30        Back again
)";

Schedule readOrFail(const QByteArray &text)
{
    const ScheduleRead read = readSchedule(text);
    if (!read.schedule)
        qFatal("schedule not read: %s", qPrintable(read.errorText()));
    return *read.schedule;
}

QDateTime at(const char *isoWithOffset)
{
    const QDateTime instant = QDateTime::fromString(QString::fromLatin1(isoWithOffset), Qt::ISODate);
    if (!instant.isValid())
        qFatal("bad instant %s", isoWithOffset);
    return instant;
}

QByteArray bytesOf(const QString &text)
{
    return std::get<QByteArray>(markupFromText(text));
}

// The slots that run, as "A=text B=text", texts as the panel's bytes.
QByteArray runningSlots(const MessageSet &set)
{
    QByteArrayList shown;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        if (set.run(slot))
            shown << MessageSet::slotLetter(slot) + QByteArray("=") + set.markup(slot);
    }
    return shown.join(' ');
}

} // namespace

class TestSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setAtInstants_data();
    void setAtInstants();
    void stoppedSlotKeepsFirstEntry();
    void nextChange_data();
    void nextChange();
    void timelineOfFallBackDay();
    void readsTerms();
    void parseErrors_data();
    void parseErrors();
    void fields_data();
    void fields();
    void localeNamesDays();
    void refusesWhatIsNoFile();
    void runnerFollowsTheClock();
    void runnerFollowsTopics();
};

void TestSchedule::setAtInstants_data()
{
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<QString>("soup"); // kitchen/soup's value, none when empty
    QTest::addColumn<QString>("expected");

    QTest::newRow("before breakfast") << at("2026-06-01T06:59:59+02:00") << ""
                                      << "B=It is 06:59";
    QTest::newRow("breakfast from its first minute") << at("2026-06-01T07:00:00+02:00") << ""
                                                     << "A=Breakfast ~H B=It is 07:00";
    QTest::newRow("lunch where breakfast ends, no soup yet") << at("2026-06-01T11:00:00+02:00") << ""
                                                             << "A=Soup: -- B=It is 11:00";
    QTest::newRow("lunch with the soup") << at("2026-06-01T13:59:00+02:00") << "Leek"
                                         << "A=Soup: Leek B=It is 13:59";
    QTest::newRow("after lunch") << at("2026-06-01T14:00:00+02:00") << "Leek"
                                 << "B=It is 14:00";
    QTest::newRow("no breakfast on Saturday") << at("2026-06-06T08:00:00+02:00") << ""
                                              << "B=It is 08:00";
    QTest::newRow("a later line of the slot wins") << at("2026-06-06T12:30:00+02:00") << ""
                                                   << "B=Lunch is on us";
    QTest::newRow("the bar on Friday night") << at("2026-06-05T23:30:00+02:00") << ""
                                             << "B=It is 23:30 E=Late bar";
    QTest::newRow("the bar over midnight into Saturday") << at("2026-06-06T01:59:00+02:00") << ""
                                                         << "B=It is 01:59 E=Late bar";
    QTest::newRow("the bar closes at two") << at("2026-06-06T02:00:00+02:00") << ""
                                           << "B=It is 02:00";
    QTest::newRow("Saturday's bar into Sunday") << at("2026-06-07T00:30:00+02:00") << ""
                                                << "B=It is 00:30 E=Late bar";
    QTest::newRow("no bar after Sunday night") << at("2026-06-08T00:30:00+02:00") << ""
                                               << "B=It is 00:30";
    QTest::newRow("Christmas, first day") << at("2026-12-24T00:00:00+01:00") << ""
                                          << "B=It is 00:00 C=Merry Christmas";
    QTest::newRow("Christmas, last minute") << at("2026-12-26T21:59:00+01:00") << ""
                                            << "B=It is 21:59 C=Merry Christmas";
    QTest::newRow("after Christmas, Saturday's bar on") << at("2026-12-27T00:00:00+01:00") << ""
                                                        << "B=It is 00:00 E=Late bar";
    QTest::newRow("override: only it runs") << at("2026-12-31T08:00:00+01:00") << ""
                                            << "D=Closed today";
    QTest::newRow("override ends at midnight") << at("2027-01-01T00:00:00+01:00") << ""
                                               << "B=It is 00:00";
    // The clock jumps from 01:59:59 CET to 03:00 CEST.
    QTest::newRow("spring: before the jump, Saturday's bar on") << at("2026-03-29T00:59:59Z") << ""
                                                                << "B=It is 01:59 E=Late bar";
    QTest::newRow("spring: the skipped window never runs, the one into it runs from the jump")
        << at("2026-03-29T01:00:00Z") << ""
        << "B=It is 03:00 G=Into the gap";
    QTest::newRow("spring: until its end") << at("2026-03-29T01:59:00Z") << ""
                                           << "B=It is 03:59 G=Into the gap";
    // The clock shows 02:00 to 02:59 twice: CEST until 01:00 UTC, then CET.
    QTest::newRow("autumn: first 02:20") << at("2026-10-25T00:20:00Z") << ""
                                         << "B=It is 02:20 H=Twice I=Back again";
    QTest::newRow("autumn: first 02:50") << at("2026-10-25T00:50:00Z") << ""
                                         << "B=It is 02:50";
    QTest::newRow("autumn: second 02:10, the window that ends at 02:30 comes again") << at("2026-10-25T01:10:00Z") << ""
                                                                                     << "B=It is 02:10 I=Back again";
    QTest::newRow("autumn: second 02:20") << at("2026-10-25T01:20:00Z") << ""
                                          << "B=It is 02:20 H=Twice I=Back again";
    QTest::newRow("autumn: second 02:45") << at("2026-10-25T01:45:00Z") << ""
                                          << "B=It is 02:45";
}

void TestSchedule::setAtInstants()
{
    QFETCH(QDateTime, instant);
    QFETCH(QString, soup);
    QFETCH(QString, expected);
    const Schedule schedule = readOrFail(kCafe);
    TopicValues values;
    if (!soup.isEmpty())
        values.insert(QStringLiteral("kitchen/soup"), soup);
    const ScheduleState state = scheduleStateAt(schedule, instant, values);
    QCOMPARE(runningSlots(state.set), bytesOf(expected));
    for (const int entry : state.activeEntries)
        QVERIFY(state.set.run(schedule.entries.at(entry).slot));
    QCOMPARE(state.activeEntries.size(), expected.count(QLatin1Char('=')));
    QCOMPARE(state.overriding, expected.startsWith(QLatin1String("D=")));
}

void TestSchedule::stoppedSlotKeepsFirstEntry()
{
    const Schedule schedule = readOrFail("A mon 07:00-11:00 speed 1 Eggs at {time}\n"
                                         "A mon 11:00-14:00 speed 2 Soup\n"
                                         "B tue Tuesday\n");
    // Monday afternoon: A has run both entries and is stopped.
    const ScheduleState state = scheduleStateAt(schedule, at("2026-06-01T15:00:00Z"));
    QCOMPARE(state.set.run(0), false);
    QCOMPARE(state.set.markup(0), QByteArray("Eggs at --"));
    QCOMPARE(int(state.set.speedCode(0)), 1);
    QCOMPARE(state.set.run(1), false);
    QCOMPARE(state.set.markup(1), QByteArray("Tuesday"));
    // No entry: empty, stopped, the speed New gives.
    QCOMPARE(state.set.run(2), false);
    QVERIFY(state.set.isEmpty(2));
    QCOMPARE(state.set.speedCode(2), MessageSet::kDefaultSpeedCode);
    // A stopped clock field does not tick.
    QCOMPARE(state.nextChange, state.nextEntryChange);
}

void TestSchedule::nextChange_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("instant");
    QTest::addColumn<QDateTime>("nextEntryChange"); // invalid: never
    QTest::addColumn<QDateTime>("nextChange");

    const QByteArray cafe(kCafe);
    QTest::newRow("breakfast starts") << cafe << at("2026-06-01T06:00:00+02:00") << at("2026-06-01T07:00:00+02:00")
                                      << at("2026-06-01T06:01:00+02:00");
    QTest::newRow("from breakfast to lunch") << cafe << at("2026-06-01T08:00:30+02:00")
                                             << at("2026-06-01T11:00:00+02:00") << at("2026-06-01T08:01:00+02:00");
    QTest::newRow("Friday's bar") << cafe << at("2026-06-05T15:00:00+02:00") << at("2026-06-05T22:00:00+02:00")
                                  << at("2026-06-05T15:01:00+02:00");
    QTest::newRow("spring: the jump starts a window")
        << cafe << at("2026-03-29T00:30:00Z") << at("2026-03-29T01:00:00Z") << at("2026-03-29T00:31:00Z");
    QTest::newRow("autumn: the second pass of the repeated hour")
        << cafe << at("2026-10-25T00:50:00Z") << at("2026-10-25T01:00:00Z") << at("2026-10-25T00:51:00Z");

    const QByteArray plain("timezone Europe/Berlin\n"
                           "A always Open\n"
                           "B 2026-12-24..2026-12-26 Merry Christmas\n"
                           "C 2026-10-25 02:15-02:45 Twice\n");
    QTest::newRow("weeks ahead, to the range")
        << plain << at("2026-11-01T12:00:00Z") << at("2026-12-24T00:00:00+01:00") << at("2026-12-24T00:00:00+01:00");
    QTest::newRow("the range's end") << plain << at("2026-12-25T12:00:00Z") << at("2026-12-27T00:00:00+01:00")
                                     << at("2026-12-27T00:00:00+01:00");
    QTest::newRow("autumn: a window in the repeated hour, first end")
        << plain << at("2026-10-25T00:20:00Z") << at("2026-10-25T00:45:00Z") << at("2026-10-25T00:45:00Z");
    QTest::newRow("autumn: and its second start")
        << plain << at("2026-10-25T00:45:00Z") << at("2026-10-25T01:15:00Z") << at("2026-10-25T01:15:00Z");
    const QByteArray far("timezone Europe/Berlin\n"
                         "A always Open\n"
                         "B 2027-05-01 May Day\n"
                         "C sat 2027-05-03..2027-05-31 Saturday special\n"
                         "D 2027-03-28 02:30-04:00 Into the gap\n");
    QTest::newRow("months ahead, to a date")
        << far << at("2026-06-01T12:00:00Z") << at("2027-03-28T01:00:00Z") << at("2027-03-28T01:00:00Z");
    QTest::newRow("a day of the week in a range to come")
        << far << at("2027-05-02T12:00:00Z") << at("2027-05-08T00:00:00+02:00") << at("2027-05-08T00:00:00+02:00");
    QTest::newRow("never again") << plain << at("2027-01-01T00:00:00Z") << QDateTime() << QDateTime();
}

void TestSchedule::nextChange()
{
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, instant);
    QFETCH(QDateTime, nextEntryChange);
    QFETCH(QDateTime, nextChange);
    const ScheduleState state = scheduleStateAt(readOrFail(text), instant);
    QCOMPARE(state.nextEntryChange, nextEntryChange);
    QCOMPARE(state.nextChange, nextChange);
}

void TestSchedule::timelineOfFallBackDay()
{
    const QList<ScheduleChange> changes = scheduleTimeline(readOrFail(kCafe), QDate(2026, 10, 25));
    QStringList seen;
    for (const ScheduleChange &change : changes) {
        seen << change.at.toUTC().toString(Qt::ISODate) + QLatin1Char(' ')
                + QString::fromLatin1(runningSlots(change.state.set));
    }
    const QStringList expected{
        // Sunday: Saturday's bar runs on from midnight.
        QStringLiteral("2026-10-24T22:00:00Z B=It is 00:00 E=Late bar"),
        QStringLiteral("2026-10-24T23:00:00Z B=It is 01:00 E=Late bar I=Back again"),
        QStringLiteral("2026-10-25T00:00:00Z B=It is 02:00 I=Back again"),
        QStringLiteral("2026-10-25T00:15:00Z B=It is 02:15 H=Twice I=Back again"),
        QStringLiteral("2026-10-25T00:30:00Z B=It is 02:30 H=Twice"),
        QStringLiteral("2026-10-25T00:45:00Z B=It is 02:45"),
        QStringLiteral("2026-10-25T01:00:00Z B=It is 02:00 I=Back again"),
        QStringLiteral("2026-10-25T01:15:00Z B=It is 02:15 H=Twice I=Back again"),
        QStringLiteral("2026-10-25T01:30:00Z B=It is 02:30 H=Twice"),
        QStringLiteral("2026-10-25T01:45:00Z B=It is 02:45"),
    };
    QCOMPARE(seen, expected);
}

void TestSchedule::readsTerms()
{
    const Schedule schedule =
        readOrFail("timezone Asia/Tokyo\n"
                   "  # indented comment\n"
                   "\n"
                   "a speed 0 fri-mon 22:00-24:00 2026-01-01..2026-02-01 override \"mon special \"\r\n"
                   "T always {{not a field} #5\n");
    QCOMPARE(schedule.zone.id(), QByteArray("Asia/Tokyo"));
    QVERIFY(schedule.zoneNamed);
    QCOMPARE(schedule.entries.size(), 2);
    const ScheduleEntry &first = schedule.entries.at(0);
    QCOMPARE(first.line, 4);
    QCOMPARE(first.slot, 0);
    QCOMPARE(int(first.speedCode), 0);
    // Friday to Monday wraps over the weekend: Mon, Fri, Sat, Sun.
    QCOMPARE(int(first.weekdays), 0b1110001);
    QCOMPARE(first.window, (ScheduleEntry::TimeWindow{22 * 60, 24 * 60}));
    QCOMPARE(first.dates, (ScheduleEntry::DateRange{QDate(2026, 1, 1), QDate(2026, 2, 1)}));
    QVERIFY(first.override);
    QCOMPARE(first.text.withoutValues(schedule.map), QByteArray("mon special "));
    const ScheduleEntry &second = schedule.entries.at(1);
    QCOMPARE(second.slot, 19);
    QCOMPARE(int(second.weekdays), 0);
    QVERIFY(!second.window && !second.dates && !second.override);
    QCOMPARE(second.speedCode, MessageSet::kDefaultSpeedCode);
    QCOMPARE(second.text.withoutValues(schedule.map), QByteArray("{not a field} #5"));
    // Without a timezone line, the system's clock.
    QCOMPARE(readOrFail("A always x").zone, QTimeZone::systemTimeZone());
}

void TestSchedule::parseErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("message"); // a part of it

    QTest::newRow("no slot letter") << QByteArray("U always Hi") << 1 << 1 << "slot letter A to T";
    QTest::newRow("no when") << QByteArray("A Hi there") << 1 << 3 << "says not when it runs";
    QTest::newRow("days in capitals are text") << QByteArray("A Mon-Fri Hi") << 1 << 3 << "says not when";
    QTest::newRow("always with days") << QByteArray("A always mon Hi") << 1 << 3 << "always goes alone";
    QTest::newRow("no time of day") << QByteArray("A 25:00-26:00 Hi") << 1 << 3 << "start is no time of day";
    QTest::newRow("end past midnight") << QByteArray("A 07:00-24:30 Hi") << 1 << 3 << "end is no time of day";
    QTest::newRow("empty window") << QByteArray("A 07:00-07:00 Hi") << 1 << 3 << "the window is empty";
    QTest::newRow("no such date") << QByteArray("A 2026-02-30 Hi") << 1 << 3 << "2026-02-30 is no date";
    QTest::newRow("range backwards") << QByteArray("A 2026-12-26..2026-12-24 Hi") << 1 << 3 << "ends before";
    QTest::newRow("two lists of days") << QByteArray("A mon tue Hi") << 1 << 7 << "a second list of days";
    QTest::newRow("two windows") << QByteArray("A 07:00-08:00 09:00-10:00 Hi") << 1 << 15 << "a second time window";
    QTest::newRow("speed out of range") << QByteArray("A always speed 7 Hi") << 1 << 16 << "speed code from 0";
    QTest::newRow("speed without code") << QByteArray("A always speed") << 1 << 10 << "speed code from 0";
    QTest::newRow("no text") << QByteArray("A always   ") << 1 << 12 << "has no text";
    QTest::newRow("empty quotes") << QByteArray("A always \"\"") << 1 << 11 << "has no text";
    QTest::newRow("unknown field") << QByteArray("A always Hi {foo} there") << 1 << 13 << "'{foo}' is no field";
    QTest::newRow("a control character in a field")
        << QByteArray("A always {fo\x01o}") << 1 << 10 << "'{fo\\x01o}' is no field";
    QTest::newRow("unclosed field") << QByteArray("A always Hi {time") << 1 << 13 << "a { without its }";
    QTest::newRow("wildcard topic") << QByteArray("A always {topic:a/+}") << 1 << 10 << "wildcards";
    QTest::newRow("a topic of the fleet's own")
        << QByteArray("A always {topic:varlo/panel/p/status}") << 1 << 10 << "the fleet's own topics (varlo/...)";
    QTest::newRow("string format") << QByteArray("A always {topic:t|%s}") << 1 << 10 << "number format";
    QTest::newRow("two conversions") << QByteArray("A always {topic:t|%f%f}") << 1 << 10 << "number format";
    QTest::newRow("a character the panel lacks")
        << QByteArray("A always caf\xC3\xA9 {time} \xE2\x98\x83") << 1 << 22 << "can't show “☃” (U+2603)";
    QTest::newRow("not UTF-8") << QByteArray("A always caf\xE9") << 1 << 13 << "not UTF-8";
    QTest::newRow("too long") << QByteArray("A always ") + QByteArray(256, 'x') << 1 << 10 << "256 bytes";
    QTest::newRow("unknown zone") << QByteArray("timezone Mars/Olympus") << 1 << 10 << "'Mars/Olympus'";
    QTest::newRow("a zone's name with a control character") << QByteArray("timezone Europe/\x01"
                                                                          "Berlin")
                                                            << 1 << 10 << "'Europe/\\x01Berlin'";
    QTest::newRow("a long name cut short")
        << QByteArray("timezone ") + QByteArray(40, 'z') << 1 << 10 << "'" + QString(24, QLatin1Char('z')) + "…'";
    QTest::newRow("two zones") << QByteArray("timezone UTC\nA always x\ntimezone UTC") << 3 << 1 << "a second timezone";
    QTest::newRow("unknown language") << QByteArray("locale qq_QQ") << 1 << 8 << "no language";
    QTest::newRow("after comments and blank lines")
        << QByteArray("# c\n\n  # d\nB mon Hi\nC sat,sunday Hi\n") << 5 << 3 << "says not when";
}

void TestSchedule::parseErrors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, message);
    const ScheduleRead read = readSchedule(text);
    QVERIFY(!read.schedule);
    QCOMPARE(read.errorLine, line);
    QCOMPARE(read.errorColumn, column);
    QVERIFY2(read.error.contains(message), qPrintable(read.error));
    QVERIFY(read.errorText().startsWith(QStringLiteral("line %1, column %2: ").arg(line).arg(column)));
}

void TestSchedule::fields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value"); // of topic t; none when empty
    QTest::addColumn<QString>("expected");

    QTest::newRow("a brace") << "{{x}"
                             << ""
                             << "{x}";
    QTest::newRow("the time") << "{time}"
                              << ""
                              << "09:05";
    QTest::newRow("a date format") << "{date:d.M.yy}"
                                   << ""
                                   << "1.6.26";
    QTest::newRow("the default date") << "{date}"
                                      << ""
                                      << "2026-06-01";
    QTest::newRow("the weekday") << "{weekday}"
                                 << ""
                                 << "Monday";
    QTest::newRow("a topic with no value") << "{topic:t}"
                                           << ""
                                           << "--";
    QTest::newRow("a topic's value, trimmed") << "[{topic:t}]"
                                              << " Leek \n"
                                              << "[Leek]";
    QTest::newRow("a number rounded") << "{topic:t|%.0f}°C"
                                      << "21.6"
                                      << "22°C";
    QTest::newRow("a number's width") << "{topic:t|%5.1f}"
                                      << "21.64"
                                      << " 21.6";
    QTest::newRow("a whole number") << "{topic:t|%d}"
                                    << "2.5"
                                    << "3";
    QTest::newRow("no number") << "{topic:t|%.0f}°C"
                               << "warm"
                               << "--°C";
    QTest::newRow("not a finite number") << "{topic:t|%.0f}"
                                         << "inf"
                                         << "--";
    QTest::newRow("a huge whole number") << "{topic:t|%d}"
                                         << "1e300"
                                         << "--";
    QTest::newRow("a tilde shows as one") << "{topic:t}"
                                          << "a~Bb"
                                          << "a~~Bb";
    QTest::newRow("a symbol becomes its picture") << "{topic:t}"
                                                  << "I ♥ it"
                                                  << "I ~H it";
    QTest::newRow("what the font lacks is dropped") << "{topic:t}"
                                                    << "Zürich ☃ snow"
                                                    << "Zürich  snow";
    QTest::newRow("control characters are dropped") << "{topic:t}"
                                                    << "a\tb\x01"
                                                       "c"
                                                    << "abc";
}

void TestSchedule::fields()
{
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(QString, expected);
    const auto live = LiveText::parse(text, PanelCharMap::builtIn());
    QVERIFY(std::holds_alternative<LiveText>(live));
    TopicValues values;
    if (!value.isEmpty())
        values.insert(QStringLiteral("t"), value);
    const QDateTime local(QDate(2026, 6, 1), QTime(9, 5, 59), QTimeZone("Europe/Berlin"));
    QCOMPARE(std::get<LiveText>(live).render(local, QLocale::c(), values, PanelCharMap::builtIn()), bytesOf(expected));
}

void TestSchedule::localeNamesDays()
{
    const Schedule schedule = readOrFail("timezone Europe/Berlin\nlocale de_DE\nA always {weekday}, {date:d. MMMM}\n");
    const ScheduleState state = scheduleStateAt(schedule, at("2026-03-02T10:00:00Z"));
    QCOMPARE(state.set.markup(0), bytesOf(QStringLiteral("Montag, 2. März")));
    // The day's name changes at the minute, as every clock field.
    QCOMPARE(state.nextChange, at("2026-03-02T10:01:00Z"));
}

void TestSchedule::refusesWhatIsNoFile()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    ScheduleRead read = readScheduleFile(folder.path());
    QVERIFY(!read.schedule);
    QCOMPARE(read.errorLine, 0);
    read = readScheduleFile(folder.filePath(QStringLiteral("missing.txt")));
    QVERIFY(!read.schedule);
    QVERIFY(!read.error.isEmpty());
    QFile big(folder.filePath(QStringLiteral("big.txt")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    const QByteArray comment = "# " + QByteArray(1022, 'x') + '\n';
    for (int i = 0; i < 1025; ++i)
        big.write(comment);
    big.close();
    read = readScheduleFile(big.fileName());
    QVERIFY(!read.schedule);
    QVERIFY2(read.error.contains(QLatin1String("over 1 MB, too large for a schedule")), qPrintable(read.error));
}

void TestSchedule::runnerFollowsTheClock()
{
    QDateTime now = at("2026-06-01T10:58:30+02:00");
    ScheduleRunner runner([&now] { return now; });
    QSignalSpy changed(&runner, &ScheduleRunner::changed);
    runner.run(readOrFail("timezone Europe/Berlin\n"
                          "A mon 07:00-11:00 Breakfast\n"
                          "A mon 11:00-14:00 Lunch\n"
                          "B mon 11:00-12:00 At {time}\n"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(runner.state().set.markup(0), QByteArray("Breakfast"));
    // No change before 11:00, and nothing is shown that follows the clock:
    // the runner looks again in a minute, as it always does at the latest.
    QCOMPARE(runner.nextUpdate(), at("2026-06-01T10:59:30+02:00"));
    now = at("2026-06-01T10:59:59+02:00");
    runner.update();
    QCOMPARE(runner.nextUpdate(), at("2026-06-01T11:00:00+02:00"));
    QCOMPARE(changed.size(), 1);
    now = at("2026-06-01T11:00:00+02:00");
    runner.update();
    QCOMPARE(changed.size(), 2);
    QCOMPARE(runner.state().set.markup(0), QByteArray("Lunch"));
    QCOMPARE(runner.state().set.markup(1), QByteArray("At 11:00"));
    // B shows the time: the next minute changes the set.
    QCOMPARE(runner.nextUpdate(), at("2026-06-01T11:01:00+02:00"));
    now = at("2026-06-01T11:00:40+02:00");
    runner.update();
    QCOMPARE(changed.size(), 2);
    now = at("2026-06-01T11:01:00+02:00");
    runner.update();
    QCOMPARE(changed.size(), 3);
    // A clock set back is followed too.
    now = at("2026-06-01T10:00:00+02:00");
    runner.update();
    QCOMPARE(changed.size(), 4);
    QCOMPARE(runner.state().set.markup(0), QByteArray("Breakfast"));

    runner.stop();
    QVERIFY(!runner.nextUpdate().isValid());
    QCOMPARE(runner.state().activeEntries, QList<int>());
    runner.update();
    QCOMPARE(changed.size(), 4);
}

void TestSchedule::runnerFollowsTopics()
{
    QDateTime now = at("2026-06-01T12:00:00Z");
    ScheduleRunner runner([&now] { return now; });
    QSignalSpy changed(&runner, &ScheduleRunner::changed);
    // Kept before a schedule names it.
    runner.setTopicValue(QStringLiteral("garden/temp"), QStringLiteral("20.2"));
    runner.run(readOrFail("A always {topic:garden/temp|%.0f}°C\n"
                          "B 2000-01-01 {topic:kitchen/soup}\n"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(runner.state().set.markup(0), bytesOf(QStringLiteral("20°C")));
    // The same text: no change.
    runner.setTopicValue(QStringLiteral("garden/temp"), QStringLiteral("19.8"));
    QCOMPARE(changed.size(), 1);
    runner.setTopicValue(QStringLiteral("garden/temp"), QStringLiteral("21"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(runner.state().set.markup(0), bytesOf(QStringLiteral("21°C")));
    // A stopped slot shows no value, so its topic changes nothing.
    runner.setTopicValue(QStringLiteral("kitchen/soup"), QStringLiteral("Leek"));
    QCOMPARE(changed.size(), 2);
    QCOMPARE(runner.state().set.markup(1), QByteArray("--"));
    // A new schedule is news, even with the same set.
    runner.run(readOrFail("A always {topic:garden/temp|%.0f}°C\n"));
    QCOMPARE(changed.size(), 3);
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
