// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/fleetclient.h"

#include <QDeadlineTimer>

#include <functional>
#include <memory>
#include <optional>

namespace varlo::cli {

class CommandLine;

// What publish and panels share: the broker options (--broker, --tls-ca,
// --credentials, --wait), the connection, and waits that end at the
// deadline --wait sets or at Ctrl-C, whichever comes first. A broker that
// can't be reached is reported when the deadline passes; the client's own
// reconnecting would otherwise keep the command waiting for ever.
class FleetSession
{
public:
    static constexpr int kDefaultWaitS = 30;
    static constexpr int kMaxWaitS = 24 * 3600;

    explicit FleetSession(CommandLine &line);
    ~FleetSession();

    // Adds the options; call before CommandLine::parse().
    void addOptions();
    // Reads the options after parsing and starts the deadline. False after
    // a usage error, or with ExitFileFailed for a credentials file that
    // can't be used; the message is printed, the status is in failureStatus().
    bool readOptions();
    int failureStatus() const { return m_failureStatus; }

    // Connects and waits until every panel's status is in. False, with a
    // message printed, when the broker could not be reached in time or the
    // settings are refused.
    bool connect();
    fleet::FleetClient &client() { return *m_client; }

    // Runs the event loop until done() holds, the deadline passes or a
    // signal asks the program to stop; returns done().
    bool runUntil(const std::function<bool()> &done);
    // Before a publish: an agent whose upload failed tries again, so the
    // wait goes on, and each failure is said on standard error as it
    // happens, so that a long wait is not silent.
    void followFailures();
    // After a publish has started: waits until it is over, prints one line
    // per panel and returns the exit status (ExitDone once every panel
    // confirmed and the broker has everything).
    int reportOutcomes();

    // Whole seconds left until the deadline, at least 1.
    int secondsLeft() const;
    QString brokerName() const { return m_settings.url.toString(); }

private:
    CommandLine &m_line;
    fleet::BrokerSettings m_settings;
    std::unique_ptr<fleet::FleetClient> m_client;
    QDeadlineTimer m_deadline;
    int m_waitS = kDefaultWaitS;
    int m_failureStatus = 0;
};

} // namespace varlo::cli
