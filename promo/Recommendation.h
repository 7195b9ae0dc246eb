// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>
#include <optional>

class UserDefaults;

/// The result screen's choice of one recommended application, rotating through candidates
/// A, B and C (PromotedApplications::candidates) from one load to the next.
struct Recommendation
{
    /// What the user defaults hold under "lastPrmot".
    struct Stored
    {
        bool present = false; ///< the key exists, whatever its type
        std::optional<qint64> integer; ///< its value when it is an integer

        static Stored absent() { return {}; }
        static Stored ofInteger(qint64 value) { return {true, value}; }
        static Stored ofOtherType() { return {true, std::nullopt}; }
    };

    /// The candidate to show, 0 (A), 1 (B) or 2 (C): the first not installed in the order of
    /// trial. Nothing when all three are installed.
    std::optional<int> candidate;
    /// The next "lastPrmot" to write; nothing when the stored value is left as it is.
    std::optional<qint64> valueToStore;
    /// A and C are both installed: the box is hidden even when B was chosen for it.
    bool hideBox = false;

    static QString key() { return QStringLiteral("lastPrmot"); }

    /// The choice for installed flags of A, B, C and the stored rotation. A missing value
    /// counts as 0; a value that is not 0, 1 or 2 keeps the order A, B, C and stores nothing.
    static Recommendation choose(const std::array<bool, 3>& installed, const Stored& stored);

    /// Reads "lastPrmot" from `defaults`, chooses, and writes the next value there.
    static Recommendation advance(UserDefaults& defaults, const std::array<bool, 3>& installed);
};
