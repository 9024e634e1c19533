// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/savedvariable.h"

#include "testbroker.h"

#include "fleet/mqttclient.h"
#include "fleet/panelstatus.h"
#include "virtualpanel/panelmemory.h"
#include "model/messageset.h"
#include "support/virtualpanel.h"
#include "support/virtualports.h"

#include <QMap>
#include <QObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace varlo::test {

// Generous, for a loaded two-core machine: every wait ends as soon as what
// it waits for is there.
inline constexpr int kWaitMs = 30000;

// Runs the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = kWaitMs);

// An agent's command line for the tests: the broker, its name and port, a
// state folder of its own, no minimum interval, a quick retry and no health
// probes unless extra says otherwise (later options win).
QStringList agentArguments(const QString &brokerUrl, const QString &name, const QString &port,
                           const QString &stateFolder, const QStringList &extra = {});

// One varlo-agent, run as the real program. It inherits the test's
// environment, so its COM numbers are the fixture's virtual panels.
class AgentProcess
{
public:
    AgentProcess(const QString &name, const QStringList &arguments);
    ~AgentProcess();

    bool start();
    // SIGKILL: as a crash or a power cut would; the broker then publishes
    // the last will.
    void kill();
    // SIGTERM, as systemctl stop; the exit status, or -1 when it did not end.
    int terminate();
    // Waits for it to end by itself: the exit status, or -1 when it did not.
    int waitForExit();
    QString name() const { return m_name; }
    qint64 processId() const { return m_process.processId(); }
    // Everything it said on standard error so far.
    QString log();

private:
    QString m_name;
    QStringList m_arguments;
    QProcess m_process;
    QByteArray m_log;
};

// The test's own client of the broker: it follows every panel's status and
// publishes what a test gives it.
class StatusWatch : public QObject
{
    Q_OBJECT

public:
    explicit StatusWatch(const fleet::BrokerSettings &settings, const QStringList &moreTopics = {});

    bool start(QString *error);
    // Publishes and waits until the broker has it.
    bool publish(const QString &topic, const QByteArray &payload, bool retain = true);

    // The panel's status with its availability (PanelStatus::withAvailability).
    std::optional<fleet::PanelStatus> status(const QString &panel) const;
    // Every status the panel published, oldest first, each with the
    // availability of its time, and again at each change of availability.
    QList<fleet::PanelStatus> history(const QString &panel) const { return m_history.value(panel); }
    // The statuses as the agent published them.
    QList<fleet::PanelStatus> published(const QString &panel) const { return m_raw.value(panel); }
    // Every availability message, in order.
    QList<fleet::MqttMessage> availabilityMessages() const { return m_availabilityMessages; }
    bool waitFor(const QString &panel, const std::function<bool(const fleet::PanelStatus &)> &condition,
                 int timeoutMs = kWaitMs) const;
    // The other messages received (moreTopics), in order.
    QList<fleet::MqttMessage> messages() const { return m_messages; }

private:
    void take(const fleet::MqttMessage &message);

    fleet::MqttClient m_client;
    QStringList m_topics;
    QSet<int> m_acknowledged;
    QMap<QString, QList<fleet::PanelStatus>> m_history;
    QMap<QString, QList<fleet::PanelStatus>> m_raw;
    QMap<QString, QByteArray> m_availability;
    QList<fleet::MqttMessage> m_availabilityMessages;
    QList<fleet::MqttMessage> m_messages;
};

// What a test of agents and publishers stands on, fresh for each test
// function: virtual ports (and with them the test's own XDG_CONFIG_HOME), a
// folder for state folders and files, a real broker, the test's status
// watch, and the agents the test starts. Call setUp() from init() and
// tearDown() from cleanup().
class FleetFixture
{
public:
    // An empty text, or what could not be set up. watchTopics: what the
    // watch follows besides the statuses.
    QString setUp(const QStringList &watchTopics = {});
    // Shows what the agents and the broker said when the test failed, and
    // ends them all. The line errors of the panels (see VirtualPorts).
    QStringList tearDown();

    // An agent's command line (agentArguments) with its state folder in
    // the fixture's folder.
    QStringList arguments(const QString &name, const QString &port, const QStringList &extra = {}) const;
    // Starts an agent and waits until its status says online; nothing when
    // it does not come.
    AgentProcess *startAgent(const QString &name, const QString &port, const QStringList &extra = {});
    // A new watch (after the broker changed, or to follow more topics).
    QString restartWatch(const fleet::BrokerSettings &settings, const QStringList &watchTopics = {});

    std::unique_ptr<VirtualPorts> ports;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TestBroker> broker;
    std::unique_ptr<StatusWatch> watch;
    std::vector<std::unique_ptr<AgentProcess>> agents;

private:
    std::optional<SavedVariable> m_runtimeDir;
};

// What reached a virtual panel (memoryOf reads it as the panel's memory).
namespace panelview {
// Message uploads that reached their end frame.
int completedUploads(const VirtualPanel &panel);
// Empty when the last thing the panel received is a whole message upload
// that left exactly this set in its memory; otherwise what differs.
QString difference(const VirtualPanel &panel, const MessageSet &set);
bool waitUntilHolds(const VirtualPanel &panel, const MessageSet &set, QString *difference);
} // namespace panelview

} // namespace varlo::test
