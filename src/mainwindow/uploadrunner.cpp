// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/uploadrunner.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

namespace varlo {

// Where the worker waits for a message box to be closed. Shared by the
// worker and the call that shows the box, so that it outlives the runner
// when the runner goes while the box is open.
struct UploadRunner::Handoff
{
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    // The runner is going: no box will be shown or closed any more.
    bool released = false;

    void close()
    {
        const std::lock_guard lock(mutex);
        closed = true;
        changed.notify_all();
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    void waitUntilClosed()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return closed || released; });
        closed = false;
    }
};

// The upload's reporter, on the worker thread: every call becomes a queued
// call on the runner's thread.
class UploadRunner::Reporter : public LinkReporter
{
public:
    Reporter(UploadRunner *runner, std::shared_ptr<Handoff> handoff)
        : m_runner(runner)
        , m_handoff(std::move(handoff))
    {
    }

    void showMessage(const QString &text, const QString &reason) override
    {
        post([runner = m_runner, handoff = m_handoff, text, reason] {
            emit runner->messageShown(text, reason);
            // The runner may be gone by now, destroyed while the box was open.
            handoff->close();
        });
        m_handoff->waitUntilClosed();
    }
    void showLamp(Lamp lamp) override
    {
        post([runner = m_runner, lamp] { emit runner->lampShown(lamp); });
    }
    void showStatus(const QString &text) override
    {
        post([runner = m_runner, text] { emit runner->statusShown(text); });
    }
    void setProgressMaximum(int maximum) override
    {
        post([runner = m_runner, maximum] { emit runner->progressMaximumSet(maximum); });
    }
    void setProgressPosition(int position) override
    {
        post([runner = m_runner, position] { emit runner->progressPositionSet(position); });
    }

private:
    // A call posted to a runner that is destroyed before it runs is dropped.
    template <typename F>
    void post(F call)
    {
        QMetaObject::invokeMethod(m_runner, std::move(call), Qt::QueuedConnection);
    }

    UploadRunner *m_runner;
    std::shared_ptr<Handoff> m_handoff;
};

UploadRunner::UploadRunner(QObject *parent)
    : QObject(parent)
{
}

UploadRunner::~UploadRunner()
{
    if (!m_thread)
        return;
    // No box will be shown now: the upload goes on without waiting for one,
    // and its reports to this runner are dropped with it.
    m_handoff->release();
    m_thread->wait();
}

bool UploadRunner::start(Job job)
{
    if (m_thread)
        return false;
    m_handoff = std::make_shared<Handoff>();
    m_thread.reset(QThread::create([this, job = std::move(job), handoff = m_handoff] {
        Reporter reporter(this, handoff);
        const bool completed = job(reporter);
        QMetaObject::invokeMethod(
            this, [this, completed] { finish(completed); }, Qt::QueuedConnection);
    }));
    m_thread->setObjectName(QStringLiteral("upload"));
    emit started();
    m_thread->start();
    return true;
}

void UploadRunner::finish(bool completed)
{
    m_thread->wait();
    m_thread.reset();
    emit finished(completed);
}

} // namespace varlo
