// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/brokersettings.h"

#include <QString>

#include <optional>

class QCommandLineParser;

namespace varlo::fleet {

// How a person names the broker, in the same words in all three programs:
// --broker URL, --tls-ca FILE and --credentials FILE on the command line of
// varlo-agent and varlo-cli, the Broker, TLS CA file and Credentials file
// boxes of the Publish dialog.
struct BrokerFields
{
    QString url;
    // Nothing: not given. A box left empty is not given; an option given
    // with an empty value is a mistake.
    std::optional<QString> caFile;
    std::optional<QString> credentialsFile;
};

// Why the fields make no settings.
struct BrokerProblem
{
    enum class Field { Broker, TlsCa, Credentials };
    enum class Kind {
        Usage, // the fields are wrong as written
        Unusable, // a file they name can't be used
    };

    Field field = Field::Broker;
    Kind kind = Kind::Usage;
    // "mqtt://***@hub: a user name ... ", "/etc/varlo/credentials: ...";
    // never a password.
    QString detail;
    // As a command line says it: "--broker mqtt://***@hub: ...",
    // "--tls-ca: the file name is empty", "--broker is missing".
    QString message;
};

namespace brokeroptions {
// Adds --broker, --tls-ca and --credentials.
void add(QCommandLineParser &parser);
// The fields as the options give them; nothing, with the problem, when
// --broker is missing.
std::optional<BrokerFields> read(const QCommandLineParser &parser, BrokerProblem *problem);
} // namespace brokeroptions

// The settings the fields make: the address checked, TLS when the address
// says mqtts:// or a CA file is given (then also for mqtt://, with the TLS
// port as default), the credentials read from their file. Nothing, with the
// problem, otherwise.
std::optional<BrokerSettings> brokerSettings(const BrokerFields &fields, BrokerProblem *problem);

} // namespace varlo::fleet
