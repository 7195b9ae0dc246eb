// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recommendation.h"

#include "UserDefaults.h"

Recommendation Recommendation::choose(const std::array<bool, 3>& installed, const Stored& stored)
{
    // A missing value is first stored as 0 and then read back, so it behaves exactly like 0.
    const std::optional<qint64> rotation = stored.present ? stored.integer : qint64 {0};

    Recommendation result;
    int start = 0;
    if (rotation && *rotation >= 0 && *rotation <= 2) {
        start = static_cast<int>(*rotation);
        result.valueToStore = (*rotation + 1) % 3;
    }

    for (int step = 0; step < 3; ++step) {
        const int candidate = (start + step) % 3;
        if (!installed[static_cast<size_t>(candidate)]) {
            result.candidate = candidate;
            break;
        }
    }

    // Decided by A and C alone, after the choice: with only B left, B is picked yet not shown.
    result.hideBox = installed[0] && installed[2];
    return result;
}

Recommendation Recommendation::advance(UserDefaults& defaults, const std::array<bool, 3>& installed)
{
    Stored stored;
    stored.present = defaults.contains(key());
    stored.integer = defaults.integerForKey(key());

    const Recommendation result = choose(installed, stored);
    if (result.valueToStore)
        defaults.setInteger(key(), *result.valueToStore);
    return result;
}
