// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/savedvariable.h"

#include "virtualpanel.h"

#include <QTemporaryDir>

#include <map>
#include <memory>

namespace varlo::test {

// A temporary XDG_CONFIG_HOME whose ports folder maps all 15 COM numbers.
// Numbers without a panel get a dangling link, so that no test ever reaches
// the machine's real serial ports.
//
// It also widens the probe time-out (VARLO_PROBE_TIMEOUT_MS) for this
// process and the programs it starts: a virtual panel answers a probe only
// once its reader thread has run, which on a loaded machine can take longer
// than the 10 ms a program waits as shipped. Discovery then takes longer
// for each port that stays silent.
//
// The old environment comes back when the fixture goes.
class VirtualPorts
{
public:
    static constexpr int kWidenedProbeTimeoutMs = 500;
    enum class ProbeWait {
        Widened, // kWidenedProbeTimeoutMs
        AsShipped, // the programs' own, for measuring them
    };

    explicit VirtualPorts(ProbeWait probeWait = ProbeWait::Widened);
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

    // The line errors of every panel, each as "COM<n>: ...".
    QStringList lineErrors() const;

private:
    SavedVariable m_configHome{"XDG_CONFIG_HOME"};
    SavedVariable m_probeTimeout{"VARLO_PROBE_TIMEOUT_MS"};
    QTemporaryDir m_dir;
    bool m_valid = false;
    std::map<int, std::unique_ptr<VirtualPanel>> m_panels;
};

} // namespace varlo::test
