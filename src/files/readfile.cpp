// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/readfile.h"

#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varlo {

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

FileRead refused(FileRead read, FileRead::Status status, QString reason)
{
    read.status = status;
    read.reason = std::move(reason);
    read.bytes.clear();
    return read;
}

// A folder says so; anything else that is not a regular file is just that.
FileRead notRegular(FileRead read, mode_t mode)
{
    return refused(std::move(read), FileRead::Status::NotRegular,
                   S_ISDIR(mode) ? qt_error_string(EISDIR) : QStringLiteral("Not a regular file"));
}

QFileDevice::Permissions permissionsOf(mode_t mode)
{
    QFileDevice::Permissions permissions;
    const std::pair<mode_t, QFileDevice::Permission> bits[] = {
        {S_IRUSR, QFileDevice::ReadOwner}, {S_IWUSR, QFileDevice::WriteOwner}, {S_IXUSR, QFileDevice::ExeOwner},
        {S_IRGRP, QFileDevice::ReadGroup}, {S_IWGRP, QFileDevice::WriteGroup}, {S_IXGRP, QFileDevice::ExeGroup},
        {S_IROTH, QFileDevice::ReadOther}, {S_IWOTH, QFileDevice::WriteOther}, {S_IXOTH, QFileDevice::ExeOther},
    };
    for (const auto &[bit, permission] : bits) {
        if (mode & bit)
            permissions |= permission;
    }
    return permissions;
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

FileRead readFile(const QString &path, const FileLimit &limit)
{
    FileRead read;
    read.path = path;
    const QByteArray name = QFile::encodeName(path);

    // Look before opening: even an open that does not wait can do something
    // to a device (a serial line's modem lines change as it opens).
    struct stat entry
    {};
    if (::stat(name.constData(), &entry) != 0) {
        const int error = errno;
        return refused(std::move(read), error == ENOENT ? FileRead::Status::Missing : FileRead::Status::Failed,
                       qt_error_string(error));
    }
    if (!S_ISREG(entry.st_mode))
        return notRegular(std::move(read), entry.st_mode);

    // Something else may take the name between the look and the open, so
    // the open never waits (a pipe opens at once this way) and what was
    // opened is looked at again.
    int fd = -1;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return refused(std::move(read), error == ENOENT ? FileRead::Status::Missing : FileRead::Status::Failed,
                       qt_error_string(error));
    }
    const Descriptor file(fd);
    if (::fstat(file.get(), &entry) != 0)
        return refused(std::move(read), FileRead::Status::Failed, qt_error_string(errno));
    if (!S_ISREG(entry.st_mode))
        return notRegular(std::move(read), entry.st_mode);
    read.permissions = permissionsOf(entry.st_mode);

    // One byte more than the limit tells a file that is larger. The size
    // the file claims only decides how much room to make at first.
    const qint64 wanted = limit.maxBytes + 1;
    read.bytes.reserve(qsizetype(qBound<qint64>(0, qint64(entry.st_size), wanted)));
    while (read.bytes.size() < wanted) {
        const qsizetype start = read.bytes.size();
        const qsizetype chunk = qsizetype(qMin(kChunkBytes, wanted - start));
        read.bytes.resize(start + chunk);
        const ssize_t got = ::read(file.get(), read.bytes.data() + start, size_t(chunk));
        const int error = errno;
        read.bytes.resize(start + qMax<ssize_t>(got, 0));
        if (got < 0 && error == EINTR)
            continue;
        if (got < 0)
            return refused(std::move(read), FileRead::Status::Failed, qt_error_string(error));
        if (got == 0)
            break;
    }
    if (read.bytes.size() > limit.maxBytes) {
        read.bytes.truncate(qsizetype(limit.maxBytes));
        read.status = FileRead::Status::TooLarge;
        read.reason =
            QStringLiteral("over %1, too large for %2").arg(sizeText(limit.maxBytes), QLatin1String(limit.kind));
    }
    return read;
}

} // namespace varlo
