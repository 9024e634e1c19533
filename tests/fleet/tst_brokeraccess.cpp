// SPDX-License-Identifier: GPL-3.0-or-later
// The broker set up as operators are told to set it up: Mosquitto run with
// packaging/mosquitto/varlo.conf and varlo.acl as shipped (only the port,
// the file paths and the log made local), with real clients logging in as
// two agents' users and a publisher's. Whatever a user who can log in might
// forge is refused; everything Varlo's own programs do still gets through.
#include "agentfixture.h"
#include "testbroker.h"

#include "files/messagefile.h"
#include "fleet/fleetclient.h"
#include "fleet/fleettopics.h"
#include "fleet/mqttclient.h"
#include "fleet/panelstatus.h"
#include "fleet/sethash.h"
#include "model/messageset.h"
#include "support/virtualports.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <memory>

using namespace varlo;
using namespace varlo::fleet;
using namespace varlo::test;

namespace {

// The users the shipped ACL expects: agents log in as their panel's name,
// and the template names one publisher.
const QString kShop1 = QStringLiteral("shop-1");
const QString kShop2 = QStringLiteral("shop-2");
const QString kPublisher = QStringLiteral("publisher");
const QString kGroup = QStringLiteral("all");
// A font file may be this big (see charset/fontfile.cpp); the broker must
// carry it.
constexpr int kLargestFontFileBytes = 1024 * 1024;

QString passwordOf(const QString &user)
{
    return QStringLiteral("secret of ") + user;
}

MessageSet setOf(const QByteArray &slotA)
{
    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, slotA);
    return set;
}

PanelStatus statusOf(const QString &panel, const MessageSet &uploaded)
{
    PanelStatus status;
    status.name = panel;
    status.online = true;
    status.groups = {kGroup};
    status.port = QStringLiteral("COM3");
    status.uploaded = PanelStatus::Upload{hashOfSet(uploaded), QDateTime::currentDateTimeUtc(), status.port};
    return status;
}

// Retained payloads by topic.
using Stored = QMap<QString, QByteArray>;

// What the fleet holds before anybody forges anything: shop-1's agent has
// said its status and availability, and the publisher has published a set,
// a font and a schedule for the panel and a set and a schedule for its group.
struct RealState
{
    QByteArray panelSet = encodeMessageFile(setOf("REAL PANEL SET"));
    QByteArray groupSet = encodeMessageFile(setOf("REAL GROUP SET"));
    QByteArray status = statusOf(kShop1, setOf("REAL PANEL SET")).toJson();

    // What a publisher reads.
    Stored statuses() const
    {
        return {{topics::panelStatus(kShop1), status},
                {QStringLiteral("varlo/panel/shop-1/availability"), QByteArray("online")}};
    }
    // What shop-1's agent reads.
    Stored desired() const
    {
        return {{topics::panelMessages(kShop1), panelSet},
                {topics::groupMessages(kGroup), groupSet},
                {topics::panelFont(kShop1), QByteArray(4096, '\x55')},
                {QStringLiteral("varlo/panel/shop-1/schedule"), QByteArray("real panel schedule")},
                {QStringLiteral("varlo/group/all/schedule"), QByteArray("real group schedule")}};
    }
};

} // namespace

class TestBrokerAccess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void forgeriesAreRefused_data();
    void forgeriesAreRefused();
    void agentReadsOnlyItsOwnAndItsGroupsTopics();
    void clientIdCantBeTakenOver_data();
    void clientIdCantBeTakenOver();
    void legitimatePathsWork_data();
    void legitimatePathsWork();
    void agentAndPublisherWorkAsShipped();
    void oversizePacketIsRefused();
    void retainedStateSurvivesARestart();

