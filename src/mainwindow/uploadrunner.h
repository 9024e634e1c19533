// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkreporter.h"

#include <QObject>

#include <functional>
#include <memory>

class QThread;

namespace varlo {

// Runs one upload at a time on a worker thread, so that the window keeps
// repainting while the upload holds the line. What the upload reports comes
// out as signals on the runner's thread, in the order the upload made the
// calls; the worker never calls into the window.
//
// A failure message holds the upload until the box is closed, as a modal box
// does: the receiver of messageShown shows the box and returns when the user
// has closed it, and only then does the upload go on to its end (the red
// lamp, the progress back at 0). Destroying the runner releases that wait
// and waits for the upload to end, which the upload's own time-outs bound,
// so the window can be destroyed at any moment of an upload, its box open
// or not.
class UploadRunner : public QObject
{
    Q_OBJECT

public:
    // An upload. It returns whether it completed.
    using Job = std::function<bool(LinkReporter &)>;

    explicit UploadRunner(QObject *parent = nullptr);
    ~UploadRunner() override;

    bool isRunning() const { return m_thread != nullptr; }
    // Starts the job, unless an upload runs: then it does nothing and
    // returns false.
    bool start(Job job);

signals:
    void started();
    // The upload waits until the receivers have returned.
    void messageShown(const QString &text, const QString &reason);
    void lampShown(varlo::Lamp lamp);
    void statusShown(const QString &text);
    void progressMaximumSet(int maximum);
    void progressPositionSet(int position);
    void finished(bool completed);

private:
    class Reporter;
    struct Handoff;

    void finish(bool completed);

    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<Handoff> m_handoff;
};

} // namespace varlo
