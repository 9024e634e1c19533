// SPDX-License-Identifier: GPL-3.0-or-later
#include "processfaults.h"

#include <csignal>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace varlo::test {

namespace {

bool setFileSizeLimit(rlim_t bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

} // namespace

bool becomeUserWithoutRights()
{
    if (::geteuid() != 0)
        return true;
    const passwd *nobody = ::getpwnam("nobody");
    return nobody && ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0;
}

bool limitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    return setFileSizeLimit(bytes);
}

bool limitFileSizeAsUlimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_DFL);
    return setFileSizeLimit(bytes);
}

} // namespace varlo::test
