// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "virtualpanel.h"

#include <QTemporaryDir>

#include <map>
#include <memory>

namespace varlo::test {

// A temporary XDG_CONFIG_HOME whose ports folder maps all 15 COM numbers.
// Numbers without a panel get a dangling link, so that no test ever reaches
// the machine's real serial ports. The old XDG_CONFIG_HOME comes back when
// the fixture goes.
class VirtualPorts
{
public:
    VirtualPorts();
    ~VirtualPorts();
    VirtualPorts(const VirtualPorts &) = delete;
    VirtualPorts &operator=(const VirtualPorts &) = delete;

    bool isValid() const { return m_valid; }
    QString configHome() const { return m_dir.path(); }
    QString portsFolder() const;
    // The entry of a COM number in the ports folder.
    QString entry(int com) const;

    // Puts a virtual panel on the port.
    VirtualPanel &addPanel(int com, VirtualPanel::Answer answer = VirtualPanel::Answer::Echo);
    VirtualPanel *panel(int com) const;
    // Points the port's link at any path (a missing one too).
    bool mapTo(int com, const QString &target);
    // Makes the port's entry a regular file: it exists, but is no serial line.
    bool mapToPlainFile(int com);

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfigHome;
    bool m_hadConfigHome = false;
    bool m_valid = false;
    std::map<int, std::unique_ptr<VirtualPanel>> m_panels;
};

} // namespace varlo::test
