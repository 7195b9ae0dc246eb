// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"
#include "UpdateError.h"

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <optional>

/// An RSS 2.0 update feed in the widely used appcast format: elements of the sparkle namespace
/// are matched by its URI, so feeds made by the existing appcast tools read as they are.
class Appcast
{
public:
    static constexpr QStringView sparkleNamespace
        = u"http://www.andymatuschak.org/xml-namespaces/sparkle";

    /// Reads `xml`. Items without a version, an enclosure address, a length or a well-formed
    /// signature are left out (each with a log line); a document that is not an RSS feed is an
    /// error. Relative addresses are resolved against `feedUrl`.
    static UpdateError parse(const QByteArray& xml, const QUrl& feedUrl, QList<AppcastItem>* items);

    /// The newest of `items` above `runningVersion`, if any: an older version or the running
    /// one again is never offered.
    static std::optional<AppcastItem> newestAbove(
        const QList<AppcastItem>& items, const QString& runningVersion);
};
