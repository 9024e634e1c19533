// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/panelshow.h"
#include "virtualpanel/panelmemory.h"

#include <QByteArray>
#include <QString>

namespace varlo::panel {

// The memory as JSON, for --json:
//
//   {"slots": [{"letter": "A", "present": true, "run": true, "speed": 4,
//               "count": 3, "checksum_ok": true, "codes": [72, 73, 15],
//               "attrs": [0, 0, 0]}, ... 20 in all],
//    "font_loaded": false, "errors": ["..."], "errors_dropped": 0}
//
// `codes` and `attrs` hold the first `count` cells (at most 125). A slot
// that is not present has no block as far as the panel is concerned: count
// 0, no cells, checksum_ok false. `errors` are the first errors of the
// upload just completed (PanelMemory::kKeptErrors at most), and
// `errors_dropped` counts the rest.
QByteArray stateJson(const PanelMemory &memory, const PanelMemory::Upload &upload);

// One line about a completed upload, without its errors:
//   message upload: 3 slots (A B D), 1 stopped, checksums ok
//   message upload: 2 slots (A C), 0 stopped, bad checksum in C, 1 error
// (the errors counted include those not kept as text)
//   font upload: 64 frames
QString uploadLine(const PanelMemory &memory, const PanelMemory::Upload &upload);

// What the panel shows: the slots that run, in slot order, each drawn from
// the memory's character generator. A block that fails its marker or
// checksum is left out, as a panel does not show data it knows is damaged.
PanelShow showOf(const PanelMemory &memory, int widthDots = display::kWidthDots);

// Whether the panel shows a slot that runs.
bool blockSound(const PanelMemory &memory, int slot);

} // namespace varlo::panel
