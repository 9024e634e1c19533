// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portchoice.h"
#include "model/messageset.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QThread;

namespace varlo::agent {

// One upload to the panel through the same core as Send and Initial
// (sendMessageSet, sendCharacterGenerator), on a thread of its own: they
// block for as long as the line takes, and meanwhile the agent goes on
// talking to the broker. What the upload reports comes back as the job's
// results once finished() is emitted.
class UploadJob : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Messages, Font };

    static std::unique_ptr<UploadJob> messages(const MessageSet &set, const PortChoice &port, int commuDelayPosition);
    static std::unique_ptr<UploadJob> font(const QByteArray &table, const PortChoice &port);
    // Asks a running upload to stop (it releases the port) and waits for it.
    ~UploadJob() override;

    void start();
    Kind kind() const { return m_kind; }

    // After finished():
    bool succeeded() const { return m_succeeded; }
    // The system's text, e.g. "Serial port can't open!", and the reason.
    QString errorText() const { return m_errorText; }
    QString errorReason() const { return m_errorReason; }
    // The port the upload opened ("COM3", or a device path); empty when
    // none opened.
    QString portName() const { return m_portName; }

Q_SIGNALS:
    // The port is open and the frames follow.
    void opened(const QString &portName);
    void finished();

private:
    class Reporter;

    UploadJob(Kind kind, MessageSet set, QByteArray table, PortChoice port, int commuDelayPosition);
    void run();

    Kind m_kind;
    MessageSet m_set;
    QByteArray m_table;
    PortChoice m_port;
    int m_commuDelayPosition;
    QThread *m_thread = nullptr;
    // Written by the upload's thread, read once it has ended.
    bool m_succeeded = false;
    QString m_errorText;
    QString m_errorReason;
    QString m_portName;
};

} // namespace varlo::agent
