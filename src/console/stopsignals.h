// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace varlo {

// How the console programs stop on SIGINT (Ctrl-C), SIGTERM (systemctl stop,
// kill) and SIGHUP (the terminal closed): not where they stand, but through
// their normal way out, so that an upload releases its port, the agent says
// goodbye to the broker and the virtual panel removes its link.
//
// The handler does next to nothing, as a signal handler must: it notes the
// first signal's number (received()), runs the program's own
// async-signal-safe step if it has one (varlo-cli asks the upload to stop
// there, as the upload may hold the main thread), and writes the number into
// a pipe that the event loop reads, which makes stopRequested(). A program
// that has no event loop running looks at received() instead.
//
// A second signal ends the program at once, as though nothing were
// watching, unless the program asked for a grace time: then it ends at the
// latest graceMs after the first, running its last resort first, whatever
// its main thread is stuck in (varlo-panel: a terminal that takes no
// output).
//
// One per program. SIGWINCH (a new terminal size) can come the same way as
// terminalResized().
class StopSignals : public QObject
{
    Q_OBJECT

public:
    // Runs inside the signal handler: only async-signal-safe calls.
    using HandlerStep = void (*)();

    struct Options
    {
        // At each stop signal, in the handler.
        HandlerStep inHandler = nullptr;
        // Above 0: the process ends (status 0) this long after the first
        // stop signal, after lastResort.
        int graceMs = 0;
        HandlerStep lastResort = nullptr;
        bool watchResize = false;
        // A system call that the signal interrupts returns at once (EINTR)
        // instead of going on, so that a program waiting in one looks at
        // the stop at once (varlo-cli).
        bool interruptCalls = false;
    };

    explicit StopSignals(QObject *parent = nullptr);
    explicit StopSignals(const Options &options, QObject *parent = nullptr);
    // Puts the handlers back as they were.
    ~StopSignals() override;
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    bool isValid() const { return m_notifier != nullptr; }
    // The number of the first stop signal, or 0.
    static int received();

Q_SIGNALS:
    void stopRequested(int signalNumber);
    void terminalResized();

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace varlo
