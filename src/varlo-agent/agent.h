// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "varlo-agent/agentoptions.h"
#include "varlo-agent/statefolder.h"
#include "fleet/brokersettings.h"
#include "fleet/mqttclient.h"
#include "fleet/panelstatus.h"
#include "link/uploadworker.h"
#include "schedule/schedulerunner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

namespace varlo::agent {

// varlo-agent's work: keeps one panel showing its desired state.
//
// Desired state. A set published (retained) to the panel's or one of its
// groups' message topics, or a slot text applied to the set it holds,
// becomes the desired set; the newest wins. The agent keeps it in its state
// folder and uploads it unless the panel already has it (the hash of the
// last good upload says so), also after a restart or a reconnection. A set
// that arrives during an upload is uploaded right after it; sets that come
// and go meanwhile are never uploaded.
//
// Retained payloads that the broker sends again on each subscription are
// news only when they differ from what the agent last saw on that topic; a
// payload published while the agent is subscribed (or kept for it in its
// session while it was away) always is. On a fresh start the group topics
// are subscribed first, so a panel's own retained set comes last and wins.
//
// Schedules. A schedule published (retained) to the panel's or one of its
// groups' schedule topics takes the place of a set, and a set or slot text
// that comes later takes the place of the schedule: the newest wins, among
// sets and schedules alike. While a schedule runs, its set of the moment is
// the desired set: the agent works it out again at each window boundary,
// each minute a clock field shows, and each new value of a topic a field
// names (it subscribes to those while the schedule runs), and uploads when
// what the panel would show differs from what it holds, at the pace below.
// The schedule is kept in the state folder and runs again after a restart.
// A schedule taken off the broker stops; the panel keeps what it shows.
//
// Pace. No upload starts sooner than --min-interval after the last one
// that reached the port began (the status says "held" until when). After a
// failed upload the next try comes --retry seconds later ("retrying", with
// the error), or at once when something new arrives.
//
// Health. A panel acknowledges nothing, so while idle the agent asks every
// --health seconds whether it is there, with the discovery probe. One that
// stops answering is "no panel"; one that answers again may have come back
// blank (unplugged, its power cut), so it gets what it should show uploaded
// in full. On a chosen port the probe also comes before each upload, and an
// upload counts only when a panel answered it: otherwise "sent, no panel
// answered", and the agent tries again.
//
// Changed only (--changed-only). Block frames carry their panel address, so
// a panel known to hold a set needs only the frames that differ from it.
// The agent knows that only from its own good uploads in this run; a failed
// or stopped upload, a panel that did not answer, and a panel found on
// another port than before make it forget, and the next upload goes in
// full, as does the first one of a run and one every --full-every seconds.
// A font upload writes the character generator only, which lies apart from
// the message blocks, so what the panel holds stays known across one.
class Agent : public QObject
{
    Q_OBJECT

public:
    // clock: the time the schedules follow (tests give their own).
    Agent(AgentOptions options, StateFolder folder, KeptState state, fleet::MqttClient &client,
          ScheduleRunner::Clock clock = &QDateTime::currentDateTimeUtc, QObject *parent = nullptr);
    ~Agent() override;

    // The last will to connect with: the availability that says offline.
    static fleet::LastWill lastWill(const AgentOptions &options);

    // Uploads what the state folder says is still to do; the rest follows
    // the broker.
    void begin();
    // Stops an upload that runs (it releases the port), publishes the
    // status as offline and says goodbye to the broker; stopped() follows.
    void stop();
    // Works the schedule out again at the clock's time now: for a clock
    // that was set (tests), as the runner's own timer does each minute.
    void lookAtClock();

Q_SIGNALS:
    void stopped();

private:
    QStringList wantedTopics() const;
    bool isWanted(const QString &topic) const;
    void onConnected(bool sessionPresent);
    void onDisconnected(const QString &reason);
    void onMessage(const fleet::MqttMessage &message);
    void takeSet(const QString &topic, const QByteArray &payload);
    void takeSlot(const QString &topic, char letter, const QByteArray &payload);
    void takeFont(const QString &topic, const QByteArray &payload);
    // A running schedule read through the map of the font just taken.
    void readScheduleAgain();
    void takeSchedule(const QString &topic, const QByteArray &payload);
    void takeTopicValue(const fleet::MqttMessage &message);
    bool isScheduleTopic(const QString &topic) const;
    // Whether the running schedule names the topic in a field.
    bool isValueTopic(const QString &topic) const;
    // Runs the schedule kept in the state folder.
    void resumeSchedule();
    // A set or slot text replaces the schedule: it stops.
    void dropSchedule();
    void onScheduleChanged();
    // Subscribes to what is wanted now and lets go of the rest.
    void updateSubscriptions();
    void refuse(const QString &topic, const QString &payloadHash, const QString &reason);
    // The most bytes a payload on the topic may have.
    qint64 payloadLimit(const QString &topic) const;
    void setDesired(const MessageSet &set, const QString &source);

