// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

/// Dotted version numbers ("1.10.2") compared component by component, numerically.
class VersionNumber
{
public:
    /// Negative, zero or positive as `a` is older than, the same as or newer than `b`. Missing
    /// components count as 0 (1.2 equals 1.2.0); a component with a suffix after its number is
    /// a pre-release of that number (1.0rc1 < 1.0), and suffixes compare as text.
    static int compare(const QString& a, const QString& b);
};
