// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/panelcharmap.h"
#include "fleet/panelstatus.h"
#include "model/messageset.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace varlo::agent {

// What an agent keeps across restarts.
struct KeptState
{
    // The set the panel should show, and the topic it came from: also the
    // base that a slot text changes.
    std::optional<MessageSet> desired;
    // Its name (hashOfSet), kept with it so that it is worked out once.
    QString desiredHash;
    QString desiredSource;
    QDateTime desiredReceived;
    // The last set uploaded in full, and when and where.
    std::optional<MessageSet> uploadedSet;
    std::optional<fleet::PanelStatus::Upload> uploaded;
    // The character generator table the panel should have, and the last
    // one uploaded.
    std::optional<QByteArray> desiredFont;
    QString desiredFontHash;
    // The font file that table came as, empty when it came bare; and the
    // map of its labels, through which slot texts, schedules and the values
    // of their fields become codes. The built-in map without such a file:
    // a bare table says nothing about what its codes mean.
    QByteArray desiredFontFile;
    PanelCharMap charMap = PanelCharMap::builtIn();
    std::optional<fleet::PanelStatus::Upload> font;
    // When the last upload that reached the port began: the minimum
    // interval counts from here, across restarts too.
    QDateTime lastWriteStart;
    // Per topic, the hash of the last payload seen there: a retained
    // payload the broker sends again on subscribing is only news when it
    // differs.
    QMap<QString, QString> seen;
    // The schedule the panel follows, as the bytes of its file, its hash
    // (hashOfBytes), the topic that brought it and when; none while a plain
    // set is desired. While it runs, the desired set is the schedule's set
    // of the moment.
    std::optional<QByteArray> schedule;
    QString scheduleHash;
    QString scheduleSource;
    QDateTime scheduleReceived;
    // Sets the desired set or font, with its hash.
    void setDesired(const MessageSet &set);
    // A font file that does not read as one, or holds another table, gives
    // the built-in map.
    void setDesiredFont(const QByteArray &table, const QByteArray &fontFile = {});
    void setSchedule(const QByteArray &file, const QString &source, const QDateTime &received);
    void clearSchedule();

    // The topics subscribed to, so that those given up (a group left) can be
    // unsubscribed from the session the broker keeps.
    QStringList topics;
};

// The state folder: plain files that a person can read.
//
//   desired.vlo   the desired set, as a message file
//   uploaded.vlo  the set last uploaded (varlo-cli show reads both)
//   font.bin      the desired character generator table
//   font.vlf      the font file it came as, when it came as one
//   schedule.txt  the schedule that runs (varlo-cli schedule check reads it)
//   state.json    everything else
//
// Every file is replaced in one step (replaceFile), so a kill at any
// moment leaves either the old or the new file. The set files are written
// before state.json, which names them: after a crash between the two, the
// agent at worst uploads once more than it had to.
class StateFolder
{
public:
    explicit StateFolder(QString path);
    QString path() const { return m_path; }

    // Makes the folder when it is missing and reads what is kept there. A
    // file that can't be read is left out with a warning (the agent then
    // uploads again what it may have uploaded already). False, with the
    // reason, when the folder can't be made or written.
    bool open(KeptState *state, QString *error, QStringList *warnings) const;

    // Each returns an empty text, or the reason the file could not be
    // written.
    QString saveDesired(const KeptState &state) const;
    QString saveUploaded(const KeptState &state) const;
    QString saveDesiredFont(const KeptState &state) const;
    // Writes the schedule, or removes its file while none runs.
    QString saveSchedule(const KeptState &state) const;
    QString saveRecord(const KeptState &state) const;

private:
    QString file(const char *name) const;

    QString m_path;
};

} // namespace varlo::agent
