// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "schedule/schedule.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace varlo {

// A schedule file is UTF-8 text, one entry a line:
//
//   # a comment: a line whose first character (after blanks) is #
//   timezone Europe/Berlin      the wall clock (default: the system's)
//   locale de_DE                day and month names (default: English)
//   A  mon-fri 07:00-11:00  speed 3  Breakfast ~H two eggs £3
//   D  2026-12-31 override           Closed today
//
// An entry is its slot letter, then its terms in any order, then its text
// to the end of the line:
//   always                      every day, all day (and alone)
//   mon  mon-fri  sat,sun       days of the week (lower case; fri-mon wraps)
//   07:00-11:00  22:00-02:00    a time window, the start in, the end out;
//                               24:00 ends at midnight; over midnight when
//                               the end is not after the start
//   2026-12-24  2026-12-24..2026-12-26
//                               a day or a range of days, both ends in
//   override                    while it runs, only override entries run
//   speed N                     the speed code, 0 (slowest) to 4 (default)
// Each term once; an entry needs at least one of always, days, window or
// dates. The text goes through the font's map as varlo-cli -m reads text,
// with live fields (LiveText); between double quotes it may begin with a
// word that would be a term, or keep blanks at its ends.
struct ScheduleRead
{
    std::optional<Schedule> schedule; // nothing when the file can't be used
    int errorLine = 0; // the line at fault, 0 for the file as a whole
    int errorColumn = 0; // its column, counting characters from 1; 0 for the line
    QString error;

    // "line 3, column 5: ..." or less, as far as known.
    QString errorText() const;
};

// Strict: the first fault names its line, and nothing is used.
ScheduleRead readSchedule(QByteArrayView text, const PanelCharMap &map = PanelCharMap::builtIn());
// Reads a regular file; anything else (a folder, a pipe, a device) or a
// file larger than any schedule is refused without being read.
ScheduleRead readScheduleFile(const QString &path, const PanelCharMap &map = PanelCharMap::builtIn());

} // namespace varlo
