// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/brokersettings.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;
struct mosquitto_message;

namespace varlo::fleet {

struct MqttMessage
{
    QString topic;
    QByteArray payload;
    // Set when the broker sent a stored (retained) message because of a new
    // subscription; clear for a message published while subscribed.
    bool retained = false;
    // A payload over the client's limit (setMaxPayloadBytes) is not copied:
    // payload then holds only its first kCutPayloadBytes, for a message to
    // quote, and wholeHash names the whole (sethash.h) so that a publisher
    // can still recognise the refusal of what it sent.
    bool cut = false;
    qint64 wholeSize = 0;
    QString wholeHash;

    static constexpr int kCutPayloadBytes = 64;
};

// One connection to an MQTT broker, through libmosquitto, with QoS 1.
//
// The network runs on a thread of its own that this class starts: it
// connects, keeps the connection alive, reads and writes, and after any
// failure waits (1 s, doubling up to kMaxReconnectDelayS) and connects again,
// for ever, whatever the failure was: a broker that is down, a name that
// does not resolve yet at boot, a TLS or login failure a broker's operator
// may be fixing. libmosquitto's own loop gives up on some of those for good,
// hence a loop of our own around its single steps.
//
// Why a thread rather than the library's socket in Qt's event loop: the
// front ends run uploads that block for seconds, and the connection must go
// on answering the broker's keep-alive and taking messages meanwhile; and
// with TLS the library buffers decrypted bytes that no socket notifier
// would announce. Everything the thread learns reaches the owner as a
// queued Qt signal, on the thread the object lives on; publishing and
// subscribing may be called from there at any time (the library locks).
class MqttClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int kQos = 1;
    static constexpr int kMaxReconnectDelayS = 16;

    explicit MqttClient(BrokerSettings settings, QObject *parent = nullptr);
    // Disconnects (see stop()).
    ~MqttClient() override;
    MqttClient(const MqttClient &) = delete;
    MqttClient &operator=(const MqttClient &) = delete;

    // Checks the settings with the library and starts connecting. False,
    // with the reason in *error, for settings it refuses (a CA file that
    // can't be read, for example); nothing is started then.
    bool start(QString *error);
    // Says goodbye to the broker (so it does not publish the last will) and
    // ends the network thread. Messages not yet handed over are lost: wait
    // for published() first.
    void stop();

    // Payloads larger than this arrive cut (MqttMessage::cut); 0, the
    // default, takes any size. Set it before start(): a stranger on an open
    // broker can publish megabytes, and a program that copies them into
    // queues, logs and statuses grows by as much each time.
    void setMaxPayloadBytes(qint64 bytes) { m_maxPayloadBytes = bytes; }

    bool isConnected() const { return m_connected; }
    QString brokerName() const { return m_settings.url.toString(); }

    // Publishes with QoS 1: the message id, which published() reports once
    // the broker has the message; -1 when the library refuses. While
    // disconnected the library keeps the message and sends it again on
    // reconnecting, possibly after messages published since.
    //
    // With QoS 0 nothing is kept or sent again, and published() comes once
    // the message is on its way: for a state that is published again on
    // every connection anyway, where a late copy of an old one would
    // overwrite the new.
    int publish(const QString &topic, const QByteArray &payload, bool retain, int qos = kQos);
    // The message id of the last subscription, which subscribed() reports
    // once the broker has taken all of them; -1 when the library refuses.
    int subscribe(const QStringList &topics);
    bool unsubscribe(const QStringList &topics);

Q_SIGNALS:
    // sessionPresent: the broker still had this client's session.
    void connected(bool sessionPresent);
    // The connection broke, or an attempt failed; the thread tries again.
    void disconnected(const QString &reason);
    void messageReceived(const varlo::fleet::MqttMessage &message);
    void published(int messageId);
    void subscribed(int messageId);

private:
    void run();
    // Waits before the next attempt; false when stop() was called meanwhile.
    bool waitBeforeRetry(int delayS);
    void lost(const QString &reason);
    // The library's word for a failure, or for a TLS failure what its log
    // said went wrong.
    QString reasonFor(int result);
    // The reason a TLS handshake failed, from the library's error log.
    QString tlsReason();

    static void onConnect(mosquitto *, void *self, int result, int flags);
    static void onDisconnect(mosquitto *, void *self, int result);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);
    static void onPublish(mosquitto *, void *self, int messageId);
    static void onSubscribe(mosquitto *, void *self, int messageId, int count, const int *grantedQos);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    BrokerSettings m_settings;
    qint64 m_maxPayloadBytes = 0;
    mosquitto *m_mosq = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_connected{false};
    // Set by lost(); only the network thread touches it.
    bool m_lossReported = false;
    // Set once the current attempt or connection has been reported lost;
    // only the network thread touches it.
    bool m_attemptFailed = false;
    // What the library logged as errors during the current attempt: its
    // only account of why a TLS handshake failed.
    std::mutex m_logMutex;
    QStringList m_libraryErrors; // under m_logMutex
    std::mutex m_stopMutex;
    std::condition_variable m_stopChanged;
    bool m_stopping = false; // under m_stopMutex
};

} // namespace varlo::fleet

Q_DECLARE_METATYPE(varlo::fleet::MqttMessage)
