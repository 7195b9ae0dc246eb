// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <sys/types.h>

/// Runs `fn` in a forked child that has dropped to an unprivileged user (uid/gid 65534 unless
/// given) and returns its result (0-125), or -1 when the child could not be run or drop its
/// privileges. When the test itself is not root, the child simply runs as the current user.
/// Keep `fn` simple: it runs in a copy of the process made by fork().
int runUnprivileged(const std::function<int()>& fn, uid_t uid = 65534, gid_t gid = 65534);

/// True when the process can make real permission faults for another user (it is root).
bool canDropPrivileges();
