// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/fleetsession.h"

#include "varlo-cli/commandline.h"
#include "console/stopsignals.h"
#include "fleet/brokeroptions.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

namespace varlo::cli {

namespace {

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
    fleet::brokeroptions::add(parser);
    parser.addOption(
        {kWait, QStringLiteral("Give up after this many seconds, connecting included (default %1).").arg(kDefaultWaitS),
         QStringLiteral("SECONDS"), QString::number(kDefaultWaitS)});
}

bool FleetSession::readOptions()
{
    m_failureStatus = ExitUsage;
    QCommandLineParser &parser = m_line.parser();
    fleet::BrokerProblem problem;
    const std::optional<fleet::BrokerFields> fields = fleet::brokeroptions::read(parser, &problem);
    if (!fields) {
        m_line.usageError(problem.message);
        return false;
    }
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    const QString wait = parser.value(kWait);
    m_waitS = digits.match(wait).hasMatch() ? wait.toInt() : -1;
    if (m_waitS < 1 || m_waitS > kMaxWaitS) {
        m_line.usageError(
            QStringLiteral("--wait %1: not a whole number from 1 to %2").arg(argumentExcerpt(wait)).arg(kMaxWaitS));
        return false;
    }

    const std::optional<fleet::BrokerSettings> settings = fleet::brokerSettings(*fields, &problem);
    if (!settings) {
        if (problem.kind == fleet::BrokerProblem::Kind::Usage) {
            m_line.usageError(problem.message);
        } else {
            printMessage(problem.message);
            m_failureStatus = ExitFileFailed;
        }
        return false;
    }
    m_settings = *settings;
    m_deadline.setRemainingTime(qint64(m_waitS) * 1000);
    return true;
}

bool FleetSession::connect()
{
    m_client = std::make_unique<fleet::FleetClient>(m_settings);
    // The command's own deadline may come a moment before the client's,
    // which counts whole seconds: the reason is taken as it comes.
    QString problem;
    bool gaveUp = false;
    QObject::connect(m_client.get(), &fleet::FleetClient::connectionProblem,
                     [&problem](const QString &reason) { problem = reason; });
    QObject::connect(m_client.get(), &fleet::FleetClient::gaveUp, [&gaveUp] { gaveUp = true; });
    QString error;
    if (!m_client->start(secondsLeft(), &error)) {
        printMessage(QStringLiteral("%1: %2").arg(brokerName(), error));
        return false;
    }
    if (runUntil([&] { return m_client->isReady() || gaveUp; }) && m_client->isReady())
        return true;
    if (StopSignals::received() == 0) {
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
        if (done() || m_deadline.hasExpired() || StopSignals::received() != 0)
            loop.quit();
    });
    tick.start(kTickMs);
    if (!done() && !m_deadline.hasExpired() && StopSignals::received() == 0)
        loop.exec();
    return done();
}

void FleetSession::followFailures()
{
    m_client->setFailuresSettle(false);
    QObject::connect(m_client.get(), &fleet::FleetClient::outcomeChanged, [](const fleet::PanelOutcome &outcome) {
        if (outcome.kind == fleet::PanelOutcome::Kind::Failed)
            printMessage(QStringLiteral("%1: %2; its agent tries again").arg(outcome.panel, outcome.text));
    });
}

int FleetSession::reportOutcomes()
{
    fleet::FleetClient &fleet = *m_client;
    bool finished = false;
    QObject::connect(&fleet, &fleet::FleetClient::finished, [&finished] { finished = true; });
    runUntil([&] { return finished && fleet.isDelivered(); });

    QString report;
    bool allConfirmed = true;
    for (const fleet::PanelOutcome &outcome : fleet.outcomes()) {
        report += QStringLiteral("%1: %2\n").arg(outcome.panel, outcome.text);
        allConfirmed = allConfirmed && outcome.kind == fleet::PanelOutcome::Kind::Confirmed;
    }
    printOut(report);
    if (!fleet.isDelivered())
        printMessage(
            QStringLiteral("the broker %1 did not confirm that it has everything published").arg(brokerName()));
    return allConfirmed && fleet.isDelivered() ? ExitDone : ExitFailed;
}

int FleetSession::secondsLeft() const
{
    return std::max<int>(1, int((m_deadline.remainingTime() + 999) / 1000));
}

} // namespace varlo::cli
