// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-agent: one per panel, beside it. Keeps the panel showing what is
// published for it on an MQTT broker.

#include "varlo-agent/agent.h"
#include "varlo-agent/agentoptions.h"
#include "varlo-agent/homeassistant.h"
#include "varlo-agent/payloads.h"
#include "fleet/fleettopics.h"
#include "varlo-agent/statefolder.h"
#include "varlo-agent/testclock.h"
#include "fleet/mqttclient.h"
#include "console/programoutput.h"
#include "console/stopsignals.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QSet>
#include <QTimer>
#include <QStandardPaths>

#include <memory>

using namespace varlo;
using namespace varlo::agent;

namespace {

constexpr int kRetireWaitS = 30;

int fail(const QString &message)
{
    printMessage(message);
    return ExitFailed;
}

} // namespace

// --retire: everything retained that speaks of the panel is taken off the
// broker, and with a clean session the broker forgets the agent's too.
int retire(const AgentOptions &options)
{
    fleet::BrokerSettings settings = options.broker;
    settings.clientId = options.clientId();
    settings.cleanSession = true;
    fleet::MqttClient client(settings);
    QStringList topics{fleet::topics::panelStatus(options.name), fleet::topics::panelAvailability(options.name)};
    for (const homeassistant::Announcement &announcement : homeassistant::announcementsFor(options.name, {}))
        topics << announcement.topic;
    QSet<int> pending;
    bool sent = false;
    QObject::connect(&client, &fleet::MqttClient::connected, [&] {
        if (sent)
            return;
        sent = true;
        for (const QString &topic : std::as_const(topics))
            pending.insert(client.publish(topic, QByteArray(), true));
    });
    QObject::connect(&client, &fleet::MqttClient::published, [&](int id) {
        pending.remove(id);
        if (sent && pending.isEmpty())
            QCoreApplication::quit();
    });
    QString problem;
    QObject::connect(&client, &fleet::MqttClient::disconnected, [&](const QString &reason) { problem = reason; });
    QTimer::singleShot(kRetireWaitS * 1000, qApp, &QCoreApplication::quit);
    QString error;
    if (!client.start(&error))
        return fail(error);
    QCoreApplication::exec();
    if (!sent || !pending.isEmpty())
        return fail(QStringLiteral("can't reach the broker %1 within %2 s%3")
                        .arg(client.brokerName())
                        .arg(kRetireWaitS)
                        .arg(problem.isEmpty() ? QString() : QStringLiteral(": ") + problem));
    client.stop();
    printMessage(QStringLiteral("%1: taken off the broker").arg(options.name));
    return ExitDone;
}

int main(int argc, char *argv[])
{
    nameProgram(QStringLiteral("varlo-agent"));
    QCoreApplication app(argc, argv);

    const ParsedOptions parsed = parseAgentOptions(QCoreApplication::arguments());
    if (!parsed.options)
        return parsed.exitStatus;
    const AgentOptions &options = *parsed.options;
    if (options.retire)
        return retire(options);

    fleet::BrokerSettings settings = options.broker;
    settings.clientId = options.clientId();
    settings.cleanSession = false;
    settings.will = Agent::lastWill(options);
    QString error;

    // AUTO takes the first port where a panel answers. Two agents doing that
    // on one computer find the same panel, or each other's, round after
    // round: AUTO is for one panel per computer, and the second is refused.
    std::unique_ptr<QLockFile> autoLock;
    if (options.port.isAutomatic()) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        autoLock = std::make_unique<QLockFile>(folder + QStringLiteral("/varlo-agent-auto.lock"));
        // Never taken over while its agent lives; QLockFile takes over the
        // lock of a process that has gone.
        autoLock->setStaleLockTime(0);
        if (!autoLock->tryLock(0)) {
            qint64 pid = 0;
            QString host;
            QString holder;
            autoLock->getLockInfo(&pid, &host, &holder);
            return fail(autoLock->error() == QLockFile::LockFailedError
                            ? QStringLiteral("another varlo-agent on this computer (process %1) uses --port AUTO; "
                                             "with several panels on one computer give each agent its own --port")
                                  .arg(pid)
                            : QStringLiteral("can't make the lock for --port AUTO in %1").arg(folder));
        }
    }

    const StateFolder folder(options.stateFolder);
    KeptState kept;
    QStringList warnings;
    if (!folder.open(&kept, &error, &warnings))
        return fail(error);
    for (const QString &warning : std::as_const(warnings))
        printMessage(warning);

    fleet::MqttClient client(settings);
    client.setMaxPayloadBytes(largestPayloadBytes());
    // Tests set the time the schedules follow (testclock.h).
    std::unique_ptr<TestClock> testClock;
    if (const QString clockFile = TestClock::fileFromEnvironment(); !clockFile.isEmpty())
        testClock = std::make_unique<TestClock>(clockFile);
    ScheduleRunner::Clock clock = &QDateTime::currentDateTimeUtc;
    if (testClock)
        clock = [&testClock] { return testClock->now(); };
    Agent agent(options, folder, kept, client, clock);
    if (testClock)
        QObject::connect(testClock.get(), &TestClock::changed, &agent, &Agent::lookAtClock);
    // SIGTERM (systemctl stop), SIGINT and SIGHUP: the agent ends its
    // upload, says goodbye to the broker and keeps its state; a second
    // signal ends it at once.
    StopSignals stopSignals;
    if (!stopSignals.isValid())
        return fail(QStringLiteral("can't watch for the stop signals"));
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &agent, &Agent::stop);
    QObject::connect(&agent, &Agent::stopped, &app, &QCoreApplication::quit);
    if (!client.start(&error))
        return fail(error);
    agent.begin();
    return app.exec();
}