private:
    BrokerSettings as(const QString &user, const QString &clientId = {}) const;
    // A client logged in as the user, connected; null (with a warning
    // saying why) when it could not connect.
    std::unique_ptr<MqttClient> connectAs(const QString &user, const QString &clientId = {});
    // Publishes and waits until the broker has taken it (which, for a
    // publish the ACL refuses, it says all the same).
    bool publishAs(const QString &user, const QString &topic, const QByteArray &payload, bool retain = true);
    bool placeRealState();
    // Every retained status and availability, as a fresh subscriber logged
    // in as the publisher gets them.
    std::optional<Stored> statusesSeenByPublisher();
    // The retained payloads of the topics, as a fresh subscriber logged in
    // as the user gets them; the user must find one on each topic.
    std::optional<Stored> storedSeenBy(const QString &user, const QStringList &topicList);
    // Empty when fresh subscribers find on the broker exactly what
    // placeRealState() put there; otherwise what differs.
    QString differenceFromRealState();

    std::unique_ptr<TestBroker> m_broker;
    const RealState m_real;
};

void TestBrokerAccess::init()
{
    m_broker = std::make_unique<TestBroker>();
    m_broker->useConfiguration(QStringLiteral(VARLO_MOSQUITTO_DIR "/varlo.conf"),
                               QStringLiteral(VARLO_MOSQUITTO_DIR "/varlo.acl"));
    for (const QString &user : {kShop1, kShop2, kPublisher})
        QVERIFY2(m_broker->addUser(user, passwordOf(user)), qPrintable(m_broker->errorString()));
    QVERIFY2(m_broker->start(), qPrintable(m_broker->errorString()));
}

void TestBrokerAccess::cleanup()
{
    if (QTest::currentTestFailed() && m_broker)
        qWarning().noquote() << "broker log:\n" << m_broker->log().right(6000);
    m_broker.reset();
}

BrokerSettings TestBrokerAccess::as(const QString &user, const QString &clientId) const
{
    BrokerSettings settings = m_broker->settings();
    settings.credentials = Credentials(user, passwordOf(user));
    settings.clientId = clientId;
    return settings;
}

std::unique_ptr<MqttClient> TestBrokerAccess::connectAs(const QString &user, const QString &clientId)
{
    auto client = std::make_unique<MqttClient>(as(user, clientId));
    QSignalSpy connected(client.get(), &MqttClient::connected);
    QSignalSpy disconnected(client.get(), &MqttClient::disconnected);
    QString error;
    if (!client->start(&error)) {
        qWarning().noquote() << user << error;
        return nullptr;
    }
    if (!waitUntil([&] { return !connected.isEmpty() || !disconnected.isEmpty(); }) || connected.isEmpty()) {
        qWarning().noquote() << user << "could not connect:"
                             << (disconnected.isEmpty() ? QStringLiteral("no answer")
                                                        : disconnected.first().first().toString());
        return nullptr;
    }
    return client;
}

bool TestBrokerAccess::publishAs(const QString &user, const QString &topic, const QByteArray &payload, bool retain)
{
    // One connection per user at a time: the broker names connections after
    // their users, so a second one would end the first.
    const auto client = connectAs(user);
    if (!client)
        return false;
    QSignalSpy published(client.get(), &MqttClient::published);
    const int messageId = client->publish(topic, payload, retain);
    return messageId >= 0 && waitUntil([&] {
               return std::any_of(published.begin(), published.end(),
                                  [&](const QList<QVariant> &signal) { return signal.first().toInt() == messageId; });
           });
}

bool TestBrokerAccess::placeRealState()
{
    // The agent says who it is, as varlo-agent would, and goes away cleanly.
    const Stored statuses = m_real.statuses();
    for (auto it = statuses.begin(); it != statuses.end(); ++it) {
        if (!publishAs(kShop1, it.key(), it.value()))
            return false;
    }
    const Stored desired = m_real.desired();
    for (auto it = desired.begin(); it != desired.end(); ++it) {
        if (!publishAs(kPublisher, it.key(), it.value()))
            return false;
    }
    return true;
}

