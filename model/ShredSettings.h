// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

class UserDefaults;

/// The shred settings the files list screen offers, behind typed accessors, stored in the user
/// defaults under the keys every version has used ("Algomethod", "verifyErase").
class ShredSettings
{
public:
    explicit ShredSettings(UserDefaults& defaults);
    /// On the standard user defaults.
    ShredSettings();

    /// The stored method, the engine's pass type (0 stands for none picked); none if not stored.
    std::optional<int> storedMethod() const;
    /// The pass type a run uses: the stored one, or one pass of zeros.
    int method() const;
    void setMethod(int nPassType);
    /// Each erased file is read back before it is removed.
    bool verify() const;
    void setVerify(bool on);

private:
    UserDefaults& m_defaults;
};
