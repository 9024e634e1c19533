// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

namespace varlo::test {

// Something put where a program expects a file, as an attacker or a slip
// would put it, made in a folder of the test's:
//
//   "named pipe"          nobody ever writes it
//   "link to a named pipe"
//   "socket"              a listening Unix socket
//   "folder"
//   "device node"         a node of the same device as /dev/null (root only)
//   "/dev/null", "/dev/zero"   the devices themselves (never to save onto)
//   "link to /dev/zero"
//   "link to /proc/self/environ"   the environment of whoever reads it
//   "read-only file"      the given contents, mode 0444
//   "sparse 1.5 GB file"  zeros, without the disk space
class HostileTarget
{
public:
    HostileTarget(const QString &kind, const QString &folder, const QByteArray &contents = {});
    ~HostileTarget();
    HostileTarget(const HostileTarget &) = delete;
    HostileTarget &operator=(const HostileTarget &) = delete;

    // What readers must refuse without reading, or read no further than their
    // limit; savers must refuse all of them.
    static QStringList readKinds();
    // The ones a test may safely try to save onto, even on code that would
    // replace them (never a real device).
    static QStringList saveKinds();

    // False when it could not be made (a device node needs root).
    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    // Still the entry that was made: the same inode and mode, and for a
    // file the same bytes. Nothing else in the folder.
    bool isUntouched() const;

private:
    QString m_folder;
    QString m_path;
    QString m_node; // what a link points at, when it is in the folder
    QByteArray m_contents;
    struct stat m_made
    {};
    int m_server = -1;
    int m_entries = 0; // what the folder holds after it was made
    bool m_valid = false;
};

} // namespace varlo::test
