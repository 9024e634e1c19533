// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/panellink.h"

#include "link/uploadoutcome.h"
#include "link/uploadprogress.h"
#include "link/uploadstop.h"

namespace varlo {

namespace {

QString describePort(const PortChoice &choice, const QString &device)
{
    if (choice.kind() == PortChoice::Kind::Com)
        return QStringLiteral("%1 (%2)").arg(choice.toString(), device);
    return device;
}

QString failureReason(const PortChoice &choice, const SerialPort &port)
{
    return describePort(choice, port.deviceName()) + QStringLiteral(": ") + port.errorString();
}

std::unique_ptr<SerialPort> openChosenPort(const PortChoice &choice, QString *reason)
{
    auto port = std::make_unique<SerialPort>();
    const bool opened =
        choice.kind() == PortChoice::Kind::Com ? port->open(choice.comNumber()) : port->openDevice(choice.devicePath());
    if (opened)
        return port;
    *reason = failureReason(choice, *port);
    return nullptr;
}

// A port discovery could not open, as the user needs to hear of it.
TriedPort refusedPort(const PortChoice &choice, const SerialPort &port)
{
    TriedPort tried;
    tried.port = choice;
    tried.device = port.deviceName();
    if (port.deviceMissing())
        return tried;
    tried.found = port.isBusy() ? TriedPort::Found::Busy : TriedPort::Found::Refused;
    tried.holder = port.lockHolderName();
    tried.reason = failureReason(choice, port);
    return tried;
}

// Discovery: the first port, COM15 down to COM1, that answers the probe.
// Every other port it tried goes into `tried`, and `reason` gets the reason
// of the first that exists but refused us.
std::optional<PanelLink> findPanel(std::vector<TriedPort> *tried, QString *reason)
{
    const int probeTimeoutMs = PanelLink::probeTimeoutMs();
    for (int com = SerialPort::kLastCom; com >= SerialPort::kFirstCom && !UploadStop::requested(); --com) {
        const PortChoice choice = PortChoice::com(com);
        auto port = std::make_unique<SerialPort>();
        if (!port->open(com)) {
            // Ports that don't exist are the normal case. One that exists
            // but refuses us (no rights, busy) is worth telling the user.
            tried->push_back(refusedPort(choice, *port));
            if (!port->deviceMissing() && reason->isEmpty())
                *reason = failureReason(choice, *port);
            continue;
        }
        port->setLine();
        port->setReadTimeout(probeTimeoutMs);
        quint8 answer = 0;
        if (port->writeByte(frame::kProbe) && port->readByte(answer) == 1 && answer == frame::kProbe)
            return PanelLink(std::move(port), choice);
        tried->push_back({choice, port->deviceName(), TriedPort::Found::NoAnswer, {}, {}});
        port->close();
    }
    return std::nullopt;
}

// The port step failed: nothing is open. After a stop request there is
// nothing to tell.
std::optional<PanelLink> failOpening(UploadOutcome &outcome, UploadResult result, const QString &reason)
{
    if (UploadStop::requested()) {
        outcome.result = UploadResult::Stopped;
        return std::nullopt;
    }
    outcome.result = result;
    outcome.reason = reason;
    return std::nullopt;
}

} // namespace

PanelLink::PanelLink(std::unique_ptr<SerialPort> port, PortChoice opened)
    : m_port(std::move(port))
    , m_opened(std::move(opened))
{
}

int PanelLink::probeTimeoutMs()
{
    bool isNumber = false;
    const int ms = qEnvironmentVariable("VARLO_PROBE_TIMEOUT_MS").toInt(&isNumber, 10);
    return isNumber && ms >= 1 && ms <= kMaxProbeTimeoutMs ? ms : kProbeTimeoutMs;
}

QString PanelLink::errorReason() const
{
    return failureReason(m_opened, *m_port);
}

std::optional<PanelLink> openPanelLink(const PortChoice &choice, UploadProgress &progress, UploadOutcome &outcome)
{
    QString reason;
    std::optional<PanelLink> link;
    if (choice.isAutomatic()) {
        link = findPanel(&outcome.tried, &reason);
        if (!link)
            return failOpening(outcome, UploadResult::CantFind, reason);
    } else {
        auto port = openChosenPort(choice, &reason);
        if (!port)
            return failOpening(outcome, UploadResult::CantOpen, reason);
        link.emplace(std::move(port), choice);
    }

    outcome.port = link->opened();
    progress.portOpened(link->opened());
    // After discovery this is the second time the line is set. A port whose
    // line can't be set would send at some other speed, so it counts as a
    // port that does not open.
    if (!link->port().setLine()) {
        reason = link->errorReason();
        link->abort();
        return failOpening(outcome, UploadResult::CantOpen, reason);
    }
    return link;
}

UploadOutcome probePanel(const PortChoice &choice)
{
    UploadOutcome outcome;
    QString reason;
    std::optional<PanelLink> link;
    if (choice.isAutomatic()) {
        link = findPanel(&outcome.tried, &reason);
        if (!link) {
            failOpening(outcome, UploadResult::CantFind, reason);
            return outcome;
        }
    } else {
        auto port = openChosenPort(choice, &reason);
        if (!port) {
            failOpening(outcome, UploadResult::CantOpen, reason);
            return outcome;
        }
        port->setLine();
        port->setReadTimeout(PanelLink::probeTimeoutMs());
        quint8 answer = 0;
        const bool answered = port->writeByte(frame::kProbe) && port->readByte(answer) == 1 && answer == frame::kProbe;
        link.emplace(std::move(port), choice);
        if (!answered) {
            link->close();
            failOpening(outcome, UploadResult::CantFind,
                        QStringLiteral("%1: no panel answered the probe").arg(choice.toString()));
            return outcome;
        }
    }
    outcome.port = link->opened();
    link->close();
    return outcome;
}

bool sendFrame(PanelLink &link, const LinkFrame &frame)
{
    for (const quint8 byte : frame.bytes()) {
        if (!link.port().writeByte(lineCode(byte)))
            return false;
    }
    return true;
}

} // namespace varlo
