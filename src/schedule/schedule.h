// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "schedule/scheduleentry.h"
#include "charset/panelcharmap.h"

#include <QList>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>

namespace varlo {

// A schedule file, read: the wall clock it follows, the language of its
// day and month names, its entries in the order of the file (a later line
// wins over an earlier one of its slot) and the font map its texts were
// read through, which the values of its fields go through too.
struct Schedule
{
    // The zone the file names, or the system's.
    QTimeZone zone = QTimeZone::systemTimeZone();
    bool zoneNamed = false;
    QLocale locale = QLocale::c();
    QList<ScheduleEntry> entries;
    PanelCharMap map = PanelCharMap::builtIn();

    // Every topic the texts name, each once, in the order of the file.
    QStringList topics() const;
    // Whether any text shows the time, the date or the weekday.
    bool hasClockField() const;
    // The index of the slot's first entry, or -1.
    int firstEntryOf(int slot) const;
};

} // namespace varlo
