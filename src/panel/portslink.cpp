// SPDX-License-Identifier: GPL-3.0-or-later
#include "portslink.h"

#include "link/serialport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace varlo::panel {

namespace {
// Where pseudo-terminal slaves live. Only varlo-panel maps a COM number there.
const QLatin1String kPtyFolder("/dev/pts/");
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
        m_error = QStringLiteral("%1 maps the port to %2 already; remove it or choose another --com")
                      .arg(m_entry, target);
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
    // The user may have put a mapping of their own there meanwhile.
    if (m_linked && QFileInfo(m_entry).symLinkTarget() == m_device)
        QFile::remove(m_entry);
    m_linked = false;
    m_lock.reset();
}

} // namespace varlo::panel
