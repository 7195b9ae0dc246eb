// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// A web address from the build's configuration or the promoted list, opened in the browser.
class WebAddress
{
public:
    /// Opens `address` in the default browser; an empty or malformed address is ignored.
    /// Writes "default browser was successfully opened" when the desktop took it.
    static bool open(const QString& address);
};
