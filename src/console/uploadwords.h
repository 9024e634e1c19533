// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/uploadoutcome.h"

#include <QString>

class QTime;

namespace varlo {

// What the programs say about an upload, from what the link returns: the
// link gives result codes and ports, never words. The words live here
// because this is the one folder above the link that the window, varlo-cli
// and varlo-agent all build on, so the box, the message on standard error
// and the agent's status give the same text for the same outcome, and a
// user or a script that knows one knows them all.

// "Serial port can't open!" (CantOpen), " Can't find serial port!"
// (CantFind), "Serial port write error!" (WriteError); empty for Done and
// Stopped, which have nothing to complain of. The spaces belong to the
// texts.
QString uploadFailureText(UploadResult result);

// The port as the status bar has always shown it once it is open: "  Com:3",
// or the device path after two spaces.
QString portStatusText(const PortChoice &port);

// What an upload was for: the messages (Send) or the fonts (Initial).
enum class UploadPurpose { Messages, Fonts };

// One line that says how the last upload ended and when, for a place that
// keeps it (the window's status bar): "Sent to COM 3 at 10:42:05", "Fonts
// loaded on COM 3 at 10:42:05", "Not sent: Serial port can't open! (COM3
// (/dev/ttyS2): Permission denied)". The time in the locale's long format.
QString uploadEndLine(UploadPurpose purpose, const UploadOutcome &outcome, const QTime &at);

// After " Can't find serial port!": the ports discovery tried and what each
// was (busy, held by which program; no answer; refused, and why), and the
// missing ones in one line. Empty for other outcomes.
QString triedPortsText(const UploadOutcome &outcome);

} // namespace varlo
