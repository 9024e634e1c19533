// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace varlo::fleet {

// What an agent says about itself and its panel, published retained as JSON
// on varlo/panel/NAME/status. Whether the agent is there is said apart, on
// varlo/panel/NAME/availability ("online", and "offline" as its last will):
// an agent that dies leaves its last status standing, so that what its
// panel holds stays known. A reader puts the two together (withAvailability).
//
//   name, online, groups, port      who it is and the --port it was given
//   state                           "idle", "uploading", "held" (waiting for
//                                   the minimum interval), "retrying" (after
//                                   a failure), "no panel" (the health probe
//                                   got no answer) or "offline"
//   desired {hash, source, received}  the set it holds as the panel's desired
//                                   state and the topic that brought it
//   uploaded {hash, time, port, slots}  the last good message upload, with
//                                   the 20 slot texts (UTF-8) it sent
//   font {hash, time, port}         the last good character generator upload
//   error {text, reason, time}      why the last upload failed ("Serial port
//                                   can't open!" and the system's reason);
//                                   null once one succeeds
//   refused {topic, reason, time, payload_sha256}  the last payload refused
//   schedule {hash, source, received, active, next_change}  the schedule it
//                                   runs (hash of the file's bytes, the topic
//                                   that brought it), the entries that run
//                                   now as [{slot, line}], and when the set
//                                   can change next (null: never); null while
//                                   it runs none
//   held_until, retry_at            when a held-back or failed upload runs
//   version, time                   the agent's version; when this was said
//
// Times are UTC in ISO 8601 with milliseconds; hashes as in sethash.h.
// Absent or null fields read as "none", so that older and newer agents and
// readers get along.
struct PanelStatus
{
    enum class State { Idle, Uploading, Held, Retrying, Offline, NoPanel };

    struct Desired
    {
        QString hash;
        QString source;
        QDateTime received;
    };
    struct Upload
    {
        QString hash;
        QDateTime time;
        QString port;

        // {hash, time, port}; null for none.
        static QJsonValue toJson(const std::optional<Upload> &upload);
        static std::optional<Upload> fromJson(const QJsonValue &value);
    };
    struct Problem
    {
        QString text;
        QString reason;
        QDateTime time;
    };
    struct Refusal
    {
        QString topic;
        QString reason;
        QDateTime time;
        QString payloadHash;
    };

    struct ActiveEntry
    {
        char slot = 'A';
        int line = 0; // in the schedule file, from 1

        friend bool operator==(const ActiveEntry &, const ActiveEntry &) = default;
    };
    struct ScheduleRun
    {
        QString hash;
        QString source;
        QDateTime received;
        QList<ActiveEntry> active;
        QDateTime nextChange;
    };

    QString name;
    bool online = false;
    QStringList groups;
    QString port;
    State state = State::Idle;
    std::optional<Desired> desired;
    std::optional<Upload> uploaded;
    // The texts of slots A to T of the last good upload (20, or none).
    QStringList uploadedSlots;
    std::optional<Upload> font;
    std::optional<Problem> error;
    std::optional<Refusal> refused;
    std::optional<ScheduleRun> schedule;
    QDateTime heldUntil;
    QDateTime retryAt;
    QString version;
    QDateTime time;

    // The status as the availability topic has it: offline (state
    // "offline") or online. A status without news from that topic keeps
    // what it says itself, as older agents say it there.
    PanelStatus withAvailability(const QByteArray &availability) const;

    QByteArray toJson() const;
    // Nothing, with the reason in *error, for a payload that is not a JSON
    // object with a name.
    static std::optional<PanelStatus> fromJson(const QByteArray &json, QString *error);

    static QString stateName(State state);
    // How much of a status's own words (a port, a group, an error, a
    // refusal's reason) a reader shows: enough for every reason an agent
    // gives.
    static constexpr qsizetype kQuotedCharacters = 200;
    // A status's words as a person is shown them. Any client on the broker
    // can publish a status, so they are quoted as input is: control
    // characters escaped (a line break or ESC would forge lines or steer
    // the terminal) and cut short.
    static QString quoted(const QString &text);
    // A time as the status writes it (null for an invalid one), and back.
    static QJsonValue timeToJson(const QDateTime &time);
    static QDateTime timeFromJson(const QJsonValue &value);
};

} // namespace varlo::fleet
