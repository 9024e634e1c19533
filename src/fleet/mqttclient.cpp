// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/mqttclient.h"

#include "fleet/sethash.h"
#include "files/readfile.h"

#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <mosquitto.h>

namespace varlo::fleet {

namespace {

// How long one step of the network loop waits for something to happen. A
// publish from another thread wakes it at once; only stop() may wait this
// long for the thread.
constexpr int kLoopTimeoutMs = 200;
// stop() gives the goodbye this long to reach the broker.
constexpr int kGoodbyeMs = 1000;
// A bundle of every public authority is well under 1 MB.
constexpr qint64 kMaxCaFileBytes = 16 * 1024 * 1024;

// The library wants one set-up per process, before any client exists.
void initialiseLibrary()
{
    static const struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    } library;
}

// The library's texts: some end in a full stop, some don't; the callers go
// on after them.
QString sentence(const char *text)
{
    QString line = QString::fromLocal8Bit(text);
    if (line.endsWith(QLatin1Char('.')))
        line.chop(1);
    return line;
}

QString describe(int result)
{
    // For system errors the library's text is strerror(errno), so it must
    // be taken before anything else touches errno.
    return sentence(result == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(result));
}

// The detail of an OpenSSL error the library logged, as in
// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed".
QString openSslDetail(const QString &line)
{
    const qsizetype colon = line.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? line : line.mid(colon + 1).trimmed();
}

template <typename Signal>
void queue(MqttClient *client, Signal signal)
{
    QMetaObject::invokeMethod(client, std::move(signal), Qt::QueuedConnection);
}

} // namespace

MqttClient::MqttClient(BrokerSettings settings, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
{
    qRegisterMetaType<MqttMessage>();
    initialiseLibrary();
}

MqttClient::~MqttClient()
{
    stop();
    if (m_mosq)
        mosquitto_destroy(m_mosq);
}

bool MqttClient::start(QString *error)
{
    Q_ASSERT(!m_mosq);
    const QByteArray clientId = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), m_settings.cleanSession, this);
    if (!m_mosq) {
        *error = m_settings.clientId.isEmpty() || m_settings.cleanSession
            ? QStringLiteral("the MQTT library could not make a client: %1").arg(describe(MOSQ_ERR_ERRNO))
            : QStringLiteral("the MQTT library refuses the client id '%1'").arg(m_settings.clientId);
        return false;
    }
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_connect_with_flags_callback_set(m_mosq, onConnect);
    mosquitto_disconnect_callback_set(m_mosq, onDisconnect);
    mosquitto_message_callback_set(m_mosq, onMessage);
    mosquitto_publish_callback_set(m_mosq, onPublish);
    mosquitto_subscribe_callback_set(m_mosq, onSubscribe);
    mosquitto_log_callback_set(m_mosq, onLog);

    const auto refuse = [&](const QString &what, int result) {
        *error = QStringLiteral("%1: %2").arg(what, describe(result));
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        return false;
    };
    int result = MOSQ_ERR_SUCCESS;
    if (m_settings.credentials) {
        result = mosquitto_username_pw_set(m_mosq, m_settings.credentials->userName().toUtf8().constData(),
                                           m_settings.credentials->password().toUtf8().constData());
        if (result != MOSQ_ERR_SUCCESS)
            return refuse(QStringLiteral("the broker credentials"), result);
    }
    if (m_settings.will) {
        const QByteArray topic = m_settings.will->topic.toUtf8();
        result = mosquitto_will_set(m_mosq, topic.constData(), int(m_settings.will->payload.size()),
                                    m_settings.will->payload.constData(), kQos, m_settings.will->retain);
        if (result != MOSQ_ERR_SUCCESS)
            return refuse(QStringLiteral("the last will"), result);
    }
    if (m_settings.url.tls()) {
        if (m_settings.caFile.isEmpty()) {
            result = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            // The library only says "invalid" for a CA file it can't use;
            // the system's reason is more use. The library opens the file
            // itself, and would wait for ever on a named pipe: the file is
            // looked at first the way every file a user names is.
            const FileRead ca = readFile(m_settings.caFile, {kMaxCaFileBytes, "a CA file"});
            if (!ca.ok()) {
                *error = ca.error();
                mosquitto_destroy(m_mosq);
                m_mosq = nullptr;
                return false;
            }
            result = mosquitto_tls_set(m_mosq, QFile::encodeName(m_settings.caFile).constData(), nullptr, nullptr,
                                       nullptr, nullptr);
        }
        if (result != MOSQ_ERR_SUCCESS)
            return refuse(
                QStringLiteral("TLS with %1")
                    .arg(m_settings.caFile.isEmpty() ? QStringLiteral("the system's certificates") : m_settings.caFile),
                result);
    }
    mosquitto_reconnect_delay_set(m_mosq, 1, kMaxReconnectDelayS, true);

    {
        const std::lock_guard lock(m_stopMutex);
        m_stopping = false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void MqttClient::stop()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopChanged.notify_all();
    mosquitto_disconnect(m_mosq);
    m_thread.join();
    m_connected = false;
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain, int qos)
{
    if (!m_mosq)
        return -1;
    int messageId = 0;
    const int result = mosquitto_publish(m_mosq, &messageId, topic.toUtf8().constData(), int(payload.size()),
                                         payload.constData(), qos, retain);
    return result == MOSQ_ERR_SUCCESS ? messageId : -1;
}

