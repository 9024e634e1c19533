// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/messageset.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace varlo {

// A message file (.vlo) keeps the 20 slot texts and speed codes of a set:
//
//   0        15 bytes header, written as spaces; only offset 2 is checked
//   15       20 speed codes, slot A first, taken as stored
//   35       20 slot records, A to T: a length byte, then that many text bytes
//   ...      trailer "END"; only the E is checked, nothing after it is read
//
// Run flags are not part of the file. Nothing here shows anything: the
// functions return what happened and the caller shows the messages.
namespace messagefile {
inline constexpr int kHeaderSize = 15;
inline constexpr int kCheckedHeaderOffset = 2;
inline constexpr char kHeaderByte = ' ';
inline constexpr int kSpeedCodesOffset = kHeaderSize;
inline constexpr int kRecordsOffset = kSpeedCodesOffset + MessageSet::kSlotCount;
inline constexpr int kMaxTextSize = 255; // what one length byte can say
inline constexpr char kTrailer[] = "END";
inline constexpr int kTrailerSize = 3;
// A set of 20 empty slots.
inline constexpr int kEmptySetSize = kRecordsOffset + MessageSet::kSlotCount + kTrailerSize;
// The reader never looks further than this into a file.
inline constexpr int kMaxMeaningfulSize = kRecordsOffset + MessageSet::kSlotCount * (1 + kMaxTextSize) + kTrailerSize;

// The texts the user sees, worded exactly as the program always has.
inline constexpr char kNotFoundSuffix[] = " File No Found !"; // follows the path
inline constexpr char kReadError[] = " File Read Error! ";
inline constexpr char kEndNotFound[] = " End of File not found! ";
inline constexpr char kWriteError[] = " File Write Error! ";
} // namespace messagefile

// " Slot X text too long (255 characters at most)! " for the slot index.
QString textTooLongMessage(int slotIndex);
// " Slot X text too long (125 cells at most)! ": more than the panel holds
// in a slot (see markupOverflows).
QString slotOverflowMessage(int slotIndex);

struct MessageFileReadResult
{
    enum class Status {
        Read, // the whole file was read, no message
        Rejected, // missing, unreadable or a bad header: the set is unchanged
        Damaged, // no trailer where it belongs: the set holds what was read
    };

    Status status = Status::Read;
    // What to show the user, in this order (empty when the file was read).
    QStringList messages;
    // Why the file was rejected: the operating system's reason for a file
    // that could not be opened or read, or what is wrong with its bytes
    // (empty, too short, not a message file); empty otherwise.
    QString reason;
    // True when a slot text or a speed code now differs from before.
    bool changed = false;

    bool ok() const { return status == Status::Read; }
    // The file's contents replaced the set's texts and speed codes.
    bool replaced() const { return status != Status::Rejected; }
};

struct MessageFileWriteResult
{
    enum class Status {
        Written,
        Failed, // the file system refused; the old file is intact
        TextTooLong, // a text does not fit the file; nothing was written
    };

    Status status = Status::Written;
    // The operating system's reason when the write failed.
    QString reason;
    // The first slot whose text is over the limit, or -1.
    int tooLongSlot = -1;

    bool ok() const { return status == Status::Written; }
    // The one message to show, or an empty text when the set was written.
    QString message() const;
};

// The first slot whose text is too long for a message file, or -1.
int firstTooLongSlot(const MessageSet &set);

// The bytes of the set's message file, or nothing when a slot's text is too
// long for it (see firstTooLongSlot).
QByteArray encodeMessageFile(const MessageSet &set);

// Reads message file bytes into the set's slot texts and speed codes, as
// leniently as the program always has: any header with a space at offset 2,
// any speed code, any trailer starting with E. A zero byte ends a slot's text.
// When the bytes end early, a slot whose record is cut gets what is there,
// later slots become empty and later speed codes keep their values. Run flags
// are never touched, and a rejected header leaves the set as it was.
MessageFileReadResult decodeMessageFile(QByteArrayView bytes, MessageSet &set);

// Writes the set to the file at the path. The file is replaced in one step,
// so a failure at any point leaves the old file as it was; only a regular
// file (or a link to one) that its owner may write is replaced, keeping its
// owner and mode (see replaceFile).
MessageFileWriteResult writeMessageFile(const QString &path, const MessageSet &set);

// Reads the file at the path into the set (see decodeMessageFile), through
// readFile: a pipe, device or folder is rejected unread, and nothing past
// kMaxMeaningfulSize is read. The file is opened read-only, so read-only
// files open normally.
MessageFileReadResult readMessageFile(const QString &path, MessageSet &set);

} // namespace varlo
