// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serialport.h"

#include "link/uploadstop.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QStandardPaths>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace varlo {

SerialPort::SerialPort() = default;

SerialPort::~SerialPort()
{
    close();
}

QString SerialPort::portsFolder()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config without it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/varlo/ports");
}

QString SerialPort::defaultDeviceForCom(int com)
{
    Q_ASSERT(isComNumber(com));
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(com);
#else
    // Four of each kind an ordinary PC has: on-board UARTs, USB adapters,
    // USB modem-class adapters, then the further UARTs of add-in cards.
    struct Range
    {
        int firstCom;
        const char *prefix;
        int firstIndex;
    };
    static constexpr Range ranges[] = {
        {13, "/dev/ttyS", 4},
        {9, "/dev/ttyACM", 0},
        {5, "/dev/ttyUSB", 0},
        {1, "/dev/ttyS", 0},
    };
    for (const Range &range : ranges) {
        if (com >= range.firstCom)
            return QLatin1String(range.prefix) + QString::number(range.firstIndex + com - range.firstCom);
    }
    return {};
#endif
}

QString SerialPort::deviceForCom(int com)
{
#ifdef Q_OS_WIN
    return defaultDeviceForCom(com);
#else
    const QString mapped = portsFolder() + QStringLiteral("/com%1").arg(com);
    const QFileInfo entry(mapped);
    // A dangling link still counts: the user named a device that is not
    // there, and we must not quietly fall back to some other port.
    if (entry.exists() || entry.isSymLink())
        return mapped;
    return defaultDeviceForCom(com);
#endif
}

bool SerialPort::isPermissionReason(const QString &reason)
{
    return reason.endsWith(qt_error_string(EACCES)) || reason.endsWith(qt_error_string(EPERM));
}

bool SerialPort::open(int com)
{
    Q_ASSERT(isComNumber(com));
    return openDevice(deviceForCom(com));
}

bool SerialPort::openDevice(const QString &path)
{
    release();
    m_device = path;
    m_error.clear();
    m_holder.clear();
    m_deviceMissing = false;
    m_busy = false;

    // Open what a link points to, so that the lock file carries the device's
    // own name and other serial programs see the port as taken.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString device = canonical.isEmpty() ? path : canonical;
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(device)) {
        // Said here, before the lock folder is looked at: a missing device
        // is the common case of discovery, and its lock file means nothing.
        m_deviceMissing = true;
        fail(ENOENT);
        return false;
    }
    if (const QString reason = unusableLockReason(device); !reason.isEmpty()) {
        m_error = reason;
        m_busy = true;
        return false;
    }
#endif
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(device);
    // QSerialPort opens non-blocking and sets CLOCAL, so the open never
    // waits for a carrier, and it refuses a device that another program has
    // locked or holds exclusively.
    if (!m_port->open(QIODevice::ReadWrite)) {
        m_error = m_port->errorString();
        m_deviceMissing = m_port->error() == QSerialPort::DeviceNotFoundError;
        // QSerialPort reports a port that another program has locked as a
        // "permission error", which sends the user looking at groups and
        // modes. Say who holds it instead.
        if (m_port->error() == QSerialPort::PermissionError) {
            m_holder = lockHolder(m_port->portName());
            m_busy = !m_holder.isEmpty();
            if (m_busy)
                m_error = QStringLiteral("In use by another program: %1").arg(m_holder);
        }
        m_port.reset();
        return false;
    }
    return true;
}

#ifdef Q_OS_UNIX

QString SerialPort::lockFilePath(const QString &device)
{
    QString name = device;
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.prepend(QLatin1String("/LCK.."));
    // QSerialPort's choice, which other serial programs share: the first of
    // these folders that can be read and either holds the lock already or
    // can be written.
    const QStringList folders = {
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
    for (const QString &folder : folders) {
        const QFileInfo info(folder);
        if (info.isReadable() && (QFile::exists(folder + name) || info.isWritable()))
            return folder + name;
    }
    return {};
}

QString SerialPort::unusableLockReason(const QString &device)
{
    // The lock folder is open to every user. Qt's lock file class reads a
    // lock it finds (and, for a stale one, the .rmlock beside it) to see
    // whether its holder lives: a named pipe there blocks that read until
    // someone writes to it, and a link to /dev/zero never ends it. Serial
    // programs only ever make regular files, so anything else means the
    // port is not ours to take, and it is not touched.
    const QString lock = lockFilePath(device);
    if (lock.isEmpty())
        return {};
    for (const QString &path : {lock, lock + QStringLiteral(".rmlock")}) {
        struct stat entry
        {};
        if (::lstat(QFile::encodeName(path).constData(), &entry) == 0 && !S_ISREG(entry.st_mode))
            return QStringLiteral("Busy: the lock file %1 is not a regular file").arg(path);
    }
    return {};
}

QString SerialPort::lockHolder(const QString &device)
{
    // The lock's first number is the holder's process id. Opened without
    // waiting and never through a link, and only a regular file is read:
    // another user may have put anything there.
    const QString lock = lockFilePath(device);
    const int fd = lock.isEmpty()
        ? -1
        : ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat entry
    {};
    char text[64] = {};
    const ssize_t got = ::fstat(fd, &entry) == 0 && S_ISREG(entry.st_mode) ? ::read(fd, text, sizeof text - 1) : -1;
    ::close(fd);
    if (got <= 0)
        return {};
    const QByteArrayList words = QByteArray(text, got).simplified().split(' ');
    bool isNumber = false;
    const pid_t pid = words.first().toInt(&isNumber);
    // A lock whose process has gone is stale: the port is free.
    if (!isNumber || pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM))
        return {};
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QByteArray program = comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    return program.isEmpty() ? QStringLiteral("process %1").arg(pid)
                             : QStringLiteral("%1 (process %2)").arg(QString::fromLocal8Bit(program)).arg(pid);
}

