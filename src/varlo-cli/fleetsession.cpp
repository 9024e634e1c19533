// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/fleetsession.h"

#include "varlo-cli/commandline.h"
#include "varlo-cli/interruptwatch.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

namespace varlo::cli {

namespace {

const QString kBroker = QStringLiteral("broker");
const QString kTlsCa = QStringLiteral("tls-ca");
const QString kCredentials = QStringLiteral("credentials");
const QString kWait = QStringLiteral("wait");

// How often a wait looks at Ctrl-C and the deadline between events.
constexpr int kTickMs = 50;

} // namespace

FleetSession::FleetSession(CommandLine &line)
    : m_line(line)
{
}

FleetSession::~FleetSession() = default;

void FleetSession::addOptions()
{
    QCommandLineParser &parser = m_line.parser();
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
    parser.addOption(
        {kWait, QStringLiteral("Give up after this many seconds, connecting included (default %1).").arg(kDefaultWaitS),
         QStringLiteral("SECONDS"), QString::number(kDefaultWaitS)});
}

bool FleetSession::readOptions()
{
    m_failureStatus = ExitUsage;
    QCommandLineParser &parser = m_line.parser();
    if (!parser.isSet(kBroker)) {
        m_line.usageError(QStringLiteral("--broker is missing"));
        return false;
    }
    QString error;
    const std::optional<fleet::BrokerUrl> url = fleet::BrokerUrl::parse(parser.value(kBroker), &error);
    if (!url) {
        m_line.usageError(QStringLiteral("--broker %1").arg(error));
        return false;
    }
    m_settings.url = *url;

    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    const QString wait = parser.value(kWait);
    m_waitS = digits.match(wait).hasMatch() ? wait.toInt() : -1;
    if (m_waitS < 1 || m_waitS > kMaxWaitS) {
        m_line.usageError(QStringLiteral("--wait %1: not a whole number from 1 to %2").arg(wait).arg(kMaxWaitS));
        return false;
    }

    if (parser.isSet(kTlsCa)) {
        m_settings.caFile = parser.value(kTlsCa);
        if (m_settings.caFile.isEmpty()) {
            m_line.usageError(QStringLiteral("--tls-ca: the file name is empty"));
            return false;
        }
        // A CA file means TLS, also for an mqtt:// address.
        m_settings.url.setTls(true);
    }
    if (parser.isSet(kCredentials)) {
        const QString file = parser.value(kCredentials);
        if (file.isEmpty()) {
            m_line.usageError(QStringLiteral("--credentials: the file name is empty"));
            return false;
        }
        m_settings.credentials = fleet::Credentials::read(file, &error);
        if (!m_settings.credentials) {
            printMessage(QStringLiteral("--credentials %1").arg(error));
            m_failureStatus = ExitFileFailed;
            return false;
        }
    }
    m_deadline.setRemainingTime(qint64(m_waitS) * 1000);
    return true;
}

bool FleetSession::connect()
{
    m_client = std::make_unique<fleet::FleetClient>(m_settings);
    QString problem;
    QObject::connect(m_client.get(), &fleet::FleetClient::connectionProblem,
                     [&problem](const QString &reason) { problem = reason; });
    QString error;
    if (!m_client->start(&error)) {
        printMessage(QStringLiteral("%1: %2").arg(brokerName(), error));
        return false;
    }
    if (runUntil([this] { return m_client->isReady(); }))
        return true;
    if (InterruptWatch::signalNumber() == 0) {
        printMessage(QStringLiteral("can't reach the broker %1 within %2 s%3")
                         .arg(brokerName())
                         .arg(m_waitS)
                         .arg(problem.isEmpty() ? QString() : QStringLiteral(": ") + problem));
    }
    return false;
}

bool FleetSession::runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || m_deadline.hasExpired() || InterruptWatch::signalNumber() != 0)
            loop.quit();
    });
    tick.start(kTickMs);
    if (!done() && !m_deadline.hasExpired() && InterruptWatch::signalNumber() == 0)
        loop.exec();
    return done();
}

int FleetSession::secondsLeft() const
{
    return std::max<int>(1, int((m_deadline.remainingTime() + 999) / 1000));
}

} // namespace varlo::cli
