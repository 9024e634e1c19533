// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/uploadjob.h"

#include "charset/fontupload.h"
#include "link/linkreporter.h"
#include "link/messageupload.h"
#include "link/panellink.h"
#include "link/uploadstop.h"

#include <QThread>

namespace varlo::agent {

// Takes what the upload reports, on the upload's thread. A front end with a
// window would show it; the agent keeps the failure for its status and
// tells the job when the port is open.
class UploadJob::Reporter final : public LinkReporter
{
public:
    explicit Reporter(UploadJob *job)
        : m_job(job)
    {
    }

    void showMessage(const QString &text, const QString &reason) override
    {
        m_job->m_errorText = text;
        m_job->m_errorReason = reason;
    }
    void showLamp(Lamp) override {}
    // The link shows the port it opened as "  Com:3", or a device path
    // after two spaces.
    void showStatus(const QString &text) override
    {
        const QString port = text.startsWith(linktext::kStatusPrefix)
            ? QStringLiteral("COM") + text.mid(linktext::kStatusPrefix.size())
            : text.trimmed();
        m_job->m_portName = port;
        UploadJob *job = m_job;
        QMetaObject::invokeMethod(
            job, [job, port] { Q_EMIT job->opened(port); }, Qt::QueuedConnection);
    }
    void setProgressMaximum(int) override {}
    void setProgressPosition(int) override {}

private:
    UploadJob *m_job;
};

UploadJob::UploadJob(Kind kind, MessageSet set, QByteArray table, PortChoice port, int commuDelayPosition)
    : m_kind(kind)
    , m_set(std::move(set))
    , m_table(std::move(table))
    , m_port(std::move(port))
    , m_commuDelayPosition(commuDelayPosition)
{
}

std::unique_ptr<UploadJob> UploadJob::messages(const MessageSet &set, const PortChoice &port, int commuDelayPosition)
{
    return std::unique_ptr<UploadJob>(new UploadJob(Kind::Messages, set, {}, port, commuDelayPosition));
}

std::unique_ptr<UploadJob> UploadJob::font(const QByteArray &table, const PortChoice &port)
{
    return std::unique_ptr<UploadJob>(new UploadJob(Kind::Font, {}, table, port, 0));
}

UploadJob::~UploadJob()
{
    if (!m_thread)
        return;
    if (m_thread->isRunning())
        UploadStop::request();
    m_thread->wait();
    delete m_thread;
}

void UploadJob::start()
{
    Q_ASSERT(!m_thread);
    m_thread = QThread::create([this] { run(); });
    connect(m_thread, &QThread::finished, this, [this] {
        // finished comes from the thread as it ends; the wait makes its
        // writes visible here.
        m_thread->wait();
        Q_EMIT finished();
    });
    m_thread->start();
}

void UploadJob::run()
{
    Reporter reporter(this);
    m_succeeded = m_kind == Kind::Messages ? sendMessageSet(m_set, m_port, m_commuDelayPosition, reporter)
                                           : sendCharacterGenerator(m_table, m_port, reporter);
}

} // namespace varlo::agent
