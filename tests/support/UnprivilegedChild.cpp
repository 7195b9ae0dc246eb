// SPDX-License-Identifier: GPL-3.0-or-later
#include "UnprivilegedChild.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

bool canDropPrivileges()
{
    return ::geteuid() == 0;
}

int runUnprivileged(const std::function<int()>& fn, uid_t uid, gid_t gid)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(126);
        }
        const int result = fn();
        ::_exit(result & 0x7f);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) >= 126)
        return -1;
    return WEXITSTATUS(status);
}
