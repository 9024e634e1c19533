// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostiletarget.h"

#include <QDir>
#include <QFile>

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace varlo::test {

namespace {

int entryCount(const QString &folder)
{
    return int(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace

HostileTarget::HostileTarget(const QString &kind, const QString &folder, const QByteArray &contents)
    : m_folder(folder)
    , m_contents(contents)
{
    const QString node = QDir(folder).filePath(QStringLiteral("target"));
    const QByteArray nodeName = QFile::encodeName(node);
    m_path = node;
    const auto linkTo = [this, &folder](const QString &target) {
        m_path = QDir(folder).filePath(QStringLiteral("link"));
        return QFile::link(target, m_path);
    };
    bool made = false;
    if (kind == QLatin1String("named pipe")) {
        made = ::mkfifo(nodeName.constData(), 0666) == 0;
    } else if (kind == QLatin1String("link to a named pipe")) {
        made = ::mkfifo(nodeName.constData(), 0666) == 0 && linkTo(node);
        m_node = node;
    } else if (kind == QLatin1String("socket")) {
        m_server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (m_server >= 0 && size_t(nodeName.size()) < sizeof address.sun_path) {
            qstrcpy(address.sun_path, nodeName.constData());
            made = ::bind(m_server, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
                && ::listen(m_server, 1) == 0;
        }
    } else if (kind == QLatin1String("folder")) {
        made = QDir().mkdir(node);
    } else if (kind == QLatin1String("device node")) {
        made = ::mknod(nodeName.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    } else if (kind.startsWith(QLatin1Char('/'))) {
        m_path = kind;
        made = true;
    } else if (kind == QLatin1String("link to /dev/zero")) {
        made = linkTo(QStringLiteral("/dev/zero"));
    } else if (kind == QLatin1String("link to /proc/self/environ")) {
        made = linkTo(QStringLiteral("/proc/self/environ"));
    } else if (kind == QLatin1String("read-only file")) {
        QFile file(node);
        made = file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size()
            && file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    } else if (kind == QLatin1String("sparse 1.5 GB file")) {
        QFile file(node);
        made = file.open(QIODevice::WriteOnly) && file.resize(qint64(1536) << 20);
    }
    m_valid = made && ::lstat(QFile::encodeName(m_path).constData(), &m_made) == 0;
    m_entries = entryCount(folder);
}

HostileTarget::~HostileTarget()
{
    if (m_server >= 0)
        ::close(m_server);
}

QStringList HostileTarget::readKinds()
{
    return {QStringLiteral("named pipe"),
            QStringLiteral("link to a named pipe"),
            QStringLiteral("socket"),
            QStringLiteral("folder"),
            QStringLiteral("/dev/null"),
            QStringLiteral("/dev/zero"),
            QStringLiteral("link to /dev/zero"),
            QStringLiteral("sparse 1.5 GB file")};
}

QStringList HostileTarget::saveKinds()
{
    return {QStringLiteral("named pipe"), QStringLiteral("link to a named pipe"), QStringLiteral("socket"),
            QStringLiteral("folder"),     QStringLiteral("device node"),          QStringLiteral("read-only file")};
}

bool HostileTarget::isUntouched() const
{
    struct stat now
    {};
    if (::lstat(QFile::encodeName(m_path).constData(), &now) != 0 || now.st_ino != m_made.st_ino
        || now.st_mode != m_made.st_mode || now.st_size != m_made.st_size)
        return false;
    if (!m_path.startsWith(m_folder))
        return true;
    if (S_ISREG(now.st_mode) && now.st_size < 1024 * 1024) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != m_contents)
            return false;
    }
    if (!m_node.isEmpty()) {
        struct stat node
        {};
        if (::lstat(QFile::encodeName(m_node).constData(), &node) != 0 || !S_ISFIFO(node.st_mode))
            return false;
    }
    return entryCount(m_folder) == m_entries;
}

} // namespace varlo::test
