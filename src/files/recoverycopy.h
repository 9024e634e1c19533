// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/messageset.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace varlo {

// A copy of messages not yet saved, kept in a folder of the user's own so
// that they outlive whatever ends the program before a save: a question
// answered Cancel, a crash, a logout that kills it, a power cut. It holds
// the slot texts and speed codes, the name of the document's file and when
// it was written; unlike a message file it takes texts of any length, since
// an unsaved set may hold one too long for a message file.
//
// Writes go through replaceFile, so a copy is always whole: the one before
// or the new one.
class RecoveryCopy
{
public:
    // The most a copy is read of: twenty long texts fit many times over.
    static constexpr qint64 kMaxSize = 4 << 20;

    struct Found
    {
        MessageSet set;
        QString fileName;
        QDateTime writtenAt;
    };

    // No folder: nothing is ever kept, found or removed.
    explicit RecoveryCopy(QString folder = QString());

    bool isEnabled() const { return !m_folder.isEmpty(); }
    QString path() const;

    // Returns an empty text, or why the copy could not be written.
    QString write(const MessageSet &set, const QString &fileName,
                  const QDateTime &writtenAt = QDateTime::currentDateTimeUtc()) const;
    // The copy, when there is one that reads as one.
    std::optional<Found> read() const;
    void remove() const;

private:
    QString m_folder;
};

} // namespace varlo
