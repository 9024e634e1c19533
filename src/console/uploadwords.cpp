// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/uploadwords.h"

#include <QLocale>
#include <QStringList>
#include <QTime>

namespace varlo {

QString uploadFailureText(UploadResult result)
{
    switch (result) {
    case UploadResult::CantOpen:
        return QStringLiteral("Serial port can't open!");
    case UploadResult::CantFind:
        return QStringLiteral(" Can't find serial port!");
    case UploadResult::WriteError:
        return QStringLiteral("Serial port write error!");
    case UploadResult::Done:
    case UploadResult::Stopped:
        break;
    }
    return {};
}

QString portStatusText(const PortChoice &port)
{
    if (port.kind() == PortChoice::Kind::Com)
        return QStringLiteral("  Com:") + QString::number(port.comNumber());
    return QStringLiteral("  ") + port.toString();
}

namespace {

// The port as the port box names it: "COM 3", or the device path.
QString portName(const PortChoice &port)
{
    if (port.kind() == PortChoice::Kind::Com)
        return QStringLiteral("COM %1").arg(port.comNumber());
    return port.toString();
}

QString triedPortName(const TriedPort &tried)
{
    return tried.device.isEmpty() ? tried.port.toString()
                                  : QStringLiteral("%1 (%2)").arg(tried.port.toString(), tried.device);
}

} // namespace

QString uploadEndLine(UploadPurpose purpose, const UploadOutcome &outcome, const QTime &at)
{
    const QString when = QLocale().toString(at, QLocale::LongFormat);
    const bool fonts = purpose == UploadPurpose::Fonts;
    if (outcome.done()) {
        const QString port = outcome.port ? portName(*outcome.port) : QStringLiteral("the panel");
        return fonts ? QStringLiteral("Fonts loaded on %1 at %2").arg(port, when)
                     : QStringLiteral("Sent to %1 at %2").arg(port, when);
    }
    QString why = outcome.result == UploadResult::Stopped ? QStringLiteral("stopped")
                                                          : uploadFailureText(outcome.result).trimmed();
    if (!outcome.reason.isEmpty())
        why += QStringLiteral(" (%1)").arg(outcome.reason);
    return (fonts ? QStringLiteral("Fonts not loaded: %1 at %2") : QStringLiteral("Not sent: %1 at %2")).arg(why, when);
}

QString triedPortsText(const UploadOutcome &outcome)
{
    if (outcome.result != UploadResult::CantFind)
        return {};
    QStringList lines;
    QStringList missing;
    for (const TriedPort &tried : outcome.tried) {
        switch (tried.found) {
        case TriedPort::Found::Missing:
            missing << tried.port.toString();
            break;
        case TriedPort::Found::Busy:
            lines << (tried.holder.isEmpty()
                          ? QStringLiteral("%1: busy, another program holds it").arg(triedPortName(tried))
                          : QStringLiteral("%1: busy, held by %2").arg(triedPortName(tried), tried.holder));
            break;
        case TriedPort::Found::NoAnswer:
            lines << QStringLiteral("%1: opened, but no panel answered").arg(triedPortName(tried));
            break;
        case TriedPort::Found::Refused:
            lines << QStringLiteral("%1: did not open%2")
                         .arg(triedPortName(tried),
                              tried.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(tried.reason));
            break;
        }
    }
    if (!missing.isEmpty())
        lines << QStringLiteral("No such port: %1").arg(missing.join(QStringLiteral(", ")));
    return QStringLiteral("Ports tried:\n") + lines.join(QLatin1Char('\n'));
}

} // namespace varlo
