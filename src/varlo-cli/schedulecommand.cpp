// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/schedulecommand.h"

#include "varlo-cli/clicommand.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/fleetsession.h"
#include "varlo-cli/showcommand.h"
#include "schedule/scheduleengine.h"
#include "schedule/schedulefile.h"
#include "files/readfile.h"
#include "fleet/fleettopics.h"

#include <QRegularExpression>

namespace varlo::cli {

namespace {

const QString kAt = QStringLiteral("at");
const QString kDay = QStringLiteral("day");
const QString kPanel = QStringLiteral("panel");
const QString kGroup = QStringLiteral("group");

// FILE:LINE:COLUMN: error: ..., as a compiler says it.
void printScheduleError(const QString &file, const ScheduleRead &read)
{
    QString where = file;
    if (read.errorLine > 0)
        where += QStringLiteral(":%1").arg(read.errorLine);
    if (read.errorColumn > 0)
        where += QStringLiteral(":%1").arg(read.errorColumn);
    printMessage(QStringLiteral("%1: error: %2").arg(where, read.error));
}

QString offsetText(const QDateTime &instant)
{
    const int seconds = instant.offsetFromUtc();
    return QStringLiteral("UTC%1%2:%3")
        .arg(QLatin1Char(seconds < 0 ? '-' : '+'))
        .arg(qAbs(seconds) / 3600, 2, 10, QLatin1Char('0'))
        .arg(qAbs(seconds) / 60 % 60, 2, 10, QLatin1Char('0'));
}

// "2026-06-01 08:00 (UTC+02:00): A line 4, B line 6" and the lines show
// prints for the slots that run.
QString stateText(const Schedule &schedule, const QString &when, const QDateTime &local, const ScheduleState &state,
                  const PanelCharMap &map)
{
    QStringList entries;
    for (const int index : state.activeEntries) {
        const ScheduleEntry &entry = schedule.entries.at(index);
        entries << QStringLiteral("%1 line %2%3")
                       .arg(QLatin1Char(MessageSet::slotLetter(entry.slot)))
                       .arg(entry.line)
                       .arg(entry.override ? QStringLiteral(" (override)") : QString());
    }
    QString text = QStringLiteral("%1 (%2): %3\n")
                       .arg(when, offsetText(local),
                            entries.isEmpty() ? QStringLiteral("no slot runs") : entries.join(QStringLiteral(", ")));
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        if (state.set.run(slot))
            text += slotLine(state.set, slot, false, map);
    }
    return text;
}

QString zoneName(const Schedule &schedule)
{
    return QString::fromUtf8(schedule.zone.id());
}

// --at 'YYYY-MM-DD HH:MM', with seconds or an offset if need be: the
// instant, or nothing after a usage error.
std::optional<QDateTime> atValue(CommandLine &line, const Schedule &schedule)
{
    static const QRegularExpression shape(QStringLiteral(
        "^([0-9]{4}-[0-9]{2}-[0-9]{2})[ T]([0-9]{2}:[0-9]{2}(?::[0-9]{2})?) *(Z|[+-][0-9]{2}:[0-9]{2})?$"));
    const QString given = line.parser().value(kAt).trimmed();
    const QRegularExpressionMatch match = shape.match(given);
    const QDate date = QDate::fromString(match.captured(1), Qt::ISODate);
    const QTime time = QTime::fromString(match.captured(2), Qt::ISODate);
    if (!match.hasMatch() || !date.isValid() || !time.isValid()) {
        line.usageError(QStringLiteral("--at %1: not a time as 'YYYY-MM-DD HH:MM'").arg(given));
        return std::nullopt;
    }
    if (!match.captured(3).isEmpty()) {
        const QDateTime instant = QDateTime::fromString(
            match.captured(1) + QLatin1Char('T') + match.captured(2) + match.captured(3), Qt::ISODate);
        if (!instant.isValid()) {
            line.usageError(QStringLiteral("--at %1: not a time as 'YYYY-MM-DD HH:MM+01:00'").arg(given));
            return std::nullopt;
        }
        return instant;
    }
    const QList<QDateTime> instants = instantsOfWallTime(schedule.zone, date, time.msecsSinceStartOfDay() / 1000);
    if (instants.isEmpty()) {
        line.usageError(QStringLiteral("--at %1: the clock skips that time in %2 (daylight saving begins)")
                            .arg(given, zoneName(schedule)));
        return std::nullopt;
    }
    // The clock shows an hour twice when daylight saving ends: the first,
    // unless an offset says otherwise.
    return instants.first();
}

int checkAt(const Schedule &schedule, const QDateTime &instant, const PanelCharMap &map)
{
    const QDateTime local = instant.toTimeZone(schedule.zone);
    const ScheduleState state = scheduleStateAt(schedule, instant);
    QString text = zoneName(schedule) + QLatin1Char('\n');
    text +=
        stateText(schedule, QLocale::c().toString(local, QStringLiteral("yyyy-MM-dd HH:mm dddd")), local, state, map);
    if (state.nextEntryChange.isValid()) {
        const QDateTime next = state.nextEntryChange.toTimeZone(schedule.zone);
        text += QStringLiteral("next change %1 (%2)\n")
                    .arg(next.toString(QStringLiteral("yyyy-MM-dd HH:mm")), offsetText(next));
    } else {
        text += QStringLiteral("no change to come\n");
    }
    printOut(text);
    return ExitDone;
}

int timeline(const Schedule &schedule, QDate day, const PanelCharMap &map)
{
    QString text = QStringLiteral("%1, %2\n")
                       .arg(zoneName(schedule), QLocale::c().toString(day, QStringLiteral("yyyy-MM-dd dddd")));
    for (const ScheduleChange &change : scheduleTimeline(schedule, day)) {
        const QDateTime local = change.at.toTimeZone(schedule.zone);
        text += stateText(schedule, local.toString(QStringLiteral("HH:mm")), local, change.state, map);
    }
    if (schedule.hasClockField())
        text += QStringLiteral("(the time, the date and the weekday are shown as at each change; they follow "
                               "the clock every minute)\n");
    printOut(text);
    return ExitDone;
}

int runCheck(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("schedule check"), QStringLiteral("FILE [--at 'YYYY-MM-DD HH:MM' | --day YYYY-MM-DD]"),
        QStringLiteral(
            "Reads a schedule file and prints what it puts on the panel. With --at, the slots that run at that "
            "time of the schedule's clock (its timezone line, or this system's), with the lines of their "
            "entries, as show prints slots, and when that changes next. Without it, the timeline of a day, "
            "today unless --day names another: the panel at midnight, then each change, when, and what runs "
            "after it.\n\n"
            "The time, the date and the weekday in texts are shown at that moment; a topic field shows "
            "-- (no value yet). A fault in the file is printed as FILE:LINE:COLUMN: error: ..., with the "
            "exit status 3.\n\n"
            "On the day daylight saving ends the clock shows an hour twice: --at takes the first, or the "
            "one an offset names, as '2026-10-25 02:30 +01:00'."),
        QStringLiteral("varlo-cli schedule check cafe.schedule --at '2026-06-01 08:00'"));
    line.addFileArgument(QStringLiteral("FILE"), QStringLiteral("The schedule file."));
    line.parser().addOption({kAt, QStringLiteral("The time to show, as 'YYYY-MM-DD HH:MM'."), QStringLiteral("TIME")});
    line.parser().addOption({kDay, QStringLiteral("The day of the timeline (default: today)."), QStringLiteral("DAY")});
    line.addFontOption();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    if (line.parser().isSet(kAt) && line.parser().isSet(kDay))
        return line.usageError(QStringLiteral("--at and --day go one at a time"));
    QDate day;
    if (line.parser().isSet(kDay)) {
        day = QDate::fromString(line.parser().value(kDay), Qt::ISODate);
        if (!day.isValid())
            return line.usageError(QStringLiteral("--day %1: not a day as YYYY-MM-DD").arg(line.parser().value(kDay)));
    }
    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();
    const std::optional<PanelCharMap> map = line.charMap();
    if (!map)
        return line.failureStatus();

