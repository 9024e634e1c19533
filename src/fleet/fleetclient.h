// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/mqttclient.h"
#include "fleet/panelstatus.h"
#include "fleet/publishconfirmation.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QObject>
#include <QTimer>

#include <optional>

namespace varlo {
class MessageSet;
}

namespace varlo::fleet {

// The publisher's side of a fleet: what varlo-cli and the window use to
// reach the agents. It connects, takes in every panel's retained status (so
// it knows the panels and their groups), publishes sets retained to panels
// and groups, and follows the statuses of the panels concerned until each
// shows what was published, or the time given is up.
//
//   FleetClient fleet(settings);
//   connect(&fleet, &FleetClient::ready, ...);      // the panels are known
//   connect(&fleet, &FleetClient::gaveUp, ...);     // or the broker is out of reach
//   fleet.start(30, &error);
//   ... fleet.publishSet(set, {"shop-1"}, {"all"}, 30, &error);
//   connect(&fleet, &FleetClient::finished, ...);   // one outcome per panel
class FleetClient : public QObject
{
    Q_OBJECT

public:
    explicit FleetClient(BrokerSettings settings, QObject *parent = nullptr);
    ~FleetClient() override;

    // Connects. ready() follows once every retained status is in, or
    // gaveUp() when that has not happened within connectWaitS: the client
    // then stops trying, so that a connection that comes later publishes
    // nothing behind the caller's back. False, with the reason, for
    // settings the MQTT library refuses.
    bool start(int connectWaitS, QString *error);
    bool isReady() const { return m_ready; }

    // Every panel that has a status, by name, online or offline as its
    // availability says.
    QList<PanelStatus> panels() const;
    // The panels whose status lists the group, by name.
    QStringList membersOf(const QString &group) const;

    // Publishes the set as a message file, retained, to each panel's and
    // each group's topic and follows the panels named and the groups'
    // members. False, with the reason, for a set a message file can't keep,
    // a bad name, nothing to publish to, or a publish still running;
    // nothing is published then. Call it after ready().
    bool publishSet(const MessageSet &set, const QStringList &panels, const QStringList &groups, int waitS,
                    QString *error);
    // Publishes a schedule file's bytes, retained, to each panel's and each
    // group's schedule topic, and takes the set off their message topics
    // (publishSet does the opposite): the agents run it from then on. The
    // file is checked by the caller (readSchedule); here only its size.
    // Follows the panels until each says it runs the schedule and holds
    // its set of the moment.
    bool publishSchedule(const QByteArray &file, const QStringList &panels, const QStringList &groups, int waitS,
                         QString *error);
    // Publishes a slot's text (UTF-8) to each panel named, not retained: a
    // change on top of what the panel holds, as Home Assistant sends it.
    // slot: 0 for A to 19 for T.
    bool publishSlot(int slot, const QString &text, const QStringList &panels, int waitS, QString *error);

    // Whether a failed upload ends the following (the default) or the
    // publisher waits on while the agent retries; for the next publish.
    void setFailuresSettle(bool settle) { m_failuresSettle = settle; }

    // The outcomes so far of the publish running or last finished.
    QList<PanelOutcome> outcomes() const;
    // Whether the broker has taken every set and slot text published. A
    // program that ends before this would lose them: a panel that holds the
    // set already confirms at once, before the broker has stored it.
    bool isDelivered() const { return m_undelivered.isEmpty(); }

Q_SIGNALS:
    void ready();
    // The connection broke or could not be made; the client keeps trying.
    void connectionProblem(const QString &reason);
    // Not ready within the time start() gave; lastProblem: the last reason
    // the connection failed, or an empty text.
    void gaveUp(const QString &lastProblem);
    // A panel's outcome changed.
    void outcomeChanged(const varlo::fleet::PanelOutcome &outcome);
    // The publish is over: every panel confirmed or settled, or the time
    // ran out. One outcome per panel.
    void finished(const QList<varlo::fleet::PanelOutcome> &outcomes);

private:
    void onConnected();
    void onSubscribed(int messageId);
    void onMessage(const MqttMessage &message);
    PanelStatus statusOf(const QString &panel) const;
    // A panel's status or availability changed.
    void takeStatus(const QString &panel);
    bool checkNames(const QStringList &names, QString *error) const;
    // The names, and at least one of them.
    bool checkTargets(const QStringList &panels, const QStringList &groups, QString *error) const;
    enum class Desired { Set, Schedule };
    // A set or a schedule, retained, to the panels' and groups' topics of
    // its kind, the other kind taken off.
    void sendRetained(Desired kind, const QByteArray &payload, const QStringList &panels, const QStringList &groups);
    void follow(const QStringList &panels, const QStringList &groups, PublishConfirmation::Expected expected,
                int waitS);
    void finish();
    void giveUp();
    void send(const QString &topic, const QByteArray &payload, bool retain);

    MqttClient m_client;
    // Message ids of publishes the broker has not acknowledged yet.
    QSet<int> m_undelivered;
    // Published by this client once it has subscribed: when it comes back,
    // every retained status has arrived before it.
    QString m_syncTopic;
    int m_subscribeId = -1;
    bool m_ready = false;
    static constexpr qint64 kMaxStatusBytes = 64 * 1024;
    QMap<QString, PanelStatus> m_statuses;
    // What each panel's availability topic says ("online", "offline").
    QMap<QString, QByteArray> m_availability;
    std::optional<PublishConfirmation> m_confirmation;
    bool m_following = false;
    bool m_failuresSettle = true;
    QTimer m_deadline;
    QTimer m_connectDeadline;
    QString m_lastProblem;
};

} // namespace varlo::fleet
