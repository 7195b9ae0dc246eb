// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoginItems.h"

/// How many of the user's login items start this application.
inline int ourLoginItems()
{
    const LoginItems items;
    int ours = 0;
    for (const LoginItem& item : items.snapshot().value_or(QList<LoginItem>()))
        ours += items.pointsAtApplication(item) ? 1 : 0;
    return ours;
}
