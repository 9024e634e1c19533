// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"
#include "link/portchoice.h"
#include "link/serialport.h"

#include <memory>
#include <optional>

namespace varlo {

class UploadProgress;
struct UploadOutcome;

// The open serial port an upload writes its frames to. It exists from a
// successful openPanelLink to the end of the upload that opened it.
class PanelLink
{
public:
    // Discovery waits this long for the panel's answer to the probe.
    static constexpr int kProbeTimeoutMs = 10;
    static constexpr int kMaxProbeTimeoutMs = 10000;
    // kProbeTimeoutMs, or VARLO_PROBE_TIMEOUT_MS from the environment when
    // it holds a whole number of milliseconds from 1 to kMaxProbeTimeoutMs
    // (anything else is ignored): for an adapter that passes bytes on late,
    // and for tests, whose virtual panel answers only once a thread of the
    // busy test machine has run.
    static int probeTimeoutMs();

    PanelLink(std::unique_ptr<SerialPort> port, PortChoice opened);

    // The port as it was chosen, or as discovery found it.
    const PortChoice &opened() const { return m_opened; }
    // "COM3", or the device path.
    QString portName() const { return m_opened.toString(); }
    SerialPort &port() { return *m_port; }
    // "COM3 (/dev/ttyUSB0): " and the port's last error.
    QString errorReason() const;

    // Waits for the last byte to leave the wire, then closes. False when the
    // device went away first (errorReason() says how).
    bool close() { return m_port->close(); }
    // Closes at once, for a device that has gone.
    void abort() { m_port->abort(); }

private:
    std::unique_ptr<SerialPort> m_port;
    PortChoice m_opened;
};

// Opens the chosen port, or with AUTO finds the panel: COM15 down to COM1,
// each port that opens gets the raw probe 'T' and the first that answers 'T'
// within the probe time-out is the panel. A chosen port gets no probe, so a
// port without a panel is not noticed (the panel acknowledges nothing). The
// port is told to `progress` once it is open. On failure nothing is open and
// `outcome` says why (Stopped, after a stop request); it names the port that
// opened and, after discovery, the ports tried.
std::optional<PanelLink> openPanelLink(const PortChoice &choice, UploadProgress &progress, UploadOutcome &outcome);

// Asks whether a panel is there, as discovery does, and lets go of the port
// again: with AUTO, discovery itself; on a chosen port, the probe 'T' once.
// Done, with the port in `outcome.port`, when a panel answered; CantFind
// when none did (the reason names the chosen port); CantOpen when the chosen
// port did not open. Nothing else goes out.
UploadOutcome probePanel(const PortChoice &choice);

// Line-codes each byte of the frame and writes it by itself. False as soon as
// a write fails; the rest of the frame is not sent.
bool sendFrame(PanelLink &link, const LinkFrame &frame);

} // namespace varlo