std::optional<Stored> TestBrokerAccess::statusesSeenByPublisher()
{
    // As FleetClient learns that every retained status has arrived: a note
    // to itself, sent once subscribed, comes back after them.
    const auto client = connectAs(kPublisher);
    if (!client)
        return std::nullopt;
    const QString sync =
        QStringLiteral("varlo/publisher/%1/sync").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    QSignalSpy subscribed(client.get(), &MqttClient::subscribed);
    QSignalSpy received(client.get(), &MqttClient::messageReceived);
    const int subscription =
        client->subscribe({topics::allStatuses(), QStringLiteral("varlo/panel/+/availability"), sync});
    if (subscription < 0
        || !waitUntil([&] { return !subscribed.isEmpty() && subscribed.last().first().toInt() == subscription; }))
        return std::nullopt;
    client->publish(sync, QByteArray("sync"), false);
    Stored stored;
    const bool synced = waitUntil([&] {
        for (; !received.isEmpty(); received.removeFirst()) {
            const auto message = received.first().first().value<MqttMessage>();
            if (message.topic == sync)
                return true;
            if (message.retained)
                stored.insert(message.topic, message.payload);
        }
        return false;
    });
    if (!synced) {
        qWarning() << "the publisher's note to itself never came back";
        return std::nullopt;
    }
    return stored;
}

std::optional<Stored> TestBrokerAccess::storedSeenBy(const QString &user, const QStringList &topicList)
{
    const auto client = connectAs(user);
    if (!client)
        return std::nullopt;
    QSignalSpy received(client.get(), &MqttClient::messageReceived);
    if (client->subscribe(topicList) < 0)
        return std::nullopt;
    Stored stored;
    // One retained message per topic: what arrives is what is stored.
    const bool all = waitUntil([&] {
        for (; !received.isEmpty(); received.removeFirst()) {
            const auto message = received.first().first().value<MqttMessage>();
            stored.insert(message.topic, message.payload);
        }
        return stored.size() == topicList.size();
    });
    if (!all) {
        qWarning().noquote() << user << "received only" << stored.keys() << "of" << topicList;
        return std::nullopt;
    }
    return stored;
}

QString TestBrokerAccess::differenceFromRealState()
{
    const auto describe = [](const Stored &stored) {
        QStringList lines;
        for (auto it = stored.begin(); it != stored.end(); ++it)
            lines << QStringLiteral("  %1: %2 bytes %3")
                         .arg(it.key())
                         .arg(it.value().size())
                         .arg(QString::fromLatin1(it.value().left(60).toPercentEncoding(" {}[]\":,")));
        return lines.join(QLatin1Char('\n'));
    };
    const auto compare = [&](const QString &who, const std::optional<Stored> &seen, const Stored &real) {
        if (!seen)
            return who + QStringLiteral(" could not read what is stored");
        if (*seen != real)
            return QStringLiteral("%1 finds\n%2\ninstead of\n%3").arg(who, describe(*seen), describe(real));
        return QString();
    };
    const QString statuses = compare(QStringLiteral("the publisher"), statusesSeenByPublisher(), m_real.statuses());
    if (!statuses.isEmpty())
        return statuses;
    const Stored desired = m_real.desired();
    return compare(QStringLiteral("shop-1's agent"), storedSeenBy(kShop1, desired.keys()), desired);
}

