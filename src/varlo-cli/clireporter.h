// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "console/uploadendview.h"
#include "link/portchoice.h"
#include "link/uploadoutcome.h"
#include "link/uploadprogress.h"

#include <functional>
#include <vector>

namespace varlo::cli {

// Tells an upload on standard error: the system's messages as they stand,
// the operating system's reason on a second line and, for a permission
// problem, a hint about the serial port group. Progress is shown only on a
// terminal, so that scripts and logs get nothing but the messages.
class CliReporter final : public UploadProgress, public UploadEndView
{
public:
    using Sink = std::function<void(const QString &)>;

    // Standard error, with progress when it is a terminal.
    CliReporter();
    CliReporter(Sink sink, bool terminal);
    // Ends a progress line that is still open (an upload that was stopped).
    ~CliReporter() override;

    // Messages name the port they are about, as "COM4: Serial port can't
    // open!", when one run uploads to several.
    void setLabel(const QString &label) { m_label = label; }

    static bool stderrIsTerminal();
    static const char *permissionHint();

    void portOpened(const PortChoice &port) override;
    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    void setProgressPosition(int position) override;

    void showFailure(const QString &text, const UploadOutcome &outcome) override;
    void showResult(bool) override {}
    void resetProgress() override { setProgressPosition(0); }

private:
    void endProgressLine();

    Sink m_write;
    bool m_terminal;
    QString m_label;
    QString m_status;
    int m_maximum = 0;
    int m_lastPosition = 0;
    bool m_progressShown = false;
};

// Runs the upload on each port in turn, with a reporter of its own, and
// tells each outcome. With several ports each outcome is told on standard
// error, "COM3: done" or the failure's message after "COM4: "; the result is
// the worst status. An interrupted run stops before the next port.
int uploadToEachPort(const std::vector<PortChoice> &ports,
                     const std::function<UploadOutcome(const PortChoice &, UploadProgress &)> &upload);

} // namespace varlo::cli
