// SPDX-License-Identifier: GPL-3.0-or-later
#include "testbroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varlo::test {

namespace {

constexpr char kBroker[] = "/usr/sbin/mosquitto";
constexpr char kPasswordTool[] = "mosquitto_passwd";
// Tries at a free port: another program may take one between our look and
// the broker's bind.
constexpr int kPortTries = 5;

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port on 127.0.0.1 that nothing listens on right now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QString currentUser()
{
    const passwd *entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("root");
}

} // namespace

TestBroker::TestBroker()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("mosquitto.log")), QIODevice::Append);
}

TestBroker::~TestBroker()
{
    if (isRunning() && !stop())
        kill();
}

QString TestBroker::tlsFolder()
{
    return QStringLiteral(VARLO_TEST_TLS_DIR);
}

void TestBroker::useTls(const QString &certificate)
{
    m_tls = true;
    m_listenerLines << QStringLiteral("cafile %1/ca.pem").arg(tlsFolder())
                    << QStringLiteral("certfile %1/%2.pem").arg(tlsFolder(), certificate)
                    << QStringLiteral("keyfile %1/%2.key").arg(tlsFolder(), certificate);
}

QString TestBroker::passwordFile() const
{
    return m_dir.filePath(QStringLiteral("passwords"));
}

bool TestBroker::addUser(const QString &user, const QString &password)
{
    QStringList arguments{QStringLiteral("-b"), passwordFile(), user, password};
    if (!QFile::exists(passwordFile()))
        arguments.prepend(QStringLiteral("-c"));
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QString::fromLatin1(kPasswordTool), arguments);
    if (!tool.waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("%1 (Debian package mosquitto) can't be run: %2")
                      .arg(QString::fromLatin1(kPasswordTool), tool.errorString());
        return false;
    }
    if (!tool.waitForFinished(kStartTimeoutMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed for the user %2: %3")
                      .arg(QString::fromLatin1(kPasswordTool), user, QString::fromLocal8Bit(tool.readAll()));
        return false;
    }
    return true;
}

bool TestBroker::requireLogin(const QString &user, const QString &password)
{
    QFile::remove(passwordFile());
    if (!addUser(user, password))
        return false;
    m_listenerLines << QStringLiteral("password_file %1").arg(passwordFile());
    return true;
}

void TestBroker::useConfiguration(const QString &configFile, const QString &aclFile)
{
    m_configFile = configFile;
    m_aclFile = aclFile;
}

QString TestBroker::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"))
        .arg(m_port);
}

fleet::BrokerSettings TestBroker::settings() const
{
    fleet::BrokerSettings settings;
    QString error;
    settings.url = *fleet::BrokerUrl::parse(url(), &error);
    if (m_tls)
        settings.caFile = tlsFolder() + QStringLiteral("/ca.pem");
    return settings;
}

QString TestBroker::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("mosquitto.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool TestBroker::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    for (int attempt = 0; attempt < kPortTries; ++attempt) {
        m_port = freePort();
        if (m_port > 0 && launch())
            return true;
    }
    return false;
}

bool TestBroker::restart()
{
    // The old listening socket may linger a moment after a kill.
    for (int attempt = 0; attempt < kPortTries; ++attempt) {
        if (launch())
            return true;
        QThread::msleep(200);
    }
    return false;
}

QStringList TestBroker::ownConfiguration() const
{
    QStringList lines{
        QStringLiteral("persistence true"),
        QStringLiteral("persistence_location %1/").arg(m_dir.path()),
        QStringLiteral("listener %1 127.0.0.1").arg(m_port),
        QStringLiteral("allow_anonymous %1")
            .arg(m_listenerLines.filter(QStringLiteral("password_file")).isEmpty() ? QStringLiteral("true")
                                                                                   : QStringLiteral("false")),
    };
    return lines + m_listenerLines;
}

std::optional<QStringList> TestBroker::localConfiguration()
{
    QFile shipped(m_configFile);
    if (!shipped.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: %2").arg(m_configFile, shipped.errorString());
        return std::nullopt;
    }
    // A fresh copy on every start, so a restart reads the ACL as it is now.
    const QString acl = m_dir.filePath(QStringLiteral("acl"));
    QFile::remove(acl);
    if (!QFile::copy(m_aclFile, acl)) {
        m_error = QStringLiteral("can't copy %1 into %2").arg(m_aclFile, m_dir.path());
        return std::nullopt;
    }
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QStringList lines;
    int listeners = 0;
    bool located = false;
    const QStringList shippedLines = QString::fromUtf8(shipped.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : shippedLines) {
        const QString setting = line.trimmed();
        if (setting.isEmpty() || setting.startsWith(QLatin1Char('#')))
            continue;
        const QString key = setting.section(space, 0, 0);
        if (key == QLatin1String("listener")) {
            ++listeners;
            lines << QStringLiteral("listener %1 127.0.0.1").arg(m_port);
        } else if (key == QLatin1String("password_file")) {
            lines << QStringLiteral("password_file %1").arg(passwordFile());
        } else if (key == QLatin1String("acl_file")) {
            lines << QStringLiteral("acl_file %1").arg(acl);
        } else if (key == QLatin1String("persistence_location")) {
            located = true;
            lines << QStringLiteral("persistence_location %1/").arg(m_dir.path());
        } else if (key == QLatin1String("include_dir")) {
            m_error = QStringLiteral("%1: include_dir can't be followed into the test's folder").arg(m_configFile);
            return std::nullopt;
        } else if (key != QLatin1String("log_dest") && key != QLatin1String("pid_file")
                   && key != QLatin1String("user")) {
            lines << setting;
        }
    }
    if (listeners != 1) {
        m_error = QStringLiteral("%1 has %2 listeners; the test runs it with one, on 127.0.0.1 only")
                      .arg(m_configFile)
                      .arg(listeners);
        return std::nullopt;
    }
    // Where the main configuration file sets it (Debian's does), the
    // operator's file must not: Mosquitto refuses it twice.
    if (!located)
        lines << QStringLiteral("persistence_location %1/").arg(m_dir.path());
    return lines;
}

bool TestBroker::launch()
{
    QStringList lines{
        // As root the broker would change to the user mosquitto, who can't
        // read this folder; it stays who the tests are.
        QStringLiteral("user %1").arg(currentUser()),
        QStringLiteral("log_dest stdout"),
        QStringLiteral("log_type all"),
    };
    if (m_configFile.isEmpty()) {
        lines << ownConfiguration();
    } else {
        const std::optional<QStringList> local = localConfiguration();
        if (!local)
            return false;
        lines << *local;
    }
    QFile config(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = config.errorString();
        return false;
    }
    config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    config.close();

    m_process.start(QString::fromLatin1(kBroker), {QStringLiteral("-c"), config.fileName()});
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("%1 (Debian package mosquitto) can't be run: %2")
                      .arg(QString::fromLatin1(kBroker), m_process.errorString());
        return false;
    }
    return waitUntilListening();
}

bool TestBroker::waitUntilListening()
{
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("the broker ended at once:\n") + log();
            return false;
        }
        if (accepts(m_port))
            return true;
        m_process.waitForFinished(20);
    }
    m_error = QStringLiteral("the broker does not listen on port %1 after %2 ms").arg(m_port).arg(kStartTimeoutMs);
    m_process.kill();
    m_process.waitForFinished();
    return false;
}

void TestBroker::kill()
{
    m_process.kill();
    m_process.waitForFinished(kStartTimeoutMs);
}

bool TestBroker::stop()
{
    m_process.terminate();
    return m_process.waitForFinished(kStartTimeoutMs);
}

} // namespace varlo::test
