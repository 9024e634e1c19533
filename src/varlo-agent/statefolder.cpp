// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/statefolder.h"

#include "charset/fontfile.h"
#include "charset/fonttable.h"
#include "files/messagefile.h"
#include "files/readfile.h"
#include "files/replacefile.h"
#include "fleet/fleettopics.h"
#include "fleet/sethash.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace varlo::agent {

namespace {

constexpr char kDesiredFile[] = "desired.vlo";
constexpr char kUploadedFile[] = "uploaded.vlo";
constexpr char kFontFile[] = "font.bin";
constexpr char kFontFileFile[] = "font.vlf";
constexpr char kScheduleFile[] = "schedule.txt";
constexpr char kRecordFile[] = "state.json";
// Far more than a record with a few hundred topics.
constexpr qint64 kMaxRecordBytes = 1024 * 1024;

using fleet::PanelStatus;

// The file's bytes, nothing when it is missing, or a warning. A pipe or
// a device in the folder (or a link to one) is left out unread: the agent
// starts all the same.
std::optional<QByteArray> readKept(const QString &path, const FileLimit &limit, QStringList *warnings)
{
    const FileRead read = readFile(path, limit);
    if (read.status == FileRead::Status::Missing)
        return std::nullopt;
    if (!read.ok()) {
        *warnings << QStringLiteral("%1; left out").arg(read.error());
        return std::nullopt;
    }
    return read.bytes;
}

std::optional<MessageSet> readSet(const QString &path, QStringList *warnings)
{
    const std::optional<QByteArray> bytes =
        readKept(path, {messagefile::kMaxMeaningfulSize, "a message file"}, warnings);
    if (!bytes)
        return std::nullopt;
    MessageSet set;
    set.clearForNew();
    if (!decodeMessageFile(*bytes, set).ok()) {
        *warnings << QStringLiteral("%1: not a whole message file; left out").arg(path);
        return std::nullopt;
    }
    return set;
}

QString saveSet(const QString &path, const std::optional<MessageSet> &set)
{
    if (!set)
        return {};
    const QString reason = replaceFile(path, encodeMessageFile(*set));
    return reason.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(path, reason);
}

} // namespace

void KeptState::setDesired(const MessageSet &set)
{
    desired = set;
    desiredHash = fleet::hashOfShownSet(set);
}

namespace {

// The font file's map when the file reads and draws `table`.
std::optional<PanelCharMap> charMapOf(const QByteArray &fontFile, const QByteArray &table)
{
    if (fontFile.isEmpty())
        return std::nullopt;
    const FontFileRead read = readFontFile(fontFile);
    if (!read.font || read.font->image() != table)
        return std::nullopt;
    return read.font->charMap();
}

} // namespace

void KeptState::setDesiredFont(const QByteArray &table, const QByteArray &fontFile)
{
    desiredFont = table;
    desiredFontHash = fleet::hashOfBytes(table);
    const std::optional<PanelCharMap> map = charMapOf(fontFile, table);
    desiredFontFile = map ? fontFile : QByteArray();
    charMap = map ? *map : PanelCharMap::builtIn();
}

void KeptState::setSchedule(const QByteArray &file, const QString &source, const QDateTime &received)
{
    schedule = file;
    scheduleHash = fleet::hashOfBytes(file);
    scheduleSource = source;
    scheduleReceived = received;
}

void KeptState::clearSchedule()
{
    schedule.reset();
    scheduleHash.clear();
    scheduleSource.clear();
    scheduleReceived = {};
}

StateFolder::StateFolder(QString path)
    : m_path(std::move(path))
{
}

QString StateFolder::file(const char *name) const
{
    return m_path + QLatin1Char('/') + QLatin1String(name);
}

