// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace varlo::test {

// Runs the step once, on the thread that drains, at the start of the next
// tcdrain() in this process; the drain then goes on as usual.
//
// A pseudo-terminal's drain returns at once, so nothing outside the sender
// can come between its last write and its drain: a panel that unplugs after
// the last byte would race the sender. With this a test unplugs the panel
// exactly there, so that only the drain can see it. A test program that
// calls it routes every tcdrain() through this file.
void beforeNextDrain(std::function<void()> step);

} // namespace varlo::test
