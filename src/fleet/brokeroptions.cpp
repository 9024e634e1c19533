// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/brokeroptions.h"

#include <QCommandLineParser>

namespace varlo::fleet {

namespace {

const QString kBroker = QStringLiteral("broker");
const QString kTlsCa = QStringLiteral("tls-ca");
const QString kCredentials = QStringLiteral("credentials");

QString optionOf(BrokerProblem::Field field)
{
    switch (field) {
    case BrokerProblem::Field::Broker:
        return kBroker;
    case BrokerProblem::Field::TlsCa:
        return kTlsCa;
    case BrokerProblem::Field::Credentials:
        break;
    }
    return kCredentials;
}

// separator: what stands between the option and the detail on a command line.
void setProblem(BrokerProblem *problem, BrokerProblem::Field field, BrokerProblem::Kind kind, const QString &detail,
                const QString &separator = QStringLiteral(" "))
{
    problem->field = field;
    problem->kind = kind;
    problem->detail = detail;
    problem->message = QStringLiteral("--") + optionOf(field) + separator + detail;
}

std::optional<QString> optionalValue(const QCommandLineParser &parser, const QString &option)
{
    return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
}

} // namespace

namespace brokeroptions {

void add(QCommandLineParser &parser)
{
    parser.addOption({kBroker,
                      QStringLiteral("The broker: mqtt://HOST[:PORT] (port 1883) or mqtts://HOST[:PORT] (TLS, "
                                     "port 8883)."),
                      QStringLiteral("URL")});
    parser.addOption({kTlsCa, QStringLiteral("Connect with TLS, trusting the certificate authorities in FILE (PEM)."),
                      QStringLiteral("FILE")});
    parser.addOption({kCredentials,
                      QStringLiteral("The broker user name and password, from FILE: lines username=NAME and "
                                     "password=SECRET. The file must not be readable by every user."),
                      QStringLiteral("FILE")});
}

std::optional<BrokerFields> read(const QCommandLineParser &parser, BrokerProblem *problem)
{
    if (!parser.isSet(kBroker)) {
        setProblem(problem, BrokerProblem::Field::Broker, BrokerProblem::Kind::Usage, QStringLiteral("is missing"));
        return std::nullopt;
    }
    return BrokerFields{parser.value(kBroker), optionalValue(parser, kTlsCa), optionalValue(parser, kCredentials)};
}

} // namespace brokeroptions

std::optional<BrokerSettings> brokerSettings(const BrokerFields &fields, BrokerProblem *problem)
{
    using Field = BrokerProblem::Field;
    using Kind = BrokerProblem::Kind;
    BrokerSettings settings;
    QString error;
    const std::optional<BrokerUrl> url = BrokerUrl::parse(fields.url, &error);
    if (!url) {
        setProblem(problem, Field::Broker, Kind::Usage, error);
        return std::nullopt;
    }
    settings.url = *url;
    const QString emptyName = QStringLiteral("the file name is empty");
    if (fields.caFile) {
        if (fields.caFile->isEmpty()) {
            setProblem(problem, Field::TlsCa, Kind::Usage, emptyName, QStringLiteral(": "));
            return std::nullopt;
        }
        settings.caFile = *fields.caFile;
        // A CA file means TLS, also for an mqtt:// address; the default port
        // then follows.
        settings.url.setTls(true);
    }
    if (fields.credentialsFile) {
        if (fields.credentialsFile->isEmpty()) {
            setProblem(problem, Field::Credentials, Kind::Usage, emptyName, QStringLiteral(": "));
            return std::nullopt;
        }
        settings.credentials = Credentials::read(*fields.credentialsFile, &error);
        if (!settings.credentials) {
            setProblem(problem, Field::Credentials, Kind::Unusable, error);
            return std::nullopt;
        }
    }
    return settings;
}

} // namespace varlo::fleet
