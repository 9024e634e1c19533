// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/replacefile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace varlo {

namespace {

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinkDepth = 40;

// The path a save writes to: the end of a chain of symbolic links, even when
// the last link points at nothing yet. Empty after a loop.
QString followLinks(QString path)
{
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        const QFileInfo entry(path);
        if (!entry.isSymLink())
            return path;
        path = entry.symLinkTarget();
    }
    return {};
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

QString systemReason(int errorNumber)
{
    return qt_error_string(errorNumber);
}

// Past a file size limit (ulimit -f) the system sends SIGXFSZ, which ends
// the process on the spot: no message, and the temporary file stays. With
// the signal ignored the write fails with EFBIG instead and the save says
// "File too large" as it says any other reason. A handler the program set
// up itself is left alone.
void ignoreFileSizeSignal()
{
    // Looked at every time: a program may set it back, and a forked child
    // starts from its parent's setting.
    struct sigaction current
    {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

// The standard stream the file is, if it is one: a link to /proc/self/fd/1,
// or the name the shell sent the output to, would otherwise lose the
// program's own output to the save.
const char *standardStreamOf(const struct stat &file)
{
    static constexpr const char *kStreams[] = {"standard input", "standard output", "standard error"};
    for (int fd = 0; fd < 3; ++fd) {
        struct stat stream
        {};
        if (::fstat(fd, &stream) == 0 && S_ISREG(stream.st_mode) && stream.st_dev == file.st_dev
            && stream.st_ino == file.st_ino)
            return kStreams[fd];
    }
    return nullptr;
}

// Holds a folder open so that every step works on that same folder, and
// cleans up the temporary file of a save that did not finish.
class SaveInFolder
{
public:
    explicit SaveInFolder(int folder)
        : m_folder(folder)
    {
    }
    ~SaveInFolder()
    {
        if (m_file >= 0)
            ::close(m_file);
        if (!m_temporary.isEmpty())
            ::unlinkat(m_folder, m_temporary.constData(), 0);
        ::close(m_folder);
    }
    SaveInFolder(const SaveInFolder &) = delete;
    SaveInFolder &operator=(const SaveInFolder &) = delete;

    // A new file with a short name of its own, so that even a target whose
    // name uses all 255 bytes a name may have gets a temporary beside it.
    // (A name made from the target's, as QSaveFile makes it, is too long
    // there.) mode is what the file gets when nothing changes it later.
    bool create(mode_t mode)
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = ".varlo-save-";
            for (int i = 0; i < 8; ++i)
                name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
            m_file = ::openat(m_folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (m_file >= 0) {
                m_temporary = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    // A full disk or a file size limit cuts a write short without an error;
    // the next write says why.
    bool write(QByteArrayView bytes)
    {
        while (!bytes.isEmpty()) {
            const ssize_t written = ::write(m_file, bytes.data(), size_t(bytes.size()));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false;
            bytes = bytes.sliced(written);
        }
        return true;
    }

    // Gives the new file the old one's owner, group and mode. Root can keep
    // any owner; anyone else gets the file as their own, which is all the
    // system allows them, so that refusal is no failure.
    bool takeOver(const struct stat &old)
    {
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(m_file, old.st_uid, old.st_gid) != 0
            && errno != EPERM)
            return false;
        // After the owner: a change of owner clears the set-id bits.
        return ::fchmod(m_file, old.st_mode & 07777) == 0;
    }

    // The bytes are on disk and the new file takes the target's name.
    bool commit(const QByteArray &name)
    {
        // A file system that cannot sync says so with EINVAL; it has
        // nothing to lose then.
        if (::fsync(m_file) != 0 && errno != EINVAL)
            return false;
        const int file = m_file;
        m_file = -1;
        if (::close(file) != 0)
            return false;
        if (::renameat(m_folder, m_temporary.constData(), m_folder, name.constData()) != 0)
            return false;
        m_temporary.clear();
        return true;
    }

private:
    int m_folder;
    int m_file = -1;
    QByteArray m_temporary;
};

} // namespace

QString replaceFile(const QString &path, QByteArrayView bytes)
{
    const QString target = followLinks(path);
    if (target.isEmpty())
        return systemReason(ELOOP);
    const QFileInfo targetInfo(target);
    const QByteArray name = QFile::encodeName(targetInfo.fileName());

    const int folder =
        ::open(QFile::encodeName(targetInfo.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return systemReason(errno);
    SaveInFolder save(folder);

    struct stat old
    {};
    const bool exists = ::fstatat(folder, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return systemReason(errno);
    // Renaming over a device, pipe or socket would put a file in its place
    // (as root, /dev/null itself); over a folder it fails anyway.
    if (exists && S_ISDIR(old.st_mode))
        return systemReason(EISDIR);
    if (exists && !S_ISREG(old.st_mode))
        return QStringLiteral("Not a regular file");
    // Its owner made it read-only: it is not to change, whoever saves (root
    // too, who could). Anyone else who may not write it may not replace it
    // either, though the folder would let them.
    if (exists && !(old.st_mode & S_IWUSR))
        return QStringLiteral("The file is read-only");
    if (exists && ::faccessat(folder, name.constData(), W_OK, AT_EACCESS) != 0)
        return systemReason(errno);
    if (const char *stream = exists ? standardStreamOf(old) : nullptr)
        return QStringLiteral("It is this program's %1").arg(QLatin1String(stream));

    ignoreFileSizeSignal();

    // Until it has the old file's owner and mode, only we may read the new
    // one; a new file gets what the umask allows, as any new file does.
    if (!save.create(exists ? 0600 : 0666) || !save.write(bytes) || (exists && !save.takeOver(old))
        || !save.commit(name))
        return systemReason(errno);
    return {};
}

#else

// Elsewhere QSaveFile does the same, short of the ownership and the check of
// the file's kind.
QString replaceFile(const QString &path, QByteArrayView bytes)
{
    const QString target = followLinks(path);
    if (target.isEmpty())
        return QStringLiteral("Too many levels of symbolic links");
    if (QFileInfo(target).isDir())
        return QStringLiteral("Is a directory");
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes.data(), bytes.size()) == bytes.size() && file.commit())
        return {};
    return file.errorString();
}

#endif

} // namespace varlo
