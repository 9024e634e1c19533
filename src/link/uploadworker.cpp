// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/uploadworker.h"

#include "link/uploadprogress.h"

#include <QThread>

namespace varlo {

// The upload's progress, on the upload's thread: every call becomes a queued
// call on the worker's thread. A call queued to a worker that is destroyed
// before it runs is dropped.
class UploadWorker::Relay final : public UploadProgress
{
public:
    explicit Relay(UploadWorker *worker)
        : m_worker(worker)
    {
    }

    void portOpened(const PortChoice &port) override
    {
        post([worker = m_worker, port] { Q_EMIT worker->portOpened(port); });
    }
    void setProgressMaximum(int maximum) override
    {
        post([worker = m_worker, maximum] { Q_EMIT worker->progressMaximumSet(maximum); });
    }
    void setProgressPosition(int position) override
    {
        post([worker = m_worker, position] { Q_EMIT worker->progressPositionSet(position); });
    }

private:
    template <typename F>
    void post(F call)
    {
        QMetaObject::invokeMethod(m_worker, std::move(call), Qt::QueuedConnection);
    }

    UploadWorker *m_worker;
};

UploadWorker::UploadWorker(QObject *parent)
    : QObject(parent)
{
}

UploadWorker::~UploadWorker()
{
    if (m_thread)
        m_thread->wait();
}

bool UploadWorker::start(Upload upload)
{
    if (m_thread)
        return false;
    m_thread.reset(QThread::create([this, upload = std::move(upload)] {
        Relay relay(this);
        const UploadOutcome outcome = upload(relay);
        QMetaObject::invokeMethod(
            this, [this, outcome] { finish(outcome); }, Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("upload"));
    Q_EMIT started();
    m_thread->start();
    return true;
}

void UploadWorker::finish(const UploadOutcome &outcome)
{
    m_thread->wait();
    m_thread.reset();
    Q_EMIT finished(outcome);
}

} // namespace varlo
