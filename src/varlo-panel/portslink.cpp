// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/portslink.h"

#include "link/serialport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace varlo::panel {

namespace {
// Where pseudo-terminal slaves live. Only varlo-panel maps a COM number there.
const QLatin1String kPtyFolder("/dev/pts/");

// The claimed link's paths as plain bytes, for releaseInSignalHandler(),
// which can use neither Qt nor the heap. Written before `valid` is set and
// left alone while it is.
struct ClaimedPaths
{
    char entry[PATH_MAX];
    char device[PATH_MAX];
    char lock[PATH_MAX];
};
ClaimedPaths g_claimed{};
volatile sig_atomic_t g_claimedValid = 0;

bool copyPath(char (&to)[PATH_MAX], const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= PATH_MAX)
        return false;
    std::memcpy(to, bytes.constData(), size_t(bytes.size()) + 1);
    return true;
}
} // namespace

PortsLink::~PortsLink()
{
    release();
}

bool PortsLink::claim(int com, const QString &device)
{
    Q_ASSERT(!m_lock);
    const QString folder = SerialPort::portsFolder();
    m_entry = folder + QStringLiteral("/com%1").arg(com);
    m_device = device;
    if (!QDir().mkpath(folder)) {
        m_error = QStringLiteral("cannot create the ports folder %1").arg(folder);
        return false;
    }

    auto lock = std::make_unique<QLockFile>(m_entry + QStringLiteral(".lock"));
    // Only a dead owner makes a lock stale, however old it is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString application;
        if (lock->error() == QLockFile::LockFailedError && lock->getLockInfo(&pid, &host, &application)) {
            m_error = QStringLiteral("COM%1 is served by another varlo-panel already (process %2)").arg(com).arg(pid);
        } else {
            m_error = QStringLiteral("cannot lock COM%1 in %2").arg(com).arg(folder);
        }
        return false;
    }
    m_lock = std::move(lock);

    if (!clearStaleEntry()) {
        release();
        return false;
    }
    if (!QFile::link(device, m_entry)) {
        m_error = QStringLiteral("cannot make the link %1").arg(m_entry);
        release();
        return false;
    }
    m_linked = true;
    g_claimedValid = copyPath(g_claimed.entry, m_entry) && copyPath(g_claimed.device, m_device)
        && copyPath(g_claimed.lock, m_entry + QStringLiteral(".lock"));
    return true;
}

bool PortsLink::clearStaleEntry()
{
    const QFileInfo entry(m_entry);
    if (entry.isSymLink()) {
        const QString target = entry.symLinkTarget();
        if (target.startsWith(kPtyFolder)) {
            // Ours, and with the lock held here nobody serves it now.
            QFile::remove(m_entry);
            return true;
        }
        m_error =
            QStringLiteral("%1 maps the port to %2 already; remove it or choose another --com").arg(m_entry, target);
        return false;
    }
    if (entry.exists()) {
        m_error = QStringLiteral("%1 exists and is not a link of varlo-panel; remove it or choose another --com")
                      .arg(m_entry);
        return false;
    }
    return true;
}

void PortsLink::release()
{
    g_claimedValid = 0;
    // The user may have put a mapping of their own there meanwhile.
    if (m_linked && QFileInfo(m_entry).symLinkTarget() == m_device)
        QFile::remove(m_entry);
    m_linked = false;
    m_lock.reset();
}

void PortsLink::releaseInSignalHandler()
{
    if (!g_claimedValid)
        return;
    // As release(): the link only while it still points at our line.
    char target[PATH_MAX];
    const ssize_t length = ::readlink(g_claimed.entry, target, sizeof target - 1);
    if (length >= 0) {
        target[length] = '\0';
        if (std::strcmp(target, g_claimed.device) == 0)
            ::unlink(g_claimed.entry);
    }
    ::unlink(g_claimed.lock);
}

} // namespace varlo::panel
