// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

/// Runs `fn` in a forked copy of the test process and returns its result (0-125), or -1 when
/// the child crashed, could not be made, or was still running after `timeoutMs` (then it is
/// killed); a negative `timeoutMs` waits as long as it takes. For what must start from a fresh
/// process state (a process-wide settings store) or may crash or hang. Keep `fn` simple: only
/// the calling thread is copied, so fork before the test starts threads of its own.
int runForked(const std::function<int()>& fn, int timeoutMs = -1);