#else

// Elsewhere ports are opened exclusively and there are no lock files.
QString SerialPort::lockFilePath(const QString &)
{
    return {};
}

QString SerialPort::unusableLockReason(const QString &)
{
    return {};
}

QString SerialPort::lockHolder(const QString &)
{
    return {};
}

#endif

bool SerialPort::isOpen() const
{
    return m_port != nullptr;
}

bool SerialPort::setLine()
{
    Q_ASSERT(isOpen());
    const bool ok = m_port->setBaudRate(kBaudRate) && m_port->setDataBits(QSerialPort::Data8)
        && m_port->setParity(QSerialPort::NoParity) && m_port->setStopBits(QSerialPort::OneStop)
        && m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok)
        m_error = m_port->errorString();
    return ok;
}

void SerialPort::fail(int errorNumber)
{
    m_error = qt_error_string(errorNumber);
}

#ifdef Q_OS_UNIX

// Bytes go straight to the descriptor. QSerialPort would keep them in a
// user-space buffer until its event loop or a flush passes them on, and its
// flush reports a full driver queue (EAGAIN) with the same error as a device
// that has gone. Here a byte is with the driver when writeByte returns true,
// so none can be left behind when a pause starts or the port closes.
bool SerialPort::writeByte(quint8 byte)
{
    Q_ASSERT(isOpen());
    const int fd = m_port->handle();
    const QDeadlineTimer stall(kWriteStallMs);
    for (;;) {
        if (UploadStop::requested()) {
            m_error = QStringLiteral("Stopped");
            return false;
        }
        const ssize_t written = ::write(fd, &byte, 1);
        if (written == 1)
            return true;
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(errno);
            return false;
        }
        // The driver's queue is full: wait for room, but not for ever.
        const qint64 leftMs = stall.remainingTime();
        if (leftMs <= 0) {
            m_error = QStringLiteral("The device took no data for %1 seconds").arg(kWriteStallMs / 1000);
            return false;
        }
        // In short waits, so that a stop request is seen soon.
        pollfd ready{fd, POLLOUT, 0};
        if (::poll(&ready, 1, static_cast<int>(qMin<qint64>(leftMs, kStopCheckMs))) < 0 && errno != EINTR) {
            fail(errno);
            return false;
        }
        // A hang-up shows itself as the error of the next write.
    }
}

int SerialPort::readByte(quint8 &byte)
{
    Q_ASSERT(isOpen());
    const int fd = m_port->handle();
    const QDeadlineTimer deadline(m_readTimeoutMs);
    for (;;) {
        // Whether the time-out had run out before this read: a reader that
        // was descheduled past its deadline still takes an answer that
        // arrived meanwhile, rather than calling the port silent.
        const bool lastTry = deadline.hasExpired();
        const ssize_t got = ::read(fd, &byte, 1);
        if (got == 1)
            return 1;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(errno);
            return -1;
        }
        if (lastTry)
            return 0;
        pollfd ready{fd, POLLIN, 0};
        const int events = ::poll(&ready, 1, static_cast<int>(qMax<qint64>(0, deadline.remainingTime())));
        if (events == 0)
            continue; // one last read, then give up
        if (events < 0 && errno != EINTR) {
            fail(errno);
            return -1;
        }
        if (events > 0 && !(ready.revents & POLLIN)) {
            m_error = QStringLiteral("The device hung up");
            return -1;
        }
    }
}

bool SerialPort::close()
{
    if (!isOpen())
        return true;
    // Closing restores the line settings the port had before; doing that
    // while bytes are still going out would garble the tail of the last
    // frame, so wait for the wire first. The wait is also the last word the
    // line has: an adapter pulled after the last byte went to the driver
    // fails it (EIO), and then the panel may hold nothing of the upload.
    // (QSerialPort's own close reports no error, so this is the only one.)
    bool drained = true;
    while (::tcdrain(m_port->handle()) != 0) {
        if (errno != EINTR) {
            fail(errno);
            drained = false;
            break;
        }
    }
    release();
    return drained;
}

#else

// Elsewhere QSerialPort's own buffer is used, flushed after every byte.
bool SerialPort::writeByte(quint8 byte)
{
    Q_ASSERT(isOpen());
    const char c = static_cast<char>(byte);
    if (m_port->write(&c, 1) != 1) {
        m_error = m_port->errorString();
        return false;
    }
    while (m_port->bytesToWrite() > 0) {
        if (!m_port->waitForBytesWritten(kWriteStallMs)) {
            m_error = m_port->errorString();
            return false;
        }
    }
    return true;
}

int SerialPort::readByte(quint8 &byte)
{
    Q_ASSERT(isOpen());
    if (m_port->bytesAvailable() == 0 && !m_port->waitForReadyRead(m_readTimeoutMs)) {
        if (m_port->error() == QSerialPort::TimeoutError || m_port->error() == QSerialPort::NoError)
            return 0;
        m_error = m_port->errorString();
        return -1;
    }
    char c = 0;
    if (!m_port->getChar(&c))
        return 0;
    byte = static_cast<quint8>(c);
    return 1;
}

bool SerialPort::close()
{
    if (!isOpen())
        return true;
    const bool flushed = m_port->flush() || m_port->error() == QSerialPort::NoError;
    if (!flushed)
        m_error = m_port->errorString();
    release();
    return flushed;
}

#endif

void SerialPort::abort()
{
    release();
}

void SerialPort::release()
{
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
}

} // namespace varlo
