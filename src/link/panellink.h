// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/linkframe.h"
#include "link/portchoice.h"
#include "link/serialport.h"

#include <memory>
#include <optional>

namespace varlo {

class LinkReporter;

// The texts the link shows, exactly as the user sees them.
namespace linktext {
inline const QString kCantOpen = QStringLiteral("Serial port can't open!");
inline const QString kCantFind = QStringLiteral(" Can't find serial port!");
inline const QString kWriteError = QStringLiteral("Serial port write error!");
inline const QString kStatusPrefix = QStringLiteral("  Com:");
} // namespace linktext

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

    // The COM number, or 0 when a device path was opened.
    int comNumber() const { return m_opened.comNumber(); }
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
// port without a panel is not noticed (the panel acknowledges nothing). On
// success the status shows the port; on failure the message and the red lamp
// have been reported (nothing is, after a stop request) and no port is open.
std::optional<PanelLink> openPanelLink(const PortChoice &choice, LinkReporter &reporter);

// Line-codes each byte of the frame and writes it by itself. False as soon as
// a write fails; the rest of the frame is not sent.
bool sendFrame(PanelLink &link, const LinkFrame &frame);

// How both uploads end. After the last frame: close (after draining),
// progress 0, green lamp, true. When the drain fails, the line went away
// before the last bytes were out: as abandonUpload after a failed write, and
// false.
bool completeUpload(PanelLink &link, LinkReporter &reporter);
// After a failed write: close at once, "Serial port write error!" with the
// operating system's reason, red lamp, progress 0. After a stop request
// (UploadStop) only the close and progress 0.
void abandonUpload(PanelLink &link, LinkReporter &reporter);

} // namespace varlo
