// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/panelstatus.h"

#include "fleet/fleettopics.h"
#include "model/inputexcerpt.h"
#include "model/messageset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace varlo::fleet {

namespace {

using State = PanelStatus::State;

constexpr std::array kStateNames = {
    std::pair{State::Idle, "idle"},       std::pair{State::Uploading, "uploading"},
    std::pair{State::Held, "held"},       std::pair{State::Retrying, "retrying"},
    std::pair{State::Offline, "offline"}, std::pair{State::NoPanel, "no panel"},
};

QJsonValue scheduleToJson(const std::optional<PanelStatus::ScheduleRun> &run)
{
    if (!run)
        return QJsonValue();
    QJsonArray active;
    for (const PanelStatus::ActiveEntry &entry : run->active)
        active.append(QJsonObject{{QStringLiteral("slot"), QString(QLatin1Char(entry.slot))},
                                  {QStringLiteral("line"), entry.line}});
    return QJsonObject{{QStringLiteral("hash"), run->hash},
                       {QStringLiteral("source"), run->source},
                       {QStringLiteral("received"), PanelStatus::timeToJson(run->received)},
                       {QStringLiteral("active"), active},
                       {QStringLiteral("next_change"), PanelStatus::timeToJson(run->nextChange)}};
}

std::optional<PanelStatus::ScheduleRun> scheduleFromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    PanelStatus::ScheduleRun run{o.value(QStringLiteral("hash")).toString(),
                                 o.value(QStringLiteral("source")).toString(),
                                 PanelStatus::timeFromJson(o.value(QStringLiteral("received"))),
                                 {},
                                 PanelStatus::timeFromJson(o.value(QStringLiteral("next_change")))};
    for (const QJsonValue &item : o.value(QStringLiteral("active")).toArray()) {
        const QJsonObject entry = item.toObject();
        const QString letter = entry.value(QStringLiteral("slot")).toString();
        // Only slots a panel has: the words come from anyone on the broker.
        const int slot = letter.size() == 1 ? MessageSet::slotIndex(letter.front().toLatin1()) : -1;
        if (slot < 0)
            continue;
        run.active << PanelStatus::ActiveEntry{MessageSet::slotLetter(slot),
                                               entry.value(QStringLiteral("line")).toInt()};
    }
    return run;
}

} // namespace