int MqttClient::subscribe(const QStringList &topics)
{
    int messageId = -1;
    for (const QString &topic : topics) {
        if (!m_mosq || mosquitto_subscribe(m_mosq, &messageId, topic.toUtf8().constData(), kQos) != MOSQ_ERR_SUCCESS)
            return -1;
    }
    return messageId;
}

bool MqttClient::unsubscribe(const QStringList &topics)
{
    bool ok = m_mosq != nullptr;
    for (const QString &topic : topics)
        ok = ok && mosquitto_unsubscribe(m_mosq, nullptr, topic.toUtf8().constData()) == MOSQ_ERR_SUCCESS;
    return ok;
}

void MqttClient::run()
{
    const QByteArray host = m_settings.url.host().toUtf8();
    int delayS = 1;
    const auto newAttempt = [this] {
        m_attemptFailed = false;
        const std::lock_guard lock(m_logMutex);
        m_libraryErrors.clear();
    };
    newAttempt();
    int result = mosquitto_connect_async(m_mosq, host.constData(), m_settings.url.port(), m_settings.keepAliveS);
    if (result != MOSQ_ERR_SUCCESS)
        lost(reasonFor(result));
    std::optional<QDeadlineTimer> goodbye;
    for (;;) {
        bool stopping = false;
        {
            const std::lock_guard lock(m_stopMutex);
            stopping = m_stopping;
        }
        if (stopping) {
            // Go on only while the goodbye is on its way out.
            if (!goodbye)
                goodbye.emplace(kGoodbyeMs);
            if (result != MOSQ_ERR_SUCCESS || !m_connected || goodbye->hasExpired())
                return;
        }
        if (result == MOSQ_ERR_SUCCESS) {
            // Most failures inside are reported through onDisconnect; one
            // before the broker answered (TLS, say) only by the result.
            m_lossReported = false;
            result = mosquitto_loop(m_mosq, kLoopTimeoutMs, 1);
            if (result != MOSQ_ERR_SUCCESS && !m_lossReported && !stopping)
                lost(reasonFor(result));
            if (m_connected)
                delayS = 1;
            continue;
        }
        if (!waitBeforeRetry(delayS))
            return;
        delayS = qMin(delayS * 2, kMaxReconnectDelayS);
        newAttempt();
        result = mosquitto_reconnect_async(m_mosq);
        if (result != MOSQ_ERR_SUCCESS)
            lost(reasonFor(result));
    }
}

bool MqttClient::waitBeforeRetry(int delayS)
{
    std::unique_lock lock(m_stopMutex);
    return !m_stopChanged.wait_for(lock, std::chrono::seconds(delayS), [this] { return m_stopping; });
}

void MqttClient::lost(const QString &reason)
{
    m_connected = false;
    m_lossReported = true;
    // One reason per attempt: a broker's refusal is followed by the
    // library's own word for the closed connection, which says less.
    if (m_attemptFailed)
        return;
    m_attemptFailed = true;
    queue(this, [this, reason] { Q_EMIT disconnected(reason); });
}

