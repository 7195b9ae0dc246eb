// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredSettings.h"

#include "UserDefaults.h"

#include <QString>

namespace {

const QString kMethod = QStringLiteral("Algomethod");
const QString kVerify = QStringLiteral("verifyErase");

} // namespace

ShredSettings::ShredSettings(UserDefaults& defaults)
    : m_defaults(defaults)
{ }

ShredSettings::ShredSettings()
    : ShredSettings(UserDefaults::standardUserDefaults())
{ }

std::optional<int> ShredSettings::storedMethod() const
{
    if (const std::optional<qint64> stored = m_defaults.integerForKey(kMethod))
        return int(*stored);
    return std::nullopt;
}

int ShredSettings::method() const
{
    return storedMethod().value_or(1);
}

void ShredSettings::setMethod(int nPassType)
{
    m_defaults.setInteger(kMethod, nPassType);
}

bool ShredSettings::verify() const
{
    // Settings are integers with 1 for on: anything else, or nothing, is off.
    return m_defaults.integerForKey(kVerify).value_or(0) == 1;
}

void ShredSettings::setVerify(bool on)
{
    m_defaults.setInteger(kVerify, on ? 1 : 0);
}
