// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace varlo::panel {

// The entry com<N> in the ports folder that makes a device COM N for every
// Varlo program. varlo-panel points it at its pseudo-terminal while it runs
// and removes it when it ends.
//
// Beside it, com<N>.lock holds the process of the varlo-panel that serves
// the number, so that a second one refuses it. A link into /dev/pts/ with no
// live lock is what a varlo-panel killed outright leaves behind; it is
// replaced. Anything else there is the user's own mapping (a real adapter,
// a plain file) and is never touched.
class PortsLink
{
public:
    PortsLink() = default;
    ~PortsLink();
    PortsLink(const PortsLink &) = delete;
    PortsLink &operator=(const PortsLink &) = delete;

    // Points com<com> at `device`. False with errorString() set when the
    // number is taken.
    bool claim(int com, const QString &device);
    // Removes the link, if it is still ours, and the lock. Safe to call
    // twice.
    void release();
    // The same for the link claimed last, from a signal handler: for a
    // program that must end while its main thread is stuck.
    static void releaseInSignalHandler();

    QString entryPath() const { return m_entry; }
    QString errorString() const { return m_error; }

private:
    bool clearStaleEntry();

    QString m_entry;
    QString m_device;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    bool m_linked = false;
};

} // namespace varlo::panel
