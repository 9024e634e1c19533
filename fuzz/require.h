// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <cstdlib>

namespace varlo::fuzz {

// Stops the run on a broken promise. libFuzzer treats the abort as a crash
// and saves the input that caused it under the target's artifact prefix.
inline void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

} // namespace varlo::fuzz
