// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/payloads.h"

#include "charset/fontfile.h"
#include "charset/fonttable.h"
// The map between panel bytes and characters: the same one the window's
// slot boxes use, so that a slot published as text reads as typed there.
#include "charset/panelcharmap.h"
#include "files/messagefile.h"

#include <QStringDecoder>

namespace varlo::agent {

namespace {

template <typename T>
Checked<T> refuse(const QString &problem)
{
    return {std::nullopt, problem};
}

} // namespace

Checked<MessageSet> checkSetPayload(const QByteArray &payload)
{
    if (payload.size() > messagefile::kMaxMeaningfulSize)
        return refuse<MessageSet>(QStringLiteral("not a message file: %1 bytes, and a message file holds %2 at most")
                                      .arg(payload.size())
                                      .arg(messagefile::kMaxMeaningfulSize));
    MessageSet set;
    set.clearForNew();
    const MessageFileReadResult result = decodeMessageFile(payload, set);
    if (result.status == MessageFileReadResult::Status::Rejected)
        return refuse<MessageSet>(
            QStringLiteral("not a message file: %1 bytes without a message file's header").arg(payload.size()));
    if (result.status == MessageFileReadResult::Status::Damaged)
        return refuse<MessageSet>(QStringLiteral("not a whole message file: its END is missing, so it is cut short "
                                                 "or damaged"));
    return {set, {}};
}

Checked<QByteArray> checkSlotPayload(const QByteArray &payload)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(payload);
    if (decoder.hasError())
        return refuse<QByteArray>(QStringLiteral("the slot text is not UTF-8"));
    // As varlo-cli reads -m: pictures as their escapes, typographic marks as
    // their plain look-alikes, and anything else the panel can't draw refused.
    const PanelCharMap::Conversion converted = PanelCharMap::builtIn().fromText(text);
    if (converted.undrawable)
        return refuse<QByteArray>(QStringLiteral("the panel can't draw %1, character %2 of the slot text")
                                      .arg(converted.undrawable->describe())
                                      .arg(converted.undrawable->column));
    const QByteArray &markup = converted.bytes;
    // A zero byte would end the slot's text in the state folder's message
    // file, and the slot would lose the rest.
    if (markup.contains('\0'))
        return refuse<QByteArray>(QStringLiteral("the slot text holds %1, the zero byte, which a slot can't hold")
                                      .arg(PanelCharMap::builtIn().toChar(0)));
    if (markup.size() > messagefile::kMaxTextSize)
        return refuse<QByteArray>(QStringLiteral("the slot text has %1 characters; a slot keeps %2 at most")
                                      .arg(markup.size())
                                      .arg(messagefile::kMaxTextSize));
    return {markup, {}};
}

QString slotDisplayText(const QByteArray &markup)
{
    return PanelCharMap::builtIn().toDisplay(markup);
}

Checked<QByteArray> checkFontPayload(const QByteArray &payload)
{
    // The character generator's own 4,096 bytes, or a font file (.vlf),
    // whose text is always far longer than that.
    if (payload.size() == FontTable::kImageBytes)
        return {payload, {}};
    const FontFileRead read = readFontFile(payload);
    if (!read.font)
        return refuse<QByteArray>(QStringLiteral("not a font: %1 bytes instead of %2 for a character generator "
                                                 "table, and not a font file (.vlf): %3")
                                      .arg(payload.size())
                                      .arg(FontTable::kImageBytes)
                                      .arg(read.errorText()));
    return {read.font->image(), {}};
}

} // namespace varlo::agent