void TestBrokerAccess::forgeriesAreRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");

    // A status saying the panel holds a set its agent never saw: publish
    // would report it as confirmed.
    const QByteArray forged = statusOf(kShop1, setOf("NEVER UPLOADED")).toJson();
    const QString status = topics::panelStatus(kShop1);
    QTest::newRow("publisher forges shop-1's status") << kPublisher << status << forged;
    QTest::newRow("another agent forges shop-1's status") << kShop2 << status << forged;
    // An empty retained status takes the panel out of every group.
    QTest::newRow("publisher erases shop-1's status") << kPublisher << status << QByteArray();
    QTest::newRow("another agent erases shop-1's status") << kShop2 << status << QByteArray();
    // A member without an agent makes every publish to its group fail.
    QTest::newRow("publisher adds a ghost member") << kPublisher << topics::panelStatus(QStringLiteral("ghost"))
                                                   << statusOf(QStringLiteral("ghost"), setOf("X")).toJson();
    QTest::newRow("publisher adds a ghost named as itself")
        << kPublisher << topics::panelStatus(kPublisher) << statusOf(kPublisher, setOf("X")).toJson();
    QTest::newRow("another agent adds a ghost member") << kShop2 << topics::panelStatus(QStringLiteral("ghost"))
                                                       << statusOf(QStringLiteral("ghost"), setOf("X")).toJson();
    const QString availability = QStringLiteral("varlo/panel/shop-1/availability");
    QTest::newRow("publisher says shop-1 is offline") << kPublisher << availability << QByteArray("offline");
    QTest::newRow("another agent says shop-1 is offline") << kShop2 << availability << QByteArray("offline");
    // Agents only say what they do; what panels should show is the
    // publishers' to say.
    const QByteArray set = encodeMessageFile(setOf("FORGED"));
    QTest::newRow("an agent sets its group's messages") << kShop2 << topics::groupMessages(kGroup) << set;
    QTest::newRow("an agent sets another panel's messages") << kShop2 << topics::panelMessages(kShop1) << set;
    QTest::newRow("an agent sets its own messages") << kShop1 << topics::panelMessages(kShop1) << set;
    QTest::newRow("an agent sets another panel's font")
        << kShop2 << topics::panelFont(kShop1) << QByteArray(4096, '\xff');
    QTest::newRow("an agent sets its group's schedule")
        << kShop2 << QStringLiteral("varlo/group/all/schedule") << QByteArray("forged");
}

void TestBrokerAccess::forgeriesAreRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QVERIFY(placeRealState());

    QVERIFY(publishAs(user, topic, payload));

    const QString difference = differenceFromRealState();
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestBrokerAccess::agentReadsOnlyItsOwnAndItsGroupsTopics()
{
    QVERIFY(placeRealState());
    const auto client = connectAs(kShop2);
    QVERIFY(client);
    QSignalSpy received(client.get(), &MqttClient::messageReceived);
    // The broker answers subscriptions in order, each with its retained
    // messages: once the group's set is in, shop-1's would be too.
    QVERIFY(client->subscribe({topics::panelMessages(kShop1), topics::panelFont(kShop1),
                               QStringLiteral("varlo/panel/shop-1/schedule"), topics::panelStatus(kShop1),
                               topics::groupMessages(kGroup)})
            >= 0);
    QVERIFY(waitUntil([&] { return !received.isEmpty(); }));
    const auto message = received.first().first().value<MqttMessage>();
    QCOMPARE(message.topic, topics::groupMessages(kGroup));
    QCOMPARE(received.size(), 1);
}

void TestBrokerAccess::clientIdCantBeTakenOver_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("clientId");
    const QString agentId = QStringLiteral("varlo-agent-shop-1");
    QTest::newRow("publisher with the agent's client id") << kPublisher << agentId;
    QTest::newRow("another agent with the agent's client id") << kShop2 << agentId;
}

void TestBrokerAccess::clientIdCantBeTakenOver()
{
    QFETCH(QString, user);
    QFETCH(QString, clientId);
    // Connected as varlo-agent connects: its client id, a kept session and
    // its offline status as the last will.
    BrokerSettings settings = as(kShop1, QStringLiteral("varlo-agent-shop-1"));
    settings.cleanSession = false;
    PanelStatus offline = statusOf(kShop1, setOf("X"));
    offline.online = false;
    settings.will = LastWill{topics::panelStatus(kShop1), offline.toJson(), true};
    MqttClient agent(settings);
    QSignalSpy connected(&agent, &MqttClient::connected);
    QSignalSpy disconnected(&agent, &MqttClient::disconnected);
    QSignalSpy published(&agent, &MqttClient::published);
    QString error;
    QVERIFY2(agent.start(&error), qPrintable(error));
    QVERIFY(waitUntil([&] { return !connected.isEmpty(); }));

    const auto intruder = connectAs(user, clientId);
    QVERIFY(intruder);
    // The broker ends a connection it hands over before it lets the new one
    // in, so by now the agent's socket would be closed: the agent sees that
    // before its next publish is taken, which waits for a new connection.
    const int messageId = agent.publish(topics::panelStatus(kShop1), statusOf(kShop1, setOf("X")).toJson(), true);
    QVERIFY(waitUntil([&] { return !disconnected.isEmpty() || (messageId >= 0 && !published.isEmpty()); }));
    QVERIFY2(disconnected.isEmpty(),
             qPrintable(QStringLiteral("the agent lost its connection: ") + disconnected.value(0).value(0).toString()));
    QCOMPARE(connected.size(), 1);
}

