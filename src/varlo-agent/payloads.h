// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/panelcharmap.h"
#include "model/messageset.h"
#include "schedule/schedule.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace varlo::agent {

// What the agent makes of a payload: what it carries, or why it is refused.
// A refused payload sends nothing to the panel.
template <typename T>
struct Checked
{
    std::optional<T> value;
    QString problem; // set exactly when value is not
};

// The most bytes the agent takes on any topic: a font file. Larger payloads
// are not even copied (MqttClient::setMaxPayloadBytes).
qint64 largestPayloadBytes();
// The most bytes a payload on a message, slot or font topic may have;
// anything larger is refused before it is looked at.
qint64 messagesPayloadLimit();
qint64 slotPayloadLimit();
qint64 fontPayloadLimit();
qint64 schedulePayloadLimit();
// The most bytes of a value on a topic that a schedule's field names.
qint64 topicValueLimit();
// The reason a payload of that many bytes is refused.
QString tooLargeReason(qint64 bytes, qint64 limit);

// A message file. Refused: bytes that don't read as a whole message file
// (a bad header, no END where it belongs, bytes after END), and more bytes
// than any message file holds.
Checked<MessageSet> checkSetPayload(const QByteArray &payload);

// The UTF-8 text of a slot topic, as the slot's bytes: each character
// becomes the byte the panel draws it with in `map` (the map of the font the
// panel is to hold), as in the window's slot boxes.
// Refused: bytes that are not UTF-8, a character the panel can't draw (the
// reason names it), and texts longer than a message file can keep.
Checked<QByteArray> checkSlotPayload(const QByteArray &payload, const PanelCharMap &map);
// A schedule file (schedulefile.h), its texts (and later the values of its
// fields) read through `map`. Refused: more bytes than a schedule takes, a file with a
// fault (the reason names its line as varlo-cli schedule check does), and a
// topic field on the fleet's own topics (varlo/...).
Checked<Schedule> checkSchedulePayload(const QByteArray &payload, const PanelCharMap &map);
// The value of a topic a schedule names, as text. Refused: bytes that are
// not UTF-8, and more than topicValueLimit().
Checked<QString> checkTopicValue(const QByteArray &payload);

// A slot's bytes as the window's slot box shows them, for the status.
QString slotDisplayText(const QByteArray &markup, const PanelCharMap &map);

// A font for the panel: its character generator table and, when it came as
// a font file (.vlf), that file, whose labels say which character each code
// draws.
struct FontPayload
{
    QByteArray table;
    QByteArray file; // empty for a bare table
};

// A character generator table: exactly the 4,096 bytes of the two fonts,
// or a font file (.vlf), read into those 4,096 bytes. Anything else is
// refused with a reason that says what it is not.
Checked<FontPayload> checkFontPayload(const QByteArray &payload);

} // namespace varlo::agent
