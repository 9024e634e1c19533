// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portchoice.h"
#include "link/uploadoutcome.h"

#include <QObject>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QThread;
QT_END_NAMESPACE

namespace varlo {

class UploadProgress;

// Runs one upload at a time on a thread of its own, so that the program
// goes on (a window repaints, an agent talks to its broker) while the upload
// holds the line. What the upload tells comes out as signals on the
// worker's thread, in the order the upload told it, and the upload ends with
// finished() and its outcome. The upload never waits for its receivers: what
// a program shows about the outcome, it shows once the port is closed.
//
// Destroying the worker waits for a running upload to end, which the
// upload's own time-outs bound (or a stop request, UploadStop, cuts short);
// what it still tells is dropped.
class UploadWorker : public QObject
{
    Q_OBJECT

public:
    // An upload: runs on the worker's thread and tells `progress` as it goes.
    using Upload = std::function<UploadOutcome(UploadProgress &progress)>;

    explicit UploadWorker(QObject *parent = nullptr);
    ~UploadWorker() override;

    bool isRunning() const { return m_thread != nullptr; }
    // Starts the upload, unless one runs: then it does nothing and returns
    // false.
    bool start(Upload upload);

Q_SIGNALS:
    void started();
    void portOpened(const varlo::PortChoice &port);
    void progressMaximumSet(int maximum);
    void progressPositionSet(int position);
    // The upload has ended, its port is closed and the worker can start the
    // next. Emitted last: a receiver may destroy the worker.
    void finished(const varlo::UploadOutcome &outcome);

private:
    class Relay;

    void finish(const UploadOutcome &outcome);

    std::unique_ptr<QThread> m_thread;
};

} // namespace varlo
