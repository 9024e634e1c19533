// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/payloads.h"

#include "charset/fontfile.h"
#include "charset/fonttable.h"
// The map between panel bytes and characters: the same one the window's
// slot boxes use, so that a slot published as text reads as typed there.
#include "charset/panelcharmap.h"
#include "files/messagefile.h"
#include "fleet/fleettopics.h"
#include "schedule/schedulefile.h"
#include "model/inputexcerpt.h"

#include <QStringDecoder>

#include <algorithm>

namespace varlo::agent {

namespace {

template <typename T>
Checked<T> refuse(const QString &problem)
{
    return {std::nullopt, problem};
}

// Where the message file in the bytes ends: after its header, speed codes,
// 20 records of a length byte and that many bytes, and END. -1 when the
// bytes end before that.
qsizetype messageFileEnd(QByteArrayView bytes)
{
    qsizetype at = messagefile::kRecordsOffset;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        if (at >= bytes.size())
            return -1;
        at += 1 + quint8(bytes[at]);
    }
    at += messagefile::kTrailerSize;
    return at <= bytes.size() ? at : -1;
}

// A slot's text is at most 255 panel characters; written as UTF-8, with
// pictures as escapes, it stays well under this.
constexpr qint64 kMaxSlotPayloadBytes = 4096;
// A value shows in a slot of at most 255 characters; more is no value
// anyone means to show.
constexpr qint64 kMaxTopicValueBytes = 1024;

} // namespace

qint64 largestPayloadBytes()
{
    return std::max(
        {messagesPayloadLimit(), slotPayloadLimit(), fontPayloadLimit(), schedulePayloadLimit(), topicValueLimit()});
}

qint64 messagesPayloadLimit()
{
    return messagefile::kMaxMeaningfulSize;
}

qint64 slotPayloadLimit()
{
    return kMaxSlotPayloadBytes;
}

qint64 fontPayloadLimit()
{
    return kMaxFontFileBytes;
}

qint64 schedulePayloadLimit()
{
    return fleet::topics::kMaxScheduleBytes;
}

qint64 topicValueLimit()
{
    return kMaxTopicValueBytes;
}

QString tooLargeReason(qint64 bytes, qint64 limit)
{
    return QStringLiteral("%1 bytes, too large: this topic takes %2 bytes at most").arg(bytes).arg(limit);
}

Checked<MessageSet> checkSetPayload(const QByteArray &payload)
{
    if (payload.size() > messagesPayloadLimit())
        return refuse<MessageSet>(tooLargeReason(payload.size(), messagesPayloadLimit()));
    MessageSet set;
    set.clearForNew();
    const MessageFileReadResult result = decodeMessageFile(payload, set);
    if (result.status == MessageFileReadResult::Status::Rejected)
        return refuse<MessageSet>(
            QStringLiteral("not a message file: %1 bytes without a message file's header").arg(payload.size()));
    if (result.status == MessageFileReadResult::Status::Damaged)
        return refuse<MessageSet>(QStringLiteral("not a whole message file: its END is missing, so it is cut short "
                                                 "or damaged"));
    // The window reads such a file as the set before the junk; a publisher
    // that sent it meant something else, or the bytes were damaged.
    if (const qsizetype end = messageFileEnd(payload); end >= 0 && end < payload.size())
        return refuse<MessageSet>(
            QStringLiteral("not a message file: %1 bytes after its END").arg(payload.size() - end));
    return {set, {}};
}

Checked<QByteArray> checkSlotPayload(const QByteArray &payload, const PanelCharMap &map)
{
    if (payload.size() > slotPayloadLimit())
        return refuse<QByteArray>(tooLargeReason(payload.size(), slotPayloadLimit()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(payload);
    if (decoder.hasError())
        return refuse<QByteArray>(QStringLiteral("the slot text is not UTF-8"));
    // As varlo-cli reads -m: pictures as their escapes, typographic marks as
    // their plain look-alikes, and anything else the panel can't draw refused.
    const PanelCharMap::Conversion converted = map.fromText(text);
    if (converted.undrawable)
        return refuse<QByteArray>(QStringLiteral("the panel can't draw %1, character %2 of the slot text")
                                      .arg(converted.undrawable->describe())
                                      .arg(converted.undrawable->column));
    const QByteArray &markup = converted.bytes;
    // A zero byte would end the slot's text in the state folder's message
    // file, and the slot would lose the rest.
    if (markup.contains('\0'))
        return refuse<QByteArray>(
            QStringLiteral("the slot text holds %1, the zero byte, which a slot can't hold").arg(map.toChar(0)));
    if (markup.size() > messagefile::kMaxTextSize)
        return refuse<QByteArray>(QStringLiteral("the slot text has %1 characters; a slot keeps %2 at most")
                                      .arg(markup.size())
                                      .arg(messagefile::kMaxTextSize));
    return {markup, {}};
}

Checked<Schedule> checkSchedulePayload(const QByteArray &payload, const PanelCharMap &map)
{
    if (payload.size() > schedulePayloadLimit())
        return refuse<Schedule>(tooLargeReason(payload.size(), schedulePayloadLimit()));
    const ScheduleRead read = readSchedule(payload, map);
    if (!read.schedule)
        return refuse<Schedule>(QStringLiteral("not a schedule: %1").arg(read.errorText()));
    return {*read.schedule, {}};
}

Checked<QString> checkTopicValue(const QByteArray &payload)
{
    if (payload.size() > topicValueLimit())
        return refuse<QString>(tooLargeReason(payload.size(), topicValueLimit()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(payload);
    if (decoder.hasError())
        return refuse<QString>(QStringLiteral("the value is not UTF-8"));
    return {text, {}};
}

QString slotDisplayText(const QByteArray &markup, const PanelCharMap &map)
{
    return map.toDisplay(markup);
}

Checked<FontPayload> checkFontPayload(const QByteArray &payload)
{
    // The character generator's own 4,096 bytes, or a font file (.vlf),
    // whose text is always far longer than that.
    if (payload.size() == FontTable::kImageBytes)
        return {FontPayload{payload, {}}, {}};
    if (payload.size() > fontPayloadLimit())
        return refuse<FontPayload>(tooLargeReason(payload.size(), fontPayloadLimit()));
    const FontFileRead read = readFontFile(payload);
    if (!read.font)
        return refuse<FontPayload>(QStringLiteral("not a font: %1 bytes instead of %2 for a character generator "
                                                  "table, and not a font file (.vlf): %3")
                                       .arg(payload.size())
                                       .arg(FontTable::kImageBytes)
                                       .arg(inputExcerpt(read.errorText(), 2 * kExcerptCharacters)));
    return {FontPayload{read.font->image(), payload}, {}};
}

} // namespace varlo::agent