    // Starts the upload that is due, or sets the timer for when it is.
    void schedule();
    enum class UploadKind { Messages, Font, Probe };
    void startUpload(UploadKind kind);
    bool fontDue() const;
    bool setDue() const;
    void probeWhenIdle();
    void onProbeFinished(const UploadOutcome &outcome);
    // Whether a panel answers, as the last probe or upload found it.
    void setPanelAnswers(bool answers, const QString &reason);
    void onOpened(const PortChoice &port);
    void onUploadFinished(const UploadOutcome &outcome);
    // Asks a running upload to stop (it releases the port) and waits for it.
    void dropUpload();
    // Whether the next set may go changed-only.
    bool panelHoldingKnown() const;
    // The panel's memory may no longer be the last good upload's.
    void forgetPanelHolding();
    // After a good set upload to the port: the panel holds the job's set.
    void holdAfterUpload(const QString &port);
    // " (changed only, N bytes)" for a set upload that sends only what
    // changed, for the log.
    QString changedOnlyNote() const;
    void keep(const QString &saveProblem);

    fleet::PanelStatus status(bool online) const;
    void publishStatus();
    void announce();
    void finishStop();
    void log(const QString &text) const;

    AgentOptions m_options;
    StateFolder m_folder;
    KeptState m_state;
    fleet::MqttClient &m_client;
    ScheduleRunner m_runner;
    // The schedule's next change as the last status published said it.
    QDateTime m_statusNextChange;

    // The upload that runs, of the kind m_jobKind.
    std::unique_ptr<UploadWorker> m_job;
    UploadKind m_jobKind = UploadKind::Messages;
    // What the running upload sends, to keep once it succeeds.
    MessageSet m_jobSet;
    QString m_jobHash;
    // The running upload sends only what changed: this many bytes.
    std::optional<qint64> m_jobChangedBytes;
    // What the panel holds for certain: the set of the last good upload,
    // the port it went to, and when the last one in full ended.
    std::optional<MessageSet> m_panelHolds;
    QString m_panelHoldsPort;
    QElapsedTimer m_lastFullUpload;
    // Set by the job's thread: whether the panel answered the probe before
    // the upload.
    std::shared_ptr<std::atomic<bool>> m_jobAnswered;
    QTimer m_nextUpload;
    QTimer m_health;
    // Unknown until the first probe or upload.
    std::optional<bool> m_panelAnswers;
    // The panel came back and may be blank: upload these even if it had them.
    bool m_refreshSet = false;
    bool m_refreshFont = false;
    std::optional<fleet::PanelStatus::Problem> m_error;
    std::optional<fleet::PanelStatus::Refusal> m_refused;
    QDateTime m_heldUntil;
    QDateTime m_retryAt;
    // What the connection failed with since it last succeeded.
    QSet<QString> m_connectionProblems;
    // The refusals logged already (topic and reason), forgotten once there
    // are this many.
    static constexpr int kMaxRefusalsLogged = 256;
    QSet<QString> m_refusalsLogged;

    // Home Assistant's birth messages are answered at most once this often.
    static constexpr qint64 kAnnounceGapMs = 5000;
    QElapsedTimer m_lastAnnounced;

    bool m_stopping = false;
    int m_goodbyeId = -1;
    QTimer m_goodbyeTimeout;
};

} // namespace varlo::agent
