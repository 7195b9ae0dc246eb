// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Bundle.h"

#include <QLocale>
#include <QString>
#include <QVariantMap>
#include <optional>

/// The dictionary of resource `name` of type "plist" in `bundle`, or nothing when the resource
/// is missing, unreadable, not a property list or not a dictionary at its top level.
std::optional<QVariantMap> loadPlistDictionary(
    const QString& name, const Bundle& bundle = Bundle::mainBundle());

/// The language table for `locale`: the "English" table, with every string of the locale's
/// language table ("de", then a region's own "de_CH" over it) in place of its English text.
/// English fills each key the language lacks; a value that is not a string is skipped. Nothing
/// when no table loads. The UI languages are tried in order, so LANGUAGE=fr:de works.
std::optional<QVariantMap> loadLanguageStrings(
    const QLocale& locale = QLocale::system(), const Bundle& bundle = Bundle::mainBundle());

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

/// `n` in the text under `oneKey` when the table's singular rule takes `n`, else under
/// `manyKey`; each "%@" filled with `n`. The rule is the text under "IDS_KQ_600": the counts that
/// take the singular, separated by spaces ("1" in English, "0 1" in French).
QString localizedCount(qint64 n, const QString& oneKey, const QString& manyKey);
