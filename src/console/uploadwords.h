// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/uploadoutcome.h"

#include <QString>

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

} // namespace varlo
