// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/brokersettings.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace varlo::test {

// A real Mosquitto broker for one test: listening on 127.0.0.1 only, on a
// port that was free, with its configuration, persistence and log in a
// temporary folder that goes with it. It runs as the user the tests run as.
class TestBroker
{
public:
    static constexpr int kStartTimeoutMs = 15000;

    TestBroker();
    // Stops the broker (SIGKILL when it does not end on SIGTERM).
    ~TestBroker();
    TestBroker(const TestBroker &) = delete;
    TestBroker &operator=(const TestBroker &) = delete;

    // Give these before start().
    // The test's TLS certificates (tests/fleet/tls) for the listener:
    // "server" is made out to 127.0.0.1 and localhost by the test CA (ca.pem);
    // "othername" to broker.invalid alone, by itself.
    void useTls(const QString &certificate = QStringLiteral("server"));
    // Only this user may log in (a password file made by mosquitto_passwd).
    bool requireLogin(const QString &user, const QString &password);
    // Runs with a configuration written for operators instead of the tests'
    // own: its settings as they are, except what must be local to the test.
    // The one listener moves to 127.0.0.1 and the free port; the password
    // file, the ACL (a copy of aclFile) and the persistence go into the
    // temporary folder; the log goes to the folder's mosquitto.log. Add the
    // users the ACL names with addUser().
    void useConfiguration(const QString &configFile, const QString &aclFile);
    // Adds a user to the password file (made by mosquitto_passwd).
    bool addUser(const QString &user, const QString &password);

    // Starts on a free port and waits until it takes connections. False,
    // with errorString(), when it did not.
    bool start();
    // After kill() or stop(): the same port, configuration and persistence.
    bool restart();
    // SIGKILL: no goodbye to anyone, nothing saved that was not saved yet.
    void kill();
    // SIGTERM: the broker saves its persistence and ends.
    bool stop();

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    int port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    // "mqtt://127.0.0.1:PORT", or mqtts:// with TLS.
    QString url() const;
    // Settings for a client of this broker (the test CA with TLS).
    fleet::BrokerSettings settings() const;
    QString folder() const { return m_dir.path(); }
    QString log() const;
    QString errorString() const { return m_error; }

    // The folder of the test's certificates.
    static QString tlsFolder();

private:
    bool launch();
    QStringList ownConfiguration() const;
    // The operator's configuration made local; nothing, with m_error, when
    // it can't be.
    std::optional<QStringList> localConfiguration();
    QString passwordFile() const;
    bool waitUntilListening();

    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_listenerLines;
    QString m_configFile;
    QString m_aclFile;
    bool m_tls = false;
    int m_port = 0;
    QString m_error;
};

} // namespace varlo::test
