// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/resource.h>

namespace varlo::test {

// Changes to the calling process that make a save fail. They last for the
// rest of the process, so call them in a process started for the purpose.

// As root, becomes the user nobody (root writes into any folder); as anyone
// else, stays. False when the change failed.
bool becomeUserWithoutRights();

// The way a full disk stops a write half-way: no file of the process may
// grow past `bytes`, and going past it fails with EFBIG instead of ending
// the process with SIGXFSZ. Root is held to it as well.
bool limitFileSize(rlim_t bytes);
// The same limit as `ulimit -f` sets it: SIGXFSZ keeps its default, which
// ends a program that does not see to it itself.
bool limitFileSizeAsUlimit(rlim_t bytes);

} // namespace varlo::test
