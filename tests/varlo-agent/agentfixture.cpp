// SPDX-License-Identifier: GPL-3.0-or-later
#include "agentfixture.h"

#include "fleet/fleettopics.h"
#include "model/messageblock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

namespace varlo::test {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

QStringList agentArguments(const QString &brokerUrl, const QString &name, const QString &port,
                           const QString &stateFolder, const QStringList &extra)
{
    return QStringList{QStringLiteral("--broker"), brokerUrl, QStringLiteral("--name"), name, QStringLiteral("--port"),
                       port, QStringLiteral("--state"), stateFolder, QStringLiteral("--min-interval"),
                       QStringLiteral("0"), QStringLiteral("--retry"), QStringLiteral("1"),
                       // A probe that a loaded machine's virtual panel
                       // answers too late would count as no panel and
                       // upload again; the tests of health turn it on.
                       QStringLiteral("--health"), QStringLiteral("0")}
    + extra;
}

AgentProcess::AgentProcess(const QString &name, const QStringList &arguments)
    : m_name(name)
    , m_arguments(arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

AgentProcess::~AgentProcess()
{
    if (m_process.state() != QProcess::NotRunning && terminate() < 0)
        kill();
}

bool AgentProcess::start()
{
    m_process.start(QStringLiteral(VARLO_AGENT_PATH), m_arguments);
    return m_process.waitForStarted(kWaitMs);
}

void AgentProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(kWaitMs);
    m_log += m_process.readAll();
}

int AgentProcess::terminate()
{
    m_process.terminate();
    if (!m_process.waitForFinished(kWaitMs))
        return -1;
    m_log += m_process.readAll();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int AgentProcess::waitForExit()
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(kWaitMs))
        return -1;
    m_log += m_process.readAll();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString AgentProcess::log()
{
    m_log += m_process.readAll();
    return QString::fromUtf8(m_log);
}

StatusWatch::StatusWatch(const fleet::BrokerSettings &settings, const QStringList &moreTopics)
    : m_client(settings)
    , m_topics(QStringList{fleet::topics::allStatuses(), fleet::topics::allAvailabilities()} + moreTopics)
{
    // Again after every reconnection: the watch keeps no session.
    connect(&m_client, &fleet::MqttClient::connected, this, [this] { m_client.subscribe(m_topics); });
    connect(&m_client, &fleet::MqttClient::messageReceived, this, &StatusWatch::take);
    connect(&m_client, &fleet::MqttClient::published, this, [this](int id) { m_acknowledged.insert(id); });
}

bool StatusWatch::start(QString *error)
{
    return m_client.start(error) && waitUntil([this] { return m_client.isConnected(); });
}

bool StatusWatch::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!waitUntil([this] { return m_client.isConnected(); }))
        return false;
    const int id = m_client.publish(topic, payload, retain);
    return id > 0 && waitUntil([&] { return m_acknowledged.contains(id); });
}

std::optional<fleet::PanelStatus> StatusWatch::status(const QString &panel) const
{
    const QList<fleet::PanelStatus> statuses = m_history.value(panel);
    if (statuses.isEmpty())
        return std::nullopt;
    return statuses.last();
}

bool StatusWatch::waitFor(const QString &panel, const std::function<bool(const fleet::PanelStatus &)> &condition,
                          int timeoutMs) const
{
    return waitUntil(
        [&] {
            const std::optional<fleet::PanelStatus> latest = status(panel);
            return latest && condition(*latest);
        },
        timeoutMs);
}

void StatusWatch::take(const fleet::MqttMessage &message)
{
    // As a publisher sees it: the status with the availability.
    if (const QString panel = fleet::topics::panelOfAvailability(message.topic); !panel.isEmpty()) {
        m_availability.insert(panel, message.payload);
        m_availabilityMessages << message;
        if (const std::optional<fleet::PanelStatus> last = status(panel))
            m_history[panel] << last->withAvailability(message.payload);
        return;
    }
    const QString panel = fleet::topics::panelOfStatus(message.topic);
    if (panel.isEmpty()) {
        m_messages << message;
        return;
    }
    QString error;
    if (const std::optional<fleet::PanelStatus> status = fleet::PanelStatus::fromJson(message.payload, &error)) {
        m_history[panel] << status->withAvailability(m_availability.value(panel));
        m_raw[panel] << *status;
    }
}

