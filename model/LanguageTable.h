// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bundle.h"

#include <QString>
#include <QVariantMap>
#include <optional>

/// The dictionary of resource `name` of type "plist" in `bundle`, or nothing when the resource
/// is missing, unreadable, not a property list or not a dictionary at its top level.
std::optional<QVariantMap> loadPlistDictionary(
    const QString& name, const Bundle& bundle = Bundle::mainBundle());

/// The process-wide language table. Written once when launching finishes, then only read, on
/// the GUI thread.
void setLanguageStrings(std::optional<QVariantMap> table);
const std::optional<QVariantMap>& languageStrings();

/// The text stored under `key` ("IDS_KQ_16"); empty when there is no table, no such key, or the
/// value is not a string.
QString localizedText(const QString& key);

/// The text under `key` used as a format: its "%@" filled with `argument`.
QString localizedFormat(const QString& key, const QString& argument);
/// The text under `key` with each "%@" in turn filled with the next of `arguments`.
QString localizedFormat(const QString& key, const QStringList& arguments);
