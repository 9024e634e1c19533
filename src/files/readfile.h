// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace varlo {

// What a kind of file can meaningfully hold, and its name in messages.
struct FileLimit
{
    qint64 maxBytes = 0;
    const char *kind = ""; // "a font file"
};

struct FileRead
{
    enum class Status {
        Read,
        Missing, // nothing by that name (or a link to nothing)
        NotRegular, // a folder, pipe, device or socket: never read
        TooLarge, // larger than the limit; bytes holds its start
        Failed, // the system refused, such as "Permission denied"
    };

    Status status = Status::Read;
    QString path;
    // The file's bytes; for a file larger than the limit, the first
    // maxBytes of them.
    QByteArray bytes;
    // Why it was not read, such as "No such file or directory", "Not a
    // regular file" or "over 64 KB, too large for a credentials file";
    // empty when it was.
    QString reason;
    // The file's permission bits, as it was read.
    QFileDevice::Permissions permissions;

    bool ok() const { return status == Status::Read; }
    // "PATH: REASON", the one way every program says why a file was not read.
    QString error() const { return path + QLatin1String(": ") + reason; }
};

// Reads a file a user named, or one a program keeps its state in, without
// ever waiting on it: a named pipe, a device, a socket or a folder (or a link
// to one) is refused without being read, so neither a pipe nobody writes nor
// /dev/zero can hang a program or fill its memory. At most limit.maxBytes
// are kept, whatever the file's size claims (files under /proc say 0), and
// a larger file is TooLarge.
FileRead readFile(const QString &path, const FileLimit &limit);

} // namespace varlo