QString FleetFixture::setUp(const QStringList &watchTopics)
{
    // First: the ports fixture points XDG_CONFIG_HOME at a folder of the
    // test's own, for every program the test starts.
    ports = std::make_unique<VirtualPorts>();
    if (!ports->isValid())
        return QStringLiteral("no virtual ports");
    dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        return QStringLiteral("no temporary folder");
    // The agents' runtime folder (the lock of --port AUTO) is the test's
    // own, apart from other tests and agents on the machine.
    const QString runtime = dir->filePath(QStringLiteral("run"));
    if (!QDir().mkpath(runtime)
        || !QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return QStringLiteral("no runtime folder");
    m_runtimeDir.emplace("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    broker = std::make_unique<TestBroker>();
    if (!broker->start())
        return broker->errorString();
    return restartWatch(broker->settings(), watchTopics);
}

QString FleetFixture::restartWatch(const fleet::BrokerSettings &settings, const QStringList &watchTopics)
{
    watch.reset();
    watch = std::make_unique<StatusWatch>(settings, watchTopics);
    QString error;
    if (!watch->start(&error))
        return error.isEmpty() ? QStringLiteral("the watch does not connect") : error;
    return {};
}

QStringList FleetFixture::tearDown()
{
    for (const auto &agent : agents) {
        if (QTest::currentTestFailed())
            qWarning().noquote() << agent->name() << "said:\n" << agent->log();
    }
    agents.clear();
    watch.reset();
    if (QTest::currentTestFailed() && broker)
        qWarning().noquote() << "broker log:\n" << broker->log().right(4000);
    broker.reset();
    m_runtimeDir.reset();
    const QStringList lineErrors = ports ? ports->lineErrors() : QStringList();
    ports.reset();
    dir.reset();
    return lineErrors;
}

QStringList FleetFixture::arguments(const QString &name, const QString &port, const QStringList &extra) const
{
    return agentArguments(broker->url(), name, port, dir->filePath(name), extra);
}

AgentProcess *FleetFixture::startAgent(const QString &name, const QString &port, const QStringList &extra)
{
    agents.push_back(std::make_unique<AgentProcess>(name, arguments(name, port, extra)));
    AgentProcess *agent = agents.back().get();
    if (!agent->start() || !watch->waitFor(name, [](const fleet::PanelStatus &status) { return status.online; }))
        return nullptr;
    return agent;
}

namespace panelview {

int completedUploads(const VirtualPanel &panel)
{
    int count = 0;
    for (const FrameDecoder::Event &event : panel.events())
        count += event.kind == FrameDecoder::Kind::EndFrame ? 1 : 0;
    return count;
}

QString difference(const VirtualPanel &panel, const MessageSet &set)
{
    // One look at what the panel received: the next upload's frames may
    // be arriving meanwhile, and its end frame comes last.
    const std::vector<FrameDecoder::Event> received = panel.events();
    std::vector<FrameDecoder::Event> events = received;
    // The agent's health probes may come after the upload.
    while (!events.empty() && events.back().kind == FrameDecoder::Kind::Probe)
        events.pop_back();
    if (events.empty() || events.back().kind != FrameDecoder::Kind::EndFrame)
        return QStringLiteral("no whole message upload last (%1 events)").arg(events.size());
    const PanelMemory memory = memoryOf(received);
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot) {
        const DirectoryEntry expected = makeDirectoryEntry(set.isEmpty(slot), set.run(slot), set.speedCode(slot));
        if (memory.directoryEntry(slot) != expected)
            return QStringLiteral("slot %1: another directory entry").arg(QLatin1Char(MessageSet::slotLetter(slot)));
        if (!set.isEmpty(slot) && memory.block(slot) != encodeMessageBlock(set.markup(slot)))
            return QStringLiteral("slot %1: another block").arg(QLatin1Char(MessageSet::slotLetter(slot)));
    }
    return {};
}

bool waitUntilHolds(const VirtualPanel &panel, const MessageSet &set, QString *why)
{
    const bool holds = waitUntil([&] { return difference(panel, set).isEmpty(); });
    *why = difference(panel, set);
    return holds;
}

} // namespace panelview

} // namespace varlo::test
