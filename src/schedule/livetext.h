// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/markuptext.h"
#include "charset/panelcharmap.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace varlo {

// The latest value of each MQTT topic a schedule names, as UTF-8 text.
using TopicValues = QHash<QString, QString>;

// A slot text of a schedule: markup with live fields in braces, filled in
// at the moment it is shown.
//
//   {time}  {time:FORMAT}     the time, "HH:mm" unless a Qt time format is given
//   {date}  {date:FORMAT}     the date, "yyyy-MM-dd" unless a Qt date format is given
//   {weekday}                 the day's name, as "Monday"
//   {topic:NAME}              the latest value of the MQTT topic NAME
//   {topic:NAME|FORMAT}       the same as a number, FORMAT one printf
//                             conversion of f, e, g or d (%.0f, %5.1f, %d)
//   {{                        one brace
//
// Everything outside the fields is read at once through the font's map, so
// a character the panel can't show is an error of the file. A value is the
// world's text and comes later: its characters the font lacks (after the
// map's look-alikes and pictures) are dropped rather than losing the whole
// value to "--", so "Zürich" on a font without ü still says "Zrich" rather
// than nothing; its tildes are doubled, so that a value shows as it is and
// never turns on bold or flash for the rest of the slot. A field with no
// value yet, or a number format over a value that is no number, shows "--".
class LiveText
{
public:
    static constexpr char kNoValue[] = "--";

    struct Field
    {
        enum class Kind { Time, Date, Weekday, Topic };
        Kind kind = Kind::Time;
        QString format; // the Qt format, or the number format of a topic
        QString topic;

        friend bool operator==(const Field &, const Field &) = default;
    };

    // The text as written in the file; an error's column counts characters
    // from 1 for the text's first.
    static std::variant<LiveText, TextError> parse(const QString &text, const PanelCharMap &map);

    // A time, date or weekday field: the text changes with the clock.
    bool hasClockField() const;
    // The topics of the topic fields, each once, in order.
    QStringList topics() const;

    // The slot's bytes at the local time (in the schedule's zone), with
    // the locale's day and month names. An invalid time shows clock fields
    // as "--".
    QByteArray render(const QDateTime &localTime, const QLocale &locale, const TopicValues &values,
                      const PanelCharMap &map) const;
    // Every field as "--".
    QByteArray withoutValues(const PanelCharMap &map) const;

    friend bool operator==(const LiveText &, const LiveText &) = default;

private:
    struct Piece
    {
        QByteArray literal; // markup, when field is not set
        std::optional<Field> field;

        friend bool operator==(const Piece &, const Piece &) = default;
    };

    QList<Piece> m_pieces;
};

// A value from outside as markup through the map: tildes doubled, control
// bytes and characters the font lacks dropped.
QByteArray markupOfValue(const QString &value, const PanelCharMap &map);

} // namespace varlo
