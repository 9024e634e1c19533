// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleetclient.h"

#include "files/messagefile.h"
#include "fleet/fleetnames.h"
#include "fleet/fleettopics.h"
#include "fleet/sethash.h"
#include "model/messageset.h"

#include <QUuid>

namespace varlo::fleet {

FleetClient::FleetClient(BrokerSettings settings, QObject *parent)
    : QObject(parent)
    , m_client(std::move(settings))
    , m_syncTopic(QStringLiteral("varlo/publisher/%1/sync").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)))
{
    // A status is a few hundred bytes; a stranger's megabytes are not kept.
    m_client.setMaxPayloadBytes(kMaxStatusBytes);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &FleetClient::finish);
    m_connectDeadline.setSingleShot(true);
    connect(&m_connectDeadline, &QTimer::timeout, this, &FleetClient::giveUp);
    connect(&m_client, &MqttClient::connected, this, &FleetClient::onConnected);
    connect(&m_client, &MqttClient::subscribed, this, &FleetClient::onSubscribed);
    connect(&m_client, &MqttClient::messageReceived, this, &FleetClient::onMessage);
    connect(&m_client, &MqttClient::disconnected, this, [this](const QString &reason) {
        m_lastProblem = reason;
        Q_EMIT connectionProblem(reason);
    });
    connect(&m_client, &MqttClient::published, this, [this](int messageId) { m_undelivered.remove(messageId); });
}

FleetClient::~FleetClient() = default;

bool FleetClient::start(int connectWaitS, QString *error)
{
    if (!m_client.start(error))
        return false;
    m_connectDeadline.start(connectWaitS * 1000);
    return true;
}

void FleetClient::giveUp()
{
    if (m_ready)
        return;
    m_client.stop();
    Q_EMIT gaveUp(m_lastProblem);
}

QStringList FleetClient::membersOf(const QString &group) const
{
    QStringList members;
    for (const PanelStatus &status : m_statuses) {
        if (status.groups.contains(group))
            members << status.name;
    }
    return members;
}