void TestBrokerAccess::legitimatePathsWork_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("subscription");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("retain");

    const QByteArray set = encodeMessageFile(setOf("OPEN"));
    QTest::newRow("publisher sets a panel's messages")
        << kPublisher << kShop1 << topics::panelMessages(kShop1) << topics::panelMessages(kShop1) << set << true;
    QTest::newRow("publisher sets a group's messages")
        << kPublisher << kShop1 << topics::groupMessages(kGroup) << topics::groupMessages(kGroup) << set << true;
    QTest::newRow("publisher sends a slot's text")
        << kPublisher << kShop1 << topics::panelSlots(kShop1) << topics::panelSlot(kShop1, 'C')
        << QByteArray("Back at 2") << false;
    QTest::newRow("publisher sends the largest font file")
        << kPublisher << kShop1 << topics::panelFont(kShop1) << topics::panelFont(kShop1)
        << QByteArray(kLargestFontFileBytes, '#') << true;
    QTest::newRow("publisher sets a panel's schedule")
        << kPublisher << kShop1 << QStringLiteral("varlo/panel/shop-1/schedule")
        << QStringLiteral("varlo/panel/shop-1/schedule") << QByteArray("{}") << true;
    QTest::newRow("publisher sets a group's schedule")
        << kPublisher << kShop1 << QStringLiteral("varlo/group/all/schedule")
        << QStringLiteral("varlo/group/all/schedule") << QByteArray("{}") << true;
    QTest::newRow("agent says its status")
        << kShop1 << kPublisher << topics::allStatuses() << topics::panelStatus(kShop1)
        << statusOf(kShop1, setOf("OPEN")).toJson() << true;
    QTest::newRow("agent says it is online")
        << kShop1 << kPublisher << QStringLiteral("varlo/panel/+/availability")
        << QStringLiteral("varlo/panel/shop-1/availability") << QByteArray("online") << true;
}

void TestBrokerAccess::legitimatePathsWork()
{
    QFETCH(QString, writer);
    QFETCH(QString, reader);
    QFETCH(QString, subscription);
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(bool, retain);

    const auto subscriber = connectAs(reader);
    QVERIFY(subscriber);
    QSignalSpy subscribed(subscriber.get(), &MqttClient::subscribed);
    QSignalSpy received(subscriber.get(), &MqttClient::messageReceived);
    QVERIFY(subscriber->subscribe({subscription}) >= 0);
    QVERIFY(waitUntil([&] { return !subscribed.isEmpty(); }));

    QVERIFY(publishAs(writer, topic, payload, retain));
    QVERIFY(waitUntil([&] { return !received.isEmpty(); }));
    const auto message = received.first().first().value<MqttMessage>();
    QCOMPARE(message.topic, topic);
    QCOMPARE(message.payload.size(), payload.size());
    QVERIFY(message.payload == payload);
}