QJsonValue PanelStatus::timeToJson(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QDateTime PanelStatus::timeFromJson(const QJsonValue &value)
{
    QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(value.toString(), Qt::ISODate);
    return time;
}

QJsonValue PanelStatus::Upload::toJson(const std::optional<Upload> &upload)
{
    if (!upload)
        return QJsonValue();
    return QJsonObject{{QStringLiteral("hash"), upload->hash},
                       {QStringLiteral("time"), timeToJson(upload->time)},
                       {QStringLiteral("port"), upload->port}};
}

std::optional<PanelStatus::Upload> PanelStatus::Upload::fromJson(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    return Upload{o.value(QStringLiteral("hash")).toString(), timeFromJson(o.value(QStringLiteral("time"))),
                  o.value(QStringLiteral("port")).toString()};
}

QString PanelStatus::stateName(State state)
{
    for (const auto &[value, name] : kStateNames) {
        if (value == state)
            return QString::fromLatin1(name);
    }
    return {};
}

QString PanelStatus::quoted(const QString &text)
{
    return inputExcerpt(text.trimmed(), kQuotedCharacters);
}

PanelStatus PanelStatus::withAvailability(const QByteArray &availability) const
{
    PanelStatus merged = *this;
    if (availability == topics::kOffline) {
        merged.online = false;
        merged.state = State::Offline;
    } else if (availability == topics::kOnline && !online) {
        // An offline status followed by an online availability: the agent
        // is back and its new status on its way.
        merged.online = true;
        merged.state = State::Idle;
    }
    return merged;
}

QByteArray PanelStatus::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("online"), online);
    o.insert(QStringLiteral("groups"), QJsonArray::fromStringList(groups));
    o.insert(QStringLiteral("port"), port);
    o.insert(QStringLiteral("state"), stateName(state));
    o.insert(QStringLiteral("desired"),
             desired ? QJsonValue(QJsonObject{{QStringLiteral("hash"), desired->hash},
                                              {QStringLiteral("source"), desired->source},
                                              {QStringLiteral("received"), timeToJson(desired->received)}})
                     : QJsonValue());
    QJsonValue uploadedValue = Upload::toJson(uploaded);
    if (uploaded) {
        // By letter, so that a template can say value_json.uploaded.slots.C.
        QJsonObject slotTexts;
        for (int slot = 0; slot < uploadedSlots.size() && slot < MessageSet::kSlotCount; ++slot)
            slotTexts.insert(QString(QLatin1Char(MessageSet::slotLetter(slot))), uploadedSlots.at(slot));
        QJsonObject upload = uploadedValue.toObject();
        upload.insert(QStringLiteral("slots"), slotTexts);
        uploadedValue = upload;
    }
    o.insert(QStringLiteral("uploaded"), uploadedValue);
    o.insert(QStringLiteral("font"), Upload::toJson(font));
    o.insert(QStringLiteral("error"),
             error ? QJsonValue(QJsonObject{{QStringLiteral("text"), error->text},
                                            {QStringLiteral("reason"), error->reason},
                                            {QStringLiteral("time"), timeToJson(error->time)}})
                   : QJsonValue());
    o.insert(QStringLiteral("refused"),
             refused ? QJsonValue(QJsonObject{{QStringLiteral("topic"), refused->topic},
                                              {QStringLiteral("reason"), refused->reason},
                                              {QStringLiteral("time"), timeToJson(refused->time)},
                                              {QStringLiteral("payload_sha256"), refused->payloadHash}})
                     : QJsonValue());
    o.insert(QStringLiteral("schedule"), scheduleToJson(schedule));
    o.insert(QStringLiteral("held_until"), timeToJson(heldUntil));
    o.insert(QStringLiteral("retry_at"), timeToJson(retryAt));
    o.insert(QStringLiteral("version"), version);
    o.insert(QStringLiteral("time"), timeToJson(time));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<PanelStatus> PanelStatus::fromJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                              : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject o = document.object();
    PanelStatus status;
    status.name = o.value(QStringLiteral("name")).toString();
    if (status.name.isEmpty()) {
        *error = QStringLiteral("no name");
        return std::nullopt;
    }
    status.online = o.value(QStringLiteral("online")).toBool();
    for (const QJsonValue &group : o.value(QStringLiteral("groups")).toArray())
        status.groups << group.toString();
    status.port = o.value(QStringLiteral("port")).toString();
    const QString state = o.value(QStringLiteral("state")).toString();
    status.state = status.online ? State::Idle : State::Offline;
    for (const auto &[value, name] : kStateNames) {
        if (state == QLatin1String(name))
            status.state = value;
    }
    if (const QJsonValue desired = o.value(QStringLiteral("desired")); desired.isObject()) {
        const QJsonObject d = desired.toObject();
        status.desired =
            Desired{d.value(QStringLiteral("hash")).toString(), d.value(QStringLiteral("source")).toString(),
                    timeFromJson(d.value(QStringLiteral("received")))};
    }
    status.uploaded = Upload::fromJson(o.value(QStringLiteral("uploaded")));
    if (status.uploaded) {
        const QJsonObject slotTexts =
            o.value(QStringLiteral("uploaded")).toObject().value(QStringLiteral("slots")).toObject();
        for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
            status.uploadedSlots << slotTexts.value(QString(QLatin1Char(MessageSet::slotLetter(slot)))).toString();
    }
    status.font = Upload::fromJson(o.value(QStringLiteral("font")));
    if (const QJsonValue problem = o.value(QStringLiteral("error")); problem.isObject()) {
        const QJsonObject p = problem.toObject();
        status.error = Problem{p.value(QStringLiteral("text")).toString(), p.value(QStringLiteral("reason")).toString(),
                               timeFromJson(p.value(QStringLiteral("time")))};
    }
    if (const QJsonValue refusal = o.value(QStringLiteral("refused")); refusal.isObject()) {
        const QJsonObject r = refusal.toObject();
        status.refused = Refusal{
            r.value(QStringLiteral("topic")).toString(), r.value(QStringLiteral("reason")).toString(),
            timeFromJson(r.value(QStringLiteral("time"))), r.value(QStringLiteral("payload_sha256")).toString()};
    }
    status.schedule = scheduleFromJson(o.value(QStringLiteral("schedule")));
    status.heldUntil = timeFromJson(o.value(QStringLiteral("held_until")));
    status.retryAt = timeFromJson(o.value(QStringLiteral("retry_at")));
    status.version = o.value(QStringLiteral("version")).toString();
    status.time = timeFromJson(o.value(QStringLiteral("time")));
    return status;
}

} // namespace varlo::fleet
