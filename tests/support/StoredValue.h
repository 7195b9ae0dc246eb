// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UserDefaults.h"

#include <QVariant>

/// Stores `value` under `key` as the type it holds (an integer or a string); an invalid value
/// removes the key, as on a first start.
inline void storeValue(UserDefaults& defaults, const QString& key, const QVariant& value)
{
    defaults.removeObjectForKey(key);
    if (value.typeId() == QMetaType::QString)
        defaults.setString(key, value.toString());
    else if (value.isValid())
        defaults.setInteger(key, value.toLongLong());
}