QString MqttClient::reasonFor(int result)
{
    return result == MOSQ_ERR_TLS ? tlsReason() : describe(result);
}

QString MqttClient::tlsReason()
{
    QStringList errors;
    {
        const std::lock_guard lock(m_logMutex);
        errors = m_libraryErrors;
    }
    // The library checks the host name itself, and says so before OpenSSL's
    // general "certificate verify failed" that follows.
    const auto hostChecked = [](const QString &line) {
        return line.contains(QLatin1String("host name verification failed"));
    };
    if (std::any_of(errors.cbegin(), errors.cend(), hostChecked))
        return QStringLiteral("TLS: the broker's certificate is not made out to %1").arg(m_settings.url.host());
    for (const QString &line : std::as_const(errors)) {
        if (!line.startsWith(QLatin1String("OpenSSL Error")))
            continue;
        const QString detail = openSslDetail(line);
        if (detail == QLatin1String("certificate verify failed"))
            return QStringLiteral("TLS: the broker's certificate is not signed by %1, or is out of date")
                .arg(m_settings.caFile.isEmpty() ? QStringLiteral("an authority this computer trusts")
                                                 : QStringLiteral("the CA in %1").arg(m_settings.caFile));
        // A listener without TLS closes the connection at the first TLS
        // record, or answers it with plain MQTT.
        if (detail == QLatin1String("unexpected eof while reading") || detail == QLatin1String("wrong version number"))
            return QStringLiteral("TLS: the broker did not answer the TLS handshake; is port %1 a TLS listener?")
                .arg(m_settings.url.port());
        return QStringLiteral("%1 (%2)").arg(describe(MOSQ_ERR_TLS), detail);
    }
    return describe(MOSQ_ERR_TLS);
}

void MqttClient::onConnect(mosquitto *, void *self, int result, int flags)
{
    auto *client = static_cast<MqttClient *>(self);
    if (result != 0) {
        client->lost(sentence(mosquitto_connack_string(result)));
        return;
    }
    client->m_connected = true;
    client->m_attemptFailed = false;
    const bool sessionPresent = (flags & 1) != 0;
    queue(client, [client, sessionPresent] { Q_EMIT client->connected(sessionPresent); });
}

void MqttClient::onDisconnect(mosquitto *, void *self, int result)
{
    auto *client = static_cast<MqttClient *>(self);
    // 0: the goodbye stop() asked for.
    if (result == MOSQ_ERR_SUCCESS) {
        client->m_connected = false;
        return;
    }
    client->lost(client->reasonFor(result));
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *client = static_cast<MqttClient *>(self);
    MqttMessage copy;
    copy.topic = QString::fromUtf8(message->topic);
    copy.retained = message->retain;
    copy.wholeSize = message->payloadlen;
    const QByteArrayView payload(static_cast<const char *>(message->payload), message->payloadlen);
    if (client->m_maxPayloadBytes > 0 && payload.size() > client->m_maxPayloadBytes) {
        // Named and quoted, never kept: the library frees the rest when
        // this returns.
        copy.cut = true;
        copy.wholeHash = hashOfBytes(payload);
        copy.payload = payload.first(MqttMessage::kCutPayloadBytes).toByteArray();
    } else {
        copy.payload = payload.toByteArray();
    }
    queue(client, [client, copy] { Q_EMIT client->messageReceived(copy); });
}

void MqttClient::onPublish(mosquitto *, void *self, int messageId)
{
    auto *client = static_cast<MqttClient *>(self);
    queue(client, [client, messageId] { Q_EMIT client->published(messageId); });
}

void MqttClient::onSubscribe(mosquitto *, void *self, int messageId, int, const int *)
{
    auto *client = static_cast<MqttClient *>(self);
    queue(client, [client, messageId] { Q_EMIT client->subscribed(messageId); });
}

void MqttClient::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (level != MOSQ_LOG_ERR)
        return;
    // A few lines are all an attempt ever logs; the cap only keeps a
    // library gone chatty from growing the list.
    constexpr int kMaxLines = 16;
    auto *client = static_cast<MqttClient *>(self);
    const std::lock_guard lock(client->m_logMutex);
    if (client->m_libraryErrors.size() < kMaxLines)
        client->m_libraryErrors.append(QString::fromLocal8Bit(text));
}

} // namespace varlo::fleet