    const ScheduleRead read = readScheduleFile(*file, *map);
    if (!read.schedule) {
        printScheduleError(*file, read);
        return ExitFileFailed;
    }
    const Schedule &schedule = *read.schedule;
    if (line.parser().isSet(kAt)) {
        const std::optional<QDateTime> instant = atValue(line, schedule);
        return instant ? checkAt(schedule, *instant, *map) : ExitUsage;
    }
    if (!day.isValid())
        day = QDateTime::currentDateTimeUtc().toTimeZone(schedule.zone).date();
    return timeline(schedule, day, *map);
}

int runPublish(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("schedule publish"),
        QStringLiteral("FILE --broker URL (--panel NAME | --group G)... [--font FILE.vlf] [--wait SECONDS] "
                       "[--tls-ca FILE] [--credentials FILE]"),
        QStringLiteral(
            "Publishes a schedule file, retained, to panels and groups on an MQTT broker, where each panel's "
            "varlo-agent runs it: it takes the place of the set published there before (and a set published "
            "later takes its place). The file is checked first, as schedule check does, with the characters "
            "of the font the panels' agents read it with: the built-in font's, or those of the font file "
            "published to the panels, which --font names; a fault is printed as FILE:LINE:COLUMN: error: ..., "
            "with the exit status 3, and nothing is published.\n\n"
            "Then waits until every panel concerned says it runs the schedule and holds its set of the "
            "moment, and prints one line per panel, as publish does. Exit status 0 as soon as every panel "
            "confirmed; 1 when the wait ran out first, or an agent refused the schedule."),
        QStringLiteral("varlo-cli schedule publish cafe.schedule --broker mqtt://hub.local --group all"));
    line.addFileArgument(QStringLiteral("FILE"), QStringLiteral("The schedule file."));
    line.parser().addOption(
        {kPanel, QStringLiteral("A panel to publish to, by its agent's --name; repeatable."), QStringLiteral("NAME")});
    line.parser().addOption({kGroup,
                             QStringLiteral("A group to publish to; every panel whose agent is in it runs the "
                                            "schedule, also those that join later. Repeatable."),
                             QStringLiteral("G")});
    line.addFontOption(QStringLiteral("Check the texts with this .vlf font file's labels: the font published to "
                                      "the panels' font topic, with which their agents read the schedule. "
                                      "Default: the built-in fonts, as agents without a published font read it "
                                      "(not the font in use)."));
    FleetSession session(line);
    session.addOptions();
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<QString> file = line.file(true);
    if (!file)
        return line.failureStatus();
    const std::optional<PanelCharMap> map =
        line.parser().isSet(QStringLiteral("font")) ? line.charMap() : PanelCharMap::builtIn();
    if (!map)
        return line.failureStatus();
    const QStringList panels = line.parser().values(kPanel);
    const QStringList groups = line.parser().values(kGroup);
    if (panels.isEmpty() && groups.isEmpty())
        return line.usageError(QStringLiteral("name a --panel or a --group to publish to"));
    if (!session.readOptions())
        return session.failureStatus();

    // The bytes checked are the bytes published; no agent takes more.
    const FileRead bytes = readFile(*file, {fleet::topics::kMaxScheduleBytes, "a schedule"});
    if (!bytes.ok()) {
        printMessage(bytes.error());
        return ExitFileFailed;
    }
    const ScheduleRead read = readSchedule(bytes.bytes, *map);
    if (!read.schedule) {
        printScheduleError(*file, read);
        return ExitFileFailed;
    }

    if (!session.connect())
        return ExitFailed;
    session.followFailures();
    QString error;
    if (!session.client().publishSchedule(bytes.bytes, panels, groups, session.secondsLeft(), &error))
        return line.usageError(error);
    return session.reportOutcomes();
}

} // namespace

