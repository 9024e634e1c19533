// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
class QSerialPort;
QT_END_NAMESPACE

namespace varlo {

// One serial port with the few operations the panel link needs: open by COM
// number or device path, set the line, set the read time-out, write one byte,
// read one byte, close. Not thread-safe; create, use and destroy it on one
// thread.
class SerialPort
{
public:
    static constexpr int kFirstCom = 1;
    static constexpr int kLastCom = 15;
    static constexpr int kBaudRate = 38400;
    // A write that cannot hand its byte to the driver for this long counts as
    // failed. A working line at 38400 baud drains the driver's queue in well
    // under a second, so only a stuck device gets here.
    static constexpr int kWriteStallMs = 5000;
    // How often a wait looks whether the upload was asked to stop.
    static constexpr int kStopCheckMs = 20;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    static bool isComNumber(int com) { return com >= kFirstCom && com <= kLastCom; }
    // The folder where a user maps COM numbers to devices (com1 ... com15,
    // each a link or a file): $XDG_CONFIG_HOME/varlo/ports.
    static QString portsFolder();
    // The device used when the ports folder has no entry for the number.
    static QString defaultDeviceForCom(int com);
    // The device that COM number opens right now: the ports folder entry if
    // there is one (a dangling link included), else the default.
    static QString deviceForCom(int com);
    // True when an OS reason says the user lacks the rights to the device.
    static bool isPermissionReason(const QString &reason);
    // The program that holds the device's lock file, as "minicom (process
    // 1234)", or an empty text when no live process holds it.
    static QString lockHolder(const QString &device);
    // The lock file that opening the device takes: LCK..<name> in the lock
    // folder, <name> being the device path without /dev/ and with '/' turned
    // into '_' (LCK..ttyUSB0, LCK..pts_3). Empty when there is no lock folder.
    static QString lockFilePath(const QString &device);

    // Opens without waiting for a modem line. A device that is missing, busy,
    // locked by another program or not a serial line does not open; nor does
    // one whose lock file is not a regular file (a named pipe, a link to
    // /dev/zero), which would keep the open waiting for ever.
    bool open(int com);
    bool openDevice(const QString &path);
    bool isOpen() const;
    // The device opened or tried last.
    QString deviceName() const { return m_device; }
    // After a failed open: the device does not exist at all.
    bool deviceMissing() const { return m_deviceMissing; }
    // After a failed open: another program holds the device, by its lock
    // file; lockHolderName() names it when the lock says who.
    bool isBusy() const { return m_busy; }
    QString lockHolderName() const { return m_holder; }

    // 38400 baud, 8 data bits, no parity, 1 stop bit, no flow control.
    bool setLine();
    // How long readByte waits in all when nothing arrives.
    void setReadTimeout(int totalMs) { m_readTimeoutMs = totalMs; }

    // Hands one byte to the operating system; it may still be on its way out
    // when this returns. False when the device refuses it (it vanished, for
    // example), or at once once an upload stop was requested (UploadStop);
    // errorString() then says why.
    bool writeByte(quint8 byte);
    // 1 with the byte, 0 when nothing came within the read time-out, -1 on an
    // error.
    int readByte(quint8 &byte);

    // Waits until every byte written has left the wire, then restores the
    // line settings and closes. False when the wait failed (the device went
    // away before its last bytes were out); errorString() then says why. The
    // port is closed either way.
    bool close();
    // Closes at once, for a device that is gone: nothing is waited for.
    void abort();

    // The operating system's reason for the last failure, e.g.
    // "Permission denied".
    QString errorString() const { return m_error; }

private:
    // Why the device's lock file (or its .rmlock) can't be a real lock, or
    // an empty text.
    static QString unusableLockReason(const QString &device);
    void fail(int errorNumber);
    void release();

    std::unique_ptr<QSerialPort> m_port;
    QString m_device;
    QString m_error;
    QString m_holder;
    int m_readTimeoutMs = 0;
    bool m_deviceMissing = false;
    bool m_busy = false;
};

} // namespace varlo
