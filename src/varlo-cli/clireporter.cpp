// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/clireporter.h"

#include "console/programoutput.h"
#include "console/uploadwords.h"
#include "varlo-cli/commandline.h"
#include "console/stopsignals.h"
#include "link/serialport.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace varlo::cli {

CliReporter::CliReporter()
    : CliReporter(printErr, stderrIsTerminal())
{
}

CliReporter::CliReporter(Sink sink, bool terminal)
    : m_write(std::move(sink))
    , m_terminal(terminal)
{
}

CliReporter::~CliReporter()
{
    endProgressLine();
}

bool CliReporter::stderrIsTerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(fileno(stderr)) == 1;
#else
    return false;
#endif
}

const char *CliReporter::permissionHint()
{
    return "Hint: serial ports belong to the group 'dialout' on Debian; join it with\n"
           "  sudo adduser $USER dialout\n"
           "and log in again.\n";
}

void CliReporter::portOpened(const PortChoice &port)
{
    m_status = portStatusText(port);
}

void CliReporter::showFailure(const QString &text, const UploadOutcome &outcome)
{
    const QString &reason = outcome.reason;
    endProgressLine();
    // Every line names the program, as its other messages do; with
    // several ports, the port as well.
    const QString who =
        programName() + QStringLiteral(": ") + (m_label.isEmpty() ? QString() : m_label + QStringLiteral(": "));
    QString said = text + QLatin1Char('\n');
    if (!reason.isEmpty())
        said += reason + QLatin1Char('\n');
    if (SerialPort::isPermissionReason(reason))
        said += QString::fromLatin1(permissionHint());
    said += triedPortsText(outcome);
    for (const QString &line : said.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        m_write(who + line + QLatin1Char('\n'));
}

void CliReporter::setProgressPosition(int position)
{
    if (!m_terminal || m_maximum <= 0)
        return;
    // An ended upload puts the position back to 0 (resetProgress).
    const bool finished = position == 0 && m_lastPosition > 0;
    m_lastPosition = position;
    if (finished) {
        endProgressLine();
        return;
    }
    m_progressShown = true;
    m_write(QStringLiteral("\r%1  step %2 of %3 (%4%)")
                .arg(m_status)
                .arg(position)
                .arg(m_maximum)
                .arg(position * 100 / m_maximum));
}

void CliReporter::endProgressLine()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    m_write(QStringLiteral("\n"));
}

int uploadToEachPort(const std::vector<PortChoice> &ports,
                     const std::function<UploadOutcome(const PortChoice &, UploadProgress &)> &upload)
{
    int status = ExitDone;
    for (const PortChoice &port : ports) {
        if (StopSignals::received() != 0)
            break;
        CliReporter reporter;
        const bool several = ports.size() > 1;
        if (several)
            reporter.setLabel(port.toString());
        const UploadOutcome outcome = upload(port, reporter);
        showUploadEnd(outcome, reporter);
        if (!outcome.done())
            status = ExitFailed;
        else if (several)
            printMessage(port.toString() + QStringLiteral(": done"));
    }
    return status;
}

} // namespace varlo::cli
