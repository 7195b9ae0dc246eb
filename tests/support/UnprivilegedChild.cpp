// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnprivilegedChild.h"

#include "ForkedChild.h"

#include <grp.h>
#include <unistd.h>

bool canDropPrivileges()
{
    return ::geteuid() == 0;
}

int runUnprivileged(const std::function<int()>& fn, uid_t uid, gid_t gid)
{
    return runForked([&] {
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                return 126;
        }
        return fn();
    });
}
