// SPDX-License-Identifier: GPL-3.0-or-later
#include "drainhook.h"

#include <mutex>

#include <dlfcn.h>
#include <termios.h>

namespace varlo::test {

namespace {

std::mutex s_mutex;
std::function<void()> s_step;

} // namespace

void beforeNextDrain(std::function<void()> step)
{
    std::lock_guard lock(s_mutex);
    s_step = std::move(step);
}

} // namespace varlo::test

// Stands in for the C library's tcdrain in the test program that links this
// file: the code under test calls this one, which calls the real one.
extern "C" int tcdrain(int fd)
{
    std::function<void()> step;
    {
        std::lock_guard lock(varlo::test::s_mutex);
        step.swap(varlo::test::s_step);
    }
    if (step)
        step();
    using Drain = int (*)(int);
    static const auto realDrain = reinterpret_cast<Drain>(::dlsym(RTLD_NEXT, "tcdrain"));
    return realDrain(fd);
}