void TestBrokerAccess::agentAndPublisherWorkAsShipped()
{
    // The real varlo-agent with a virtual panel, and the fleet client that
    // varlo-cli publish uses, each logged in as the guide says.
    VirtualPorts ports;
    QVERIFY(ports.isValid());
    const VirtualPanel &panel = ports.addPanel(3);
    QTemporaryDir dir;
    QFile credentials(dir.filePath(QStringLiteral("credentials")));
    QVERIFY(credentials.open(QIODevice::WriteOnly));
    credentials.write("username=" + kShop1.toUtf8() + "\npassword=" + passwordOf(kShop1).toUtf8() + "\n");
    credentials.close();
    QVERIFY(credentials.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    AgentProcess agent(
        kShop1,
        agentArguments(m_broker->url(), kShop1, QStringLiteral("COM3"), dir.filePath(QStringLiteral("state")),
                       {QStringLiteral("--group"), kGroup, QStringLiteral("--credentials"), credentials.fileName()}));
    QVERIFY(agent.start());

    FleetClient fleet(as(kPublisher));
    QSignalSpy ready(&fleet, &FleetClient::ready);
    QSignalSpy finished(&fleet, &FleetClient::finished);
    QString error;
    QVERIFY2(fleet.start(kWaitMs / 1000, &error), qPrintable(error));
    QVERIFY(waitUntil([&] { return !ready.isEmpty(); }));
    // The agent's status puts it in its group.
    QVERIFY2(waitUntil([&] { return fleet.membersOf(kGroup) == QStringList{kShop1}; }), qPrintable(agent.log()));

    const auto publishAndConfirm = [&](const MessageSet &set, const QStringList &panels, const QStringList &groups) {
        finished.clear();
        QString why;
        if (!fleet.publishSet(set, panels, groups, kWaitMs / 1000, &why))
            return why;
        if (!waitUntil([&] { return !finished.isEmpty(); }))
            return QStringLiteral("no outcome");
        const auto outcomes = finished.first().first().value<QList<PanelOutcome>>();
        if (outcomes.size() != 1 || outcomes.first().kind != PanelOutcome::Kind::Confirmed)
            return QStringLiteral("not confirmed: ") + outcomes.value(0).text;
        return panelview::waitUntilHolds(panel, set, &why) ? QString() : why;
    };
    QString why = publishAndConfirm(setOf("TO THE GROUP"), {}, {kGroup});
    QVERIFY2(why.isEmpty(), qPrintable(why + QLatin1Char('\n') + agent.log()));
    why = publishAndConfirm(setOf("TO THE PANEL"), {kShop1}, {});
    QVERIFY2(why.isEmpty(), qPrintable(why + QLatin1Char('\n') + agent.log()));
}

void TestBrokerAccess::oversizePacketIsRefused()
{
    const auto subscriber = connectAs(kShop1);
    QVERIFY(subscriber);
    QSignalSpy subscribed(subscriber.get(), &MqttClient::subscribed);
    QSignalSpy received(subscriber.get(), &MqttClient::messageReceived);
    QVERIFY(subscriber->subscribe({topics::panelFont(kShop1)}) >= 0);
    QVERIFY(waitUntil([&] { return !subscribed.isEmpty(); }));

    {
        // Well beyond any font file: the broker ends the connection.
        const auto publisher = connectAs(kPublisher);
        QVERIFY(publisher);
        QSignalSpy disconnected(publisher.get(), &MqttClient::disconnected);
        QVERIFY(publisher->publish(topics::panelFont(kShop1), QByteArray(kLargestFontFileBytes + 4096, '#'), true)
                >= 0);
        QVERIFY(waitUntil([&] { return !disconnected.isEmpty(); }));
        // Or it would send the message again on reconnecting.
        publisher->stop();
    }
    // What comes next reaches the agent first: nothing of the big one did.
    const QByteArray table(4096, '\x55');
    QVERIFY(publishAs(kPublisher, topics::panelFont(kShop1), table));
    QVERIFY(waitUntil([&] { return !received.isEmpty(); }));
    QCOMPARE(received.first().first().value<MqttMessage>().payload, table);
}

void TestBrokerAccess::retainedStateSurvivesARestart()
{
    // The agent is away while the broker restarts: only the stored status
    // keeps its panel in its group.
    QVERIFY(placeRealState());
    QVERIFY(m_broker->stop());
    QVERIFY2(m_broker->restart(), qPrintable(m_broker->errorString()));

    const QString difference = differenceFromRealState();
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

QTEST_GUILESS_MAIN(TestBrokerAccess)
#include "tst_brokeraccess.moc"
