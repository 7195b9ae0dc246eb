// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

/// Conversion between property lists (XML or binary) and QVariant values.
/// Dictionaries become QVariantMap, arrays QVariantList, strings QString, integers qint64,
/// reals double, booleans bool, data QByteArray and dates QDateTime.
class PropertyList
{
public:
    /// The parsed top-level value, or nothing when `bytes` is not a property list.
    static std::optional<QVariant> parse(const QByteArray& bytes);
    /// The value as an XML property list; nothing when it holds a type a plist cannot store.
    static std::optional<QByteArray> toXml(const QVariant& value);
};
