// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>

/// 0 when every check holds, else the number (from 1) of the first that does not: what a child
/// process returns, so that the parent can say which expectation failed in it. The checks are
/// evaluated in order.
inline int firstFailed(std::initializer_list<bool> checks)
{
    int number = 1;
    for (const bool check : checks) {
        if (!check)
            return number;
        ++number;
    }
    return 0;
}
