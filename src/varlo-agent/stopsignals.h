// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace varlo::agent {

// SIGTERM (systemctl stop), SIGINT (Ctrl-C) and SIGHUP as a Qt signal on
// the main thread, so that the agent can end its upload, say goodbye to the
// broker and keep its state before it exits.
//
// The signals are blocked in every thread and read from a signalfd: call
// blockInProcess() first thing in main(), before any thread exists (the
// MQTT and upload threads inherit the mask), then make the object. A second
// signal while the first is handled ends the program at once.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    static void blockInProcess();

    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    bool isValid() const { return m_fd >= 0; }

Q_SIGNALS:
    void stopRequested(int signalNumber);

private:
    void read();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    bool m_requested = false;
};

} // namespace varlo::agent
