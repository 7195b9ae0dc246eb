// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedState.h"

SharedState& SharedState::instance()
{
    static SharedState state;
    return state;
}

void SharedState::resetLists()
{
    arrFileList.clear();
    arrPendingItems.clear();
    ++listGeneration;
}