bool FleetClient::checkNames(const QStringList &names, QString *error) const
{
    if (const QString problem = names::namesProblem(names); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    if (m_following) {
        *error = QStringLiteral("a publish is still running");
        return false;
    }
    return true;
}

bool FleetClient::checkTargets(const QStringList &panels, const QStringList &groups, QString *error) const
{
    if (!checkNames(panels + groups, error))
        return false;
    if (panels.isEmpty() && groups.isEmpty()) {
        *error = QStringLiteral("no panel or group to publish to");
        return false;
    }
    return true;
}

void FleetClient::sendRetained(Desired kind, const QByteArray &payload, const QStringList &panels,
                               const QStringList &groups)
{
    // A set takes the place of a schedule and a schedule that of a set: the
    // broker keeps one or the other for each panel and group, so that an
    // agent that starts afresh finds nothing stale beside the newest. The
    // other is taken off first: the agent sees the two in the order sent.
    const bool schedule = kind == Desired::Schedule;
    for (const QString &panel : panels) {
        send(schedule ? topics::panelMessages(panel) : topics::panelSchedule(panel), {}, true);
        send(schedule ? topics::panelSchedule(panel) : topics::panelMessages(panel), payload, true);
    }
    for (const QString &group : groups) {
        send(schedule ? topics::groupMessages(group) : topics::groupSchedule(group), {}, true);
        send(schedule ? topics::groupSchedule(group) : topics::groupMessages(group), payload, true);
    }
}

bool FleetClient::publishSet(const MessageSet &set, const QStringList &panels, const QStringList &groups, int waitS,
                             QString *error)
{
    if (!checkTargets(panels, groups, error))
        return false;
    const QByteArray fileBytes = encodeMessageFile(set);
    if (fileBytes.isEmpty()) {
        *error = textTooLongMessage(firstTooLongSlot(set)).trimmed();
        return false;
    }
    sendRetained(Desired::Set, fileBytes, panels, groups);
    // The set's name is the hash of the very bytes published (see sethash.h).
    const QString setHash = hashOfBytes(fileBytes);
    follow(panels, groups, {setHash, -1, {}, setHash, {}}, waitS);
    return true;
}

bool FleetClient::publishSchedule(const QByteArray &file, const QStringList &panels, const QStringList &groups,
                                  int waitS, QString *error)
{
    if (!checkTargets(panels, groups, error))
        return false;
    if (file.size() > topics::kMaxScheduleBytes) {
        *error = QStringLiteral("the schedule has %1 bytes; the agents take %2 at most")
                     .arg(file.size())
                     .arg(topics::kMaxScheduleBytes);
        return false;
    }
    sendRetained(Desired::Schedule, file, panels, groups);
    const QString hash = hashOfBytes(file);
    PublishConfirmation::Expected expected;
    expected.payloadHash = hash;
    expected.scheduleHash = hash;
    follow(panels, groups, expected, waitS);
    return true;
}

bool FleetClient::publishSlot(int slot, const QString &text, const QStringList &panels, int waitS, QString *error)
{
    if (!checkNames(panels, error))
        return false;
    Q_ASSERT(MessageSet::isSlotIndex(slot));
    if (panels.isEmpty()) {
        *error = QStringLiteral("no panel to publish to");
        return false;
    }
    const QByteArray payload = text.toUtf8();
    for (const QString &panel : panels)
        send(topics::panelSlot(panel, MessageSet::slotLetter(slot)), payload, false);
    follow(panels, {}, {{}, slot, text, hashOfBytes(payload), {}}, waitS);
    return true;
}

void FleetClient::send(const QString &topic, const QByteArray &payload, bool retain)
{
    // The acknowledgement comes as a queued signal, so the id is in the set
    // before it can arrive.
    const int messageId = m_client.publish(topic, payload, retain);
    if (messageId >= 0)
        m_undelivered.insert(messageId);
}

void FleetClient::follow(const QStringList &panels, const QStringList &groups, PublishConfirmation::Expected expected,
                         int waitS)
{
    QStringList concerned = panels;
    QStringList emptyGroups;
    for (const QString &group : groups) {
        const QStringList members = membersOf(group);
        if (members.isEmpty())
            emptyGroups << group;
        for (const QString &member : members) {
            if (!concerned.contains(member))
                concerned << member;
        }
    }
    m_confirmation.emplace(concerned, emptyGroups, std::move(expected));
    m_confirmation->setFailuresSettle(m_failuresSettle);
    for (const PanelStatus &status : this->panels())
        m_confirmation->take(status);
    m_following = true;
    m_deadline.start(waitS * 1000);
    if (m_confirmation->settled())
        QTimer::singleShot(0, this, &FleetClient::finish);
}

QList<PanelOutcome> FleetClient::outcomes() const
{
    return m_confirmation ? m_confirmation->outcomes() : QList<PanelOutcome>();
}

void FleetClient::finish()
{
    if (!m_following)
        return;
    m_following = false;
    m_deadline.stop();
    Q_EMIT finished(m_confirmation->outcomes());
}

void FleetClient::onConnected()
{
    // Subscribed again on every connection: the session is not kept.
    m_subscribeId = m_client.subscribe({topics::allStatuses(), topics::allAvailabilities(), m_syncTopic});
}

void FleetClient::onSubscribed(int messageId)
{
    if (messageId == m_subscribeId && !m_ready)
        m_client.publish(m_syncTopic, QByteArray("sync"), false);
}

void FleetClient::onMessage(const MqttMessage &message)
{
    if (message.topic == m_syncTopic) {
        if (!m_ready) {
            m_ready = true;
            m_connectDeadline.stop();
            Q_EMIT ready();
        }
        return;
    }
    if (const QString panel = topics::panelOfAvailability(message.topic); !panel.isEmpty()) {
        if (message.payload.isEmpty())
            m_availability.remove(panel);
        else
            m_availability.insert(panel, message.payload);
        if (m_statuses.contains(panel))
            takeStatus(panel);
        return;
    }
    const QString panel = topics::panelOfStatus(message.topic);
    if (panel.isEmpty() || message.cut)
        return;
    if (message.payload.isEmpty()) {
        // A status taken off the broker: the panel is gone for good.
        m_statuses.remove(panel);
        return;
    }
    QString error;
    std::optional<PanelStatus> status = PanelStatus::fromJson(message.payload, &error);
    if (!status || status->name != panel)
        return;
    m_statuses.insert(panel, *status);
    takeStatus(panel);
}

PanelStatus FleetClient::statusOf(const QString &panel) const
{
    return m_statuses.value(panel).withAvailability(m_availability.value(panel));
}

QList<PanelStatus> FleetClient::panels() const
{
    QList<PanelStatus> list;
    for (const QString &panel : m_statuses.keys())
        list << statusOf(panel);
    return list;
}

void FleetClient::takeStatus(const QString &panel)
{
    if (!m_following)
        return;
    const QList<PanelOutcome> before = m_confirmation->outcomes();
    m_confirmation->take(statusOf(panel));
    for (const PanelOutcome &outcome : m_confirmation->outcomes()) {
        if (outcome.panel == panel && std::none_of(before.begin(), before.end(), [&](const PanelOutcome &old) {
                return old.panel == panel && old.kind == outcome.kind && old.text == outcome.text;
            }))
            Q_EMIT outcomeChanged(outcome);
    }
    if (m_confirmation->settled())
        finish();
}

} // namespace varlo::fleet
