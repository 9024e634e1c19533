// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/brokersettings.h"
#include "link/portchoice.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace varlo::agent {

// What varlo-agent was told on its command line.
struct AgentOptions
{
    static constexpr int kDefaultMinIntervalS = 10;
    static constexpr int kDefaultRetryS = 30;
    static constexpr int kDefaultHealthS = 30;
    static constexpr int kDefaultFullEveryS = 3600;
    static constexpr int kMaxSeconds = 24 * 3600;

    // The address, TLS and credentials; clientId, session and last will are
    // the agent's to add.
    fleet::BrokerSettings broker;
    QString name;
    QStringList groups;
    PortChoice port;
    int commuDelayPosition = 0;
    // No upload starts sooner than this after the last one began.
    int minIntervalS = kDefaultMinIntervalS;
    // After a failed upload, the next try comes this much later.
    int retryS = kDefaultRetryS;
    // While idle the panel is probed this often; 0: never.
    int healthS = kDefaultHealthS;
    // Once the agent knows what the panel holds, send only the block frames
    // that changed; in full again when the last full upload is older than
    // fullEveryS.
    bool changedOnly = false;
    int fullEveryS = kDefaultFullEveryS;
    QString stateFolder;
    bool homeAssistant = false;
    // Take the panel off the broker instead: its retained Home Assistant
    // configurations, status and availability, and the agent's session.
    bool retire = false;

    // The MQTT client id: the broker keeps this agent's session under it.
    QString clientId() const { return QStringLiteral("varlo-agent-") + name; }
};

// The outcome of reading the command line: the options, or the exit status
// when the program is done already (after --help, --version or a usage
// error, which has been printed, or a credentials file that can't be used):
// one of varlo::ExitStatus.
struct ParsedOptions
{
    std::optional<AgentOptions> options;
    int exitStatus = 0;
};

// Reads the arguments, the program's name first, and the credentials file.
// Prints --help, --version, usage errors and an unusable credentials file
// itself.
ParsedOptions parseAgentOptions(const QStringList &arguments);

// The state folder when --state is not given: $STATE_DIRECTORY (systemd's
// StateDirectory=), else $XDG_STATE_HOME/varlo/agent-NAME, else
// ~/.local/state/varlo/agent-NAME.
QString defaultStateFolder(const QString &name);

} // namespace varlo::agent
