// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/brokerurl.h"
#include "fleet/credentials.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace varlo::fleet {

// A message the broker publishes for a client whose connection breaks
// without a goodbye (the last will).
struct LastWill
{
    QString topic;
    QByteArray payload;
    bool retain = true;
};

// Everything a connection to the broker needs.
struct BrokerSettings
{
    BrokerUrl url;
    // The certificate authorities to trust for TLS; empty: the system's.
    QString caFile;
    std::optional<Credentials> credentials;
    // Empty: the broker makes one up, and the session can't be persistent.
    QString clientId;
    // Off: the broker keeps the client's subscriptions and its QoS 1
    // messages while it is away, and hands them over when it comes back.
    bool cleanSession = true;
    std::optional<LastWill> will;
    // The broker counts a client as gone after 1.5 times this without a
    // word from it; the client pings when it has nothing else to say.
    int keepAliveS = 30;
};

} // namespace varlo::fleet
