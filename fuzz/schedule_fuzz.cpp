// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as a schedule file. A file refused names a line and
// column that it has, with a short message; a schedule taken gives, at any
// instant and with any topic values, a set that a message file can hold,
// and a next change that is later than now.

#include "files/messagefile.h"
#include "schedule/scheduleengine.h"
#include "schedule/schedulefile.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

namespace {

// A line's length in characters, for the column of an error; 0 when the
// file has no such line.
qsizetype lineCharacters(QByteArrayView text, int lineNo)
{
    qsizetype start = 0;
    for (int n = 1; n < lineNo; ++n) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            return 0;
        start = end + 1;
    }
    const qsizetype end = text.indexOf('\n', start);
    return QString::fromUtf8(text.sliced(start, (end < 0 ? text.size() : end) - start)).toUcs4().size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    const ScheduleRead read = readSchedule(text);
    if (!read.schedule) {
        requireMessage(read.error, "the error of a refused schedule");
        requireMessage(read.errorText(), "the error text of a refused schedule");
        require(read.errorLine >= 0 && read.errorLine <= text.count('\n') + 1, "an error on a line the file lacks");
        require(read.errorColumn >= 0, "an error at a negative column");
        if (read.errorLine > 0 && read.errorColumn > 0)
            require(read.errorColumn <= lineCharacters(text, read.errorLine) + 1, "an error past the end of its line");
        return 0;
    }
    const Schedule &schedule = *read.schedule;

    // Topic values are the world's text: long, with tildes, controls and
    // characters no font has.
    TopicValues values;
    for (const QString &topic : schedule.topics())
        values.insert(topic, QStringLiteral("~~\x1b[2J 12.5 \u202e Zürich ") + QString(300, QLatin1Char('~')));

    const QDateTime instants[] = {
        QDateTime(QDate(2026, 12, 24), QTime(8, 0), schedule.zone),
        QDateTime(QDate(2026, 3, 29), QTime(2, 30), schedule.zone),
    };
    for (const QDateTime &now : instants) {
        for (const TopicValues &given : {TopicValues(), values}) {
            const ScheduleState state = scheduleStateAt(schedule, now, given);
            require(firstTooLongSlot(state.set) < 0, "a set that a message file can't hold");
            for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
                require(!state.set.markup(slot).contains('\0'), "a zero byte in a slot's text");
            require(!state.nextChange.isValid() || state.nextChange > now, "a next change that is not later");
        }
    }
    return 0;
}
