// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/messagefile.h"

#include "files/readfile.h"
#include "files/replacefile.h"
#include "model/messageblock.h"

namespace varlo {

using namespace messagefile;

namespace {

QString tooLongMessage(int slotIndex, int most, const char *unit)
{
    return QStringLiteral(" Slot %1 text too long (%2 %3 at most)! ")
        .arg(QLatin1Char(MessageSet::slotLetter(slotIndex)))
        .arg(most)
        .arg(QLatin1String(unit));
}

} // namespace

QString textTooLongMessage(int slotIndex)
{
    return tooLongMessage(slotIndex, kMaxTextSize, "characters");
}

QString slotOverflowMessage(int slotIndex)
{
    return tooLongMessage(slotIndex, block::kCellCapacity, "cells");
}

QString MessageFileWriteResult::message() const
{
    switch (status) {
    case Status::Written:
        break;
    case Status::Failed:
        return QString::fromLatin1(kWriteError);
    case Status::TextTooLong:
        return textTooLongMessage(tooLongSlot);
    }
    return {};
}

int firstTooLongSlot(const MessageSet &set)
{
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        if (set.markup(i).size() > kMaxTextSize)
            return i;
    }
    return -1;
}

QByteArray encodeMessageFile(const MessageSet &set)
{
    // A length byte that disagreed with its text would garble every later
    // slot, so a text too long for one is never written at all.
    if (firstTooLongSlot(set) >= 0)
        return {};

    QByteArray bytes(kHeaderSize, kHeaderByte);
    for (const quint8 code : set.speedCodes())
        bytes.append(static_cast<char>(code));
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        const QByteArray &text = set.markup(i);
        bytes.append(static_cast<char>(text.size()));
        bytes.append(text);
    }
    bytes.append(kTrailer, kTrailerSize);
    return bytes;
}

namespace {

MessageFileReadResult rejected(QString reason = {})
{
    MessageFileReadResult result;
    result.status = MessageFileReadResult::Status::Rejected;
    result.messages << QString::fromLatin1(kReadError);
    result.reason = std::move(reason);
    return result;
}

// Hands out the bytes of a file one field at a time; a field cut by the end
// of the bytes comes back short.
class FieldReader
{
public:
    explicit FieldReader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    bool atEnd() const { return m_pos >= m_bytes.size(); }

    quint8 byte() { return static_cast<quint8>(m_bytes[m_pos++]); }

    QByteArrayView take(qsizetype count)
    {
        const QByteArrayView field = m_bytes.sliced(m_pos, qMin(count, m_bytes.size() - m_pos));
        m_pos += field.size();
        return field;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

} // namespace

MessageFileReadResult decodeMessageFile(QByteArrayView bytes, MessageSet &set)
{
    // Said to the user beneath " File Read Error! ", with the path: the
    // box alone would not tell a truncated copy from a file of another kind.
    if (bytes.isEmpty())
        return rejected(QStringLiteral("The file is empty."));
    if (bytes.size() <= kCheckedHeaderOffset)
        return rejected(QStringLiteral("The file is too short for a message file (%1 bytes).").arg(bytes.size()));
    if (bytes[kCheckedHeaderOffset] != kHeaderByte)
        return rejected(QStringLiteral("Not a message file: its header does not have a space at byte %1.")
                            .arg(kCheckedHeaderOffset + 1));

    // Read into a copy so that the caller's set is replaced in one step.
    MessageSet read = set;
    FieldReader reader(bytes);
    reader.take(kHeaderSize);

    for (quint8 &code : read.speedCodes()) {
        if (reader.atEnd())
            break; // codes past the end keep their values
        code = reader.byte();
    }

    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        if (reader.atEnd()) {
            read.setMarkup(i, {});
            continue;
        }
        QByteArrayView text = reader.take(reader.byte());
        // A zero byte ends the text; the rest of the record is skipped.
        if (const qsizetype zero = text.indexOf('\0'); zero >= 0)
            text.truncate(zero);
        read.setMarkup(i, text.toByteArray());
    }

    MessageFileReadResult result;
    const QByteArrayView trailer = reader.take(kTrailerSize);
    if (trailer.isEmpty() || trailer.front() != kTrailer[0]) {
        result.status = MessageFileReadResult::Status::Damaged;
        result.messages << QString::fromLatin1(kEndNotFound);
    }
    result.changed = !(read == set);
    set = std::move(read);
    return result;
}

MessageFileWriteResult writeMessageFile(const QString &path, const MessageSet &set)
{
    MessageFileWriteResult result;
    const QByteArray bytes = encodeMessageFile(set);
    if (bytes.isEmpty()) {
        result.status = MessageFileWriteResult::Status::TextTooLong;
        result.tooLongSlot = firstTooLongSlot(set);
        return result;
    }

    // A new file beside the old one takes its place only when every byte is
    // on disk: a full disk or a lost folder never leaves half a file, and a
    // shorter set leaves nothing of a longer old file behind.
    result.reason = replaceFile(path, bytes);
    if (!result.reason.isEmpty())
        result.status = MessageFileWriteResult::Status::Failed;
    return result;
}

MessageFileReadResult readMessageFile(const QString &path, MessageSet &set)
{
    const FileRead read = readFile(path, {kMaxMeaningfulSize, "a message file"});
    switch (read.status) {
    case FileRead::Status::Read:
        break;
    case FileRead::Status::TooLarge:
        // Nothing past the longest file that means anything is ever looked
        // at (bytes after the trailer are no part of the file), so a huge
        // file costs no more than a small one.
        break;
    case FileRead::Status::Missing: {
        MessageFileReadResult result = rejected(read.reason);
        result.messages.prepend(path + QLatin1String(kNotFoundSuffix));
        return result;
    }
    case FileRead::Status::NotRegular:
    case FileRead::Status::Failed:
        return rejected(read.reason);
    }
    return decodeMessageFile(read.bytes, set);
}

} // namespace varlo