int runSchedule(const QStringList &arguments)
{
    const QString usage = QStringLiteral("Usage: varlo-cli schedule check FILE [--at 'YYYY-MM-DD HH:MM' | --day "
                                         "YYYY-MM-DD]\n"
                                         "       varlo-cli schedule publish FILE --broker URL (--panel NAME | "
                                         "--group G)...\n\n"
                                         "Messages that follow the clock. Commands:\n"
                                         "  check    Print what a schedule file puts on the panel, at a time or "
                                         "over a day.\n"
                                         "  publish  Publish a schedule file for the panels' agents to run.\n\n"
                                         "Run 'varlo-cli schedule COMMAND --help' for its options.\n");
    const QString sub = arguments.value(1);
    if (sub == QLatin1String("--help") || sub == QLatin1String("-h")) {
        printOut(usage);
        return ExitDone;
    }
    if (sub == QLatin1String("check"))
        return runCheck(arguments.mid(1));
    if (sub == QLatin1String("publish"))
        return runPublish(arguments.mid(1));
    if (sub.isEmpty())
        return usageError(QStringLiteral("a command is missing: check or publish"), QStringLiteral("schedule"));
    return usageError(QStringLiteral("unknown command '%1'").arg(sub), QStringLiteral("schedule"));
}

} // namespace varlo::cli
