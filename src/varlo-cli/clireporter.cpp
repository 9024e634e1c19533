// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/clireporter.h"

#include "varlo-cli/commandline.h"
#include "varlo-cli/interruptwatch.h"
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

void CliReporter::showMessage(const QString &text, const QString &reason)
{
    endProgressLine();
    m_write((m_label.isEmpty() ? QString() : m_label + QStringLiteral(": ")) + text + QLatin1Char('\n'));
    if (!reason.isEmpty())
        m_write(reason + QLatin1Char('\n'));
    if (SerialPort::isPermissionReason(reason))
        m_write(QString::fromLatin1(permissionHint()));
}

void CliReporter::setProgressPosition(int position)
{
    if (!m_terminal || m_maximum <= 0)
        return;
    // Every upload ends by setting the position back to 0.
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
                     const std::function<bool(const PortChoice &, LinkReporter &)> &upload)
{
    int status = ExitDone;
    for (const PortChoice &port : ports) {
        if (InterruptWatch::signalNumber() != 0)
            break;
        CliReporter reporter;
        const bool several = ports.size() > 1;
        if (several)
            reporter.setLabel(port.toString());
        const bool done = upload(port, reporter);
        if (!done)
            status = ExitFailed;
        else if (several)
            printErr(port.toString() + QStringLiteral(": done\n"));
    }
    return status;
}

} // namespace varlo::cli
