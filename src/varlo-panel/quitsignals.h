// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace varlo::panel {

// Turns SIGINT (Ctrl-C), SIGTERM and SIGHUP (the terminal closed) into a Qt
// signal on the main thread, so that the program ends through its normal
// path and takes its ports link with it. A signal handler may do next to
// nothing itself; it writes the signal's number into a pipe, and the event
// loop reads it. SIGWINCH, a new terminal size, comes the same way as
// terminalResized(), so that the display is drawn anew at once and the
// program need not look at the terminal's size while nothing else changes.
//
// The program ends within a second of the first such signal, whatever it is
// doing: should the normal path not be done by kGraceMs (the main thread
// held up writing to a terminal or pipe that takes nothing, say), a timer
// runs the last resort and ends the process with status 0 there and then.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    static constexpr int kGraceMs = 700;
    // Runs inside a signal handler: only async-signal-safe calls.
    using LastResort = void (*)();

    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    bool isValid() const { return m_notifier != nullptr; }
    // What must be undone even when the normal path is stuck.
    void setLastResort(LastResort lastResort);

Q_SIGNALS:
    void quitRequested(int signalNumber);
    void terminalResized();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace varlo::panel
