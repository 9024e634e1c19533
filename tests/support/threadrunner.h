// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace varlo::test {

// Runs a blocking job (an upload) on a QThread, as a window would, and waits
// for it. A job still running after the time-out ends the test program with
// a fatal error instead of letting the suite hang.
void runOnThread(const std::function<void()> &job, int timeoutMs = 30000);

} // namespace varlo::test
