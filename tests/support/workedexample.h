// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/messageset.h"

#include <QByteArrayList>

namespace varlo::test {

// The documented Send example: slot A holds "AB" at speed code 4 with its run
// flag ticked, the other 19 slots are empty, Commu Delay 0.
MessageSet workedExampleSet();
// What it puts on the line after the port step, frame by frame, written out
// by hand from the protocol: four block frames, the directory frame and the
// end frame, 348 line-coded bytes in all.
QByteArrayList workedExampleFrames();
QByteArray workedExampleStream();

} // namespace varlo::test
