// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/recoverycopy.h"

#include "files/readfile.h"
#include "files/replacefile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace varlo {

namespace {

// One copy per user: the program keeps one document open at a time.
const QString kFileName = QStringLiteral("unsaved.json");
const QString kFormat = QStringLiteral("varlo unsaved messages 1");

} // namespace

RecoveryCopy::RecoveryCopy(QString folder)
    : m_folder(std::move(folder))
{
}

QString RecoveryCopy::path() const
{
    return isEnabled() ? QDir(m_folder).filePath(kFileName) : QString();
}

QString RecoveryCopy::write(const MessageSet &set, const QString &fileName, const QDateTime &writtenAt) const
{
    if (!isEnabled())
        return {};
    if (!QDir().mkpath(m_folder))
        return QStringLiteral("Can't make the folder %1").arg(m_folder);
    QJsonArray texts;
    QJsonArray speedCodes;
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        // The texts are panel bytes, not characters of any encoding.
        texts.append(QString::fromLatin1(set.markup(i).toBase64()));
        speedCodes.append(int(set.speedCode(i)));
    }
    const QJsonObject copy{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("fileName"), fileName},
        {QStringLiteral("writtenAt"), writtenAt.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("texts"), texts},
        {QStringLiteral("speedCodes"), speedCodes},
    };
    return replaceFile(path(), QJsonDocument(copy).toJson());
}

std::optional<RecoveryCopy::Found> RecoveryCopy::read() const
{
    if (!isEnabled())
        return std::nullopt;
    // Read as every file is: a pipe put in its place must not hold up the
    // window's start.
    const FileRead file = readFile(path(), {kMaxSize, "a copy of unsaved messages"});
    if (!file.ok())
        return std::nullopt;
    const QJsonObject copy = QJsonDocument::fromJson(file.bytes).object();
    const QJsonArray texts = copy.value(QStringLiteral("texts")).toArray();
    const QJsonArray speedCodes = copy.value(QStringLiteral("speedCodes")).toArray();
    if (copy.value(QStringLiteral("format")).toString() != kFormat || texts.size() != MessageSet::kSlotCount
        || speedCodes.size() != MessageSet::kSlotCount)
        return std::nullopt;

    Found found;
    found.fileName = copy.value(QStringLiteral("fileName")).toString();
    found.writtenAt =
        QDateTime::fromString(copy.value(QStringLiteral("writtenAt")).toString(), Qt::ISODateWithMs).toUTC();
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        const auto decoded =
            QByteArray::fromBase64Encoding(texts.at(i).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        const int code = speedCodes.at(i).toInt(-1);
        if (!decoded || code < 0 || code > 255)
            return std::nullopt;
        found.set.setMarkup(i, *decoded);
        found.set.setSpeedCode(i, quint8(code));
    }
    if (found.fileName.isEmpty() || !found.writtenAt.isValid())
        return std::nullopt;
    return found;
}

void RecoveryCopy::remove() const
{
    if (isEnabled())
        QFile::remove(path());
}

} // namespace varlo
