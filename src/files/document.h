// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/messagefile.h"
#include "model/messageset.h"

#include <QObject>
#include <QString>

namespace varlo {

// The document the window edits: the message set, the name of its file and
// the modified flag, which says whether it holds changes not yet saved. It
// runs New, Open, Save and Save As on paths; asking the user for a path or a
// confirmation, and showing what went wrong, is the window's part.
//
// Nothing here loses work: a file that can't be read or written leaves the
// set, the file name and the modified flag as they were.
class Document : public QObject
{
    Q_OBJECT

public:
    // The caption is the prefix, the file name and the suffix. The prefix is
    // "Varlo V3.00", nineteen spaces and "[".
    static constexpr char kCaptionPrefix[] = "Varlo V3.00                   [";
    static constexpr char kCaptionSuffix[] = "]";

    // An empty set under the untitled name, without changes.
    explicit Document(QObject *parent = nullptr);

    const MessageSet &messageSet() const { return m_set; }
    QString fileName() const { return m_fileName; }
    bool isModified() const { return m_modified; }
    // Saving it needs a name first (see documentname::isUntitled).
    bool isUntitled() const;
    QString caption() const;

    // The user's edits. A text that differs from the slot's, and every step
    // of a speed (MessageSet::nextSpeedCode), are changes. The run flags are
    // settings of the upload and not kept in the file, so they are none.
    void setMarkup(int slot, const QByteArray &markup);
    void stepSpeed(int slot);
    void setRun(int slot, bool run);
    // Gives the slots the texts and speed codes of `set`, as Open does; each
    // text that differs is a change. Run flags stay.
    void takeTextsAndSpeedCodes(const MessageSet &set);

    // New: every text empty, every speed code the default, the untitled name.
    // It asks nothing and saves nothing; a text it empties is a change like
    // any other, and the run flags stay.
    void newDocument();
    // Reads the file. Unless it is rejected (missing, unreadable, a wrong
    // header: then nothing changes), what was read replaces the texts and
    // speed codes, the path becomes the file name and the modified flag
    // clears; after a damaged trailer, what could be read is kept so. The
    // result holds the messages to show.
    MessageFileReadResult open(const QString &path);
    // Writes the set to its file, or to `path`. Once it is written, that is
    // the file name and the modified flag clears.
    // Takes back messages that were never saved (see RecoveryCopy): their
    // texts and speed codes under the name they had, and still unsaved, so
    // that an untitled set is saved through the Save dialog and a named one
    // to its own file. Run flags stay.
    void restoreUnsaved(const MessageSet &set, const QString &fileName);
    MessageFileWriteResult save();
    MessageFileWriteResult saveAs(const QString &path);

signals:
    // The text or speed code of one slot changed.
    void slotChanged(int slot);
    // Any slot's text and speed code may have changed at once.
    void slotsReplaced();
    void fileNameChanged();
    // The set was written to `path`, which is the file name now.
    void saved(const QString &path);

private:
    // Without a signal: the caller tells what changed once it is done.
    void replaceTextsAndSpeedCodes(const MessageSet &set);
    void setFileName(const QString &name);

    MessageSet m_set;
    QString m_fileName;
    bool m_modified = false;
};

} // namespace varlo