bool StateFolder::open(KeptState *state, QString *error, QStringList *warnings) const
{
    if (!QDir().mkpath(m_path)) {
        *error = QStringLiteral("%1: the state folder can't be made").arg(m_path);
        return false;
    }
    *state = KeptState();
    if (const std::optional<MessageSet> desired = readSet(file(kDesiredFile), warnings))
        state->setDesired(*desired);
    state->uploadedSet = readSet(file(kUploadedFile), warnings);
    // A folder kept by an older agent has the table alone.
    const QByteArray fontFile =
        readKept(file(kFontFileFile), {kMaxFontFileBytes, "a font file"}, warnings).value_or(QByteArray());
    if (const std::optional<QByteArray> font =
            readKept(file(kFontFile), {FontTable::kImageBytes, "a character generator table"}, warnings)) {
        if (font->size() == FontTable::kImageBytes) {
            state->setDesiredFont(*font, fontFile);
            if (!fontFile.isEmpty() && state->desiredFontFile.isEmpty())
                *warnings << QStringLiteral("%1: not a font file of %2; texts are read with the built-in font's map")
                                 .arg(file(kFontFileFile), file(kFontFile));
        } else {
            *warnings << QStringLiteral("%1: not a character generator table; left out").arg(file(kFontFile));
        }
    }

    if (const std::optional<QByteArray> record =
            readKept(file(kRecordFile), {kMaxRecordBytes, "the agent's record"}, warnings)) {
        const QJsonDocument document = QJsonDocument::fromJson(*record);
        if (!document.isObject()) {
            *warnings << QStringLiteral("%1: damaged; the agent starts afresh").arg(file(kRecordFile));
        } else {
            const QJsonObject o = document.object();
            state->desiredSource = o.value(QStringLiteral("desired_source")).toString();
            state->desiredReceived = PanelStatus::timeFromJson(o.value(QStringLiteral("desired_received")));
            state->uploaded = PanelStatus::Upload::fromJson(o.value(QStringLiteral("uploaded")));
            state->font = PanelStatus::Upload::fromJson(o.value(QStringLiteral("font")));
            state->lastWriteStart = PanelStatus::timeFromJson(o.value(QStringLiteral("last_write")));
            const QJsonObject seen = o.value(QStringLiteral("seen")).toObject();
            for (auto it = seen.begin(); it != seen.end(); ++it)
                state->seen.insert(it.key(), it.value().toString());
            for (const QJsonValue &topic : o.value(QStringLiteral("topics")).toArray())
                state->topics << topic.toString();
            // The file alone is no schedule: one left behind by a crash
            // after a set replaced it would come back to life.
            const QString scheduleSource = o.value(QStringLiteral("schedule_source")).toString();
            if (!scheduleSource.isEmpty()) {
                if (const std::optional<QByteArray> schedule =
                        readKept(file(kScheduleFile), {fleet::topics::kMaxScheduleBytes, "a schedule"}, warnings))
                    state->setSchedule(*schedule, scheduleSource,
                                       PanelStatus::timeFromJson(o.value(QStringLiteral("schedule_received"))));
            }
        }
    }
    // An upload record without its set (or the other way round) is no
    // record: upload again.
    if (!state->uploadedSet)
        state->uploaded.reset();

    // Find out now, not at the first upload, that nothing can be kept.
    const QString reason = saveRecord(*state);
    if (!reason.isEmpty()) {
        *error = reason;
        return false;
    }
    return true;
}

QString StateFolder::saveDesired(const KeptState &state) const
{
    const QString reason = saveSet(file(kDesiredFile), state.desired);
    return reason.isEmpty() ? saveRecord(state) : reason;
}

QString StateFolder::saveUploaded(const KeptState &state) const
{
    const QString reason = saveSet(file(kUploadedFile), state.uploadedSet);
    return reason.isEmpty() ? saveRecord(state) : reason;
}

QString StateFolder::saveDesiredFont(const KeptState &state) const
{
    if (state.desiredFont) {
        // The file before the table: after a crash between the two it
        // holds another table and is not used (the font topic's payload,
        // not yet marked as seen, comes again).
        QString reason;
        if (!state.desiredFontFile.isEmpty())
            reason = replaceFile(file(kFontFileFile), state.desiredFontFile);
        else if (QFile::exists(file(kFontFileFile)) && !QFile::remove(file(kFontFileFile)))
            reason = QStringLiteral("can't be removed");
        if (!reason.isEmpty())
            return QStringLiteral("%1: %2").arg(file(kFontFileFile), reason);
        reason = replaceFile(file(kFontFile), *state.desiredFont);
        if (!reason.isEmpty())
            return QStringLiteral("%1: %2").arg(file(kFontFile), reason);
    }
    return saveRecord(state);
}

QString StateFolder::saveSchedule(const KeptState &state) const
{
    if (state.schedule) {
        const QString reason = replaceFile(file(kScheduleFile), *state.schedule);
        if (!reason.isEmpty())
            return QStringLiteral("%1: %2").arg(file(kScheduleFile), reason);
    } else if (QFile::exists(file(kScheduleFile)) && !QFile::remove(file(kScheduleFile))) {
        return QStringLiteral("%1: can't be removed").arg(file(kScheduleFile));
    }
    return saveRecord(state);
}

QString StateFolder::saveRecord(const KeptState &state) const
{
    QJsonObject seen;
    for (auto it = state.seen.begin(); it != state.seen.end(); ++it)
        seen.insert(it.key(), it.value());
    const QJsonObject o{
        {QStringLiteral("desired_source"), state.desiredSource},
        {QStringLiteral("desired_received"), PanelStatus::timeToJson(state.desiredReceived)},
        {QStringLiteral("uploaded"), PanelStatus::Upload::toJson(state.uploaded)},
        {QStringLiteral("font"), PanelStatus::Upload::toJson(state.font)},
        {QStringLiteral("last_write"), PanelStatus::timeToJson(state.lastWriteStart)},
        {QStringLiteral("seen"), seen},
        {QStringLiteral("topics"), QJsonArray::fromStringList(state.topics)},
        {QStringLiteral("schedule_source"), state.scheduleSource},
        {QStringLiteral("schedule_received"), PanelStatus::timeToJson(state.scheduleReceived)},
    };
    const QString reason = replaceFile(file(kRecordFile), QJsonDocument(o).toJson());
    return reason.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(file(kRecordFile), reason);
}

} // namespace varlo::agent
