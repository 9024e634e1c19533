// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace varlo::panel {

// Turns SIGINT (Ctrl-C), SIGTERM and SIGHUP (the terminal closed) into a Qt
// signal on the main thread, so that the program ends through its normal
// path and takes its ports link with it. A signal handler may do next to
// nothing itself; it writes the signal's number into a pipe, and the event
// loop reads it.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    bool isValid() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void quitRequested(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace varlo::panel
