// SPDX-License-Identifier: GPL-3.0-or-later
#include "threadrunner.h"

#include <QDeadlineTimer>
#include <QThread>

#include <memory>

namespace varlo::test {

void runOnThread(const std::function<void()> &job, int timeoutMs)
{
    std::unique_ptr<QThread> thread(QThread::create(job));
    thread->start();
    if (!thread->wait(QDeadlineTimer(timeoutMs)))
        qFatal("A job on its thread did not end within %d ms: it hangs", timeoutMs);
}

} // namespace varlo::test
