// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule engine: how long the state at an instant, with the next
// change, and a day's timeline take for a small schedule and a busy one.

#include "benchtable.h"

#include "schedule/scheduleengine.h"
#include "schedule/schedulefile.h"

#include <QCoreApplication>

using namespace varlo;
using namespace varlo::bench;

namespace {

const char kCafe[] = "timezone Europe/Berlin\n"
                     "A mon-fri 07:00-11:00 speed 3 Breakfast ~H two eggs\n"
                     "A mon-fri 11:00-14:00 Soup of the day, {topic:kitchen/soup}\n"
                     "B always It is {time:HH:mm}, {topic:garden/temp|%.0f}°C\n"
                     "C 2026-12-24..2026-12-26 Merry Christmas ~H\n"
                     "D 2026-12-31 override Closed today\n";

// Every slot busy: a window for each hour of the working day on weekdays,
// weekend entries, and a date range a week long for every slot over the
// year, 200 entries in all.
QByteArray busySchedule()
{
    QByteArray text = "timezone Europe/Berlin\n";
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        const char letter = MessageSet::slotLetter(slot);
        for (int hour = 8; hour < 16; ++hour) {
            text += QStringLiteral("%1 mon-fri %2:%3-%4:%3 Hour %2 of slot %1\n")
                        .arg(QLatin1Char(letter))
                        .arg(hour, 2, 10, QLatin1Char('0'))
                        .arg(slot % 4 * 15, 2, 10, QLatin1Char('0'))
                        .arg(hour + 1, 2, 10, QLatin1Char('0'))
                        .toUtf8();
        }
        text += QStringLiteral("%1 sat,sun 10:00-18:00 Weekend %1\n").arg(QLatin1Char(letter)).toUtf8();
        const QDate first = QDate(2026, 1, 5).addDays(slot * 17);
        text +=
            QStringLiteral("%1 %2..%3 Week of %1\n")
                .arg(QString(QLatin1Char(letter)), first.toString(Qt::ISODate), first.addDays(6).toString(Qt::ISODate))
                .toUtf8();
    }
    return text;
}

void measure(const char *name, const QByteArray &text)
{
    const ScheduleRead read = readSchedule(text);
    if (!read.schedule)
        qFatal("%s: %s", name, qPrintable(read.errorText()));
    const Schedule &schedule = *read.schedule;
    const QDateTime instant = QDateTime(QDate(2026, 6, 3), QTime(9, 30), QTimeZone("Europe/Berlin"));
    const std::vector<Timing> timings = measureSideBySide({
                                                              [&] { scheduleStateAt(schedule, instant); },
                                                              [&] { scheduleTimeline(schedule, QDate(2026, 6, 3)); },
                                                          },
                                                          21);
    printRow(format("schedule, %s (%lld entries): the state at an instant with its next change", name,
                    qlonglong(schedule.entries.size())),
             format("%.2f ms", timings[0].wallMs), "< 10 ms");
    printRow(
        format("  a day's timeline (%lld changes)", qlonglong(scheduleTimeline(schedule, QDate(2026, 6, 3)).size())),
        format("%.1f ms", timings[1].wallMs));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    measure("a café", kCafe);
    measure("every slot busy", busySchedule());
    return 0;
}
