// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "LoginItems.h"

#include <optional>

/// Adds the application to the user's login items or takes it out, keeping at most one entry
/// of ours however often it is switched on.
class LaunchOnStartup
{
public:
    struct References
    {
        std::optional<LoginItem> existing; ///< the first entry that starts the application
        std::optional<LoginItem> anchor; ///< the last entry; nothing for an empty list
    };

    /// Nothing when the login items cannot be listed.
    static std::optional<References> loginItemReferences(const LoginItems& items = LoginItems());

    /// On: adds an entry when none starts the application. Off: removes the last one that does.
    /// A folder that cannot be listed or written is left as it is.
    static void setLaunchOnStartup(bool enabled);
};
