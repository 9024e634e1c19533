// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/uploadstop.h"

#include <atomic>

namespace varlo {

namespace {

// Lock-free, so a signal handler may set it.
std::atomic<bool> s_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

} // namespace

void UploadStop::request() noexcept
{
    s_requested.store(true);
}

bool UploadStop::requested() noexcept
{
    return s_requested.load();
}

void UploadStop::clear() noexcept
{
    s_requested.store(false);
}

} // namespace varlo
