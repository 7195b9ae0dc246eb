// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

/// Conversion between XML property lists and QVariant values.
/// Dictionaries become QVariantMap, arrays QVariantList, strings QString, integers qint64,
/// reals double, booleans bool, data QByteArray and dates QDateTime.
///
/// Everything read is bounded, since a settings file is whatever was left on disk: at most
/// maxFileBytes, arrays and dictionaries nested at most maxDepth deep. Binary property lists
/// are refused: one object may be shared by any number of parents, and libplist copies each
/// share, so a few hundred bytes can ask for gigabytes.
class PropertyList
{
public:
    /// A settings file holds a few hundred bytes, the language table some kilobytes.
    static constexpr qint64 maxFileBytes = qint64(1) << 20;
    /// Ours nest two or three deep; the conversion recurses once per level.
    static constexpr int maxDepth = 64;

    /// What reading a property-list file gave.
    struct FileResult
    {
        enum class Status
        {
            Parsed, ///< `value` holds the top-level value
            Missing, ///< nothing at the path, or a folder on the way is missing
            Unreadable, ///< it exists but could not be looked at or read; see `error`
            NotRegularFile, ///< a FIFO, socket, device or folder: never opened blocking, never read
            TooLarge, ///< more than maxFileBytes
            Malformed, ///< not an XML property list, or nested too deep
        };

        Status status = Status::Missing;
        int error = 0; ///< errno for Missing and Unreadable
        QVariant value;

        /// The fault in a few words for a log line ("is not a regular file"); empty when parsed.
        QString reason() const;
    };

    /// The parsed top-level value, or nothing when `bytes` is not an XML property list within
    /// the bounds above.
    static std::optional<QVariant> parse(const QByteArray& bytes);
    /// Reads the file at `path` (symbolic links followed, Qt resource paths such as ":/x"
    /// allowed) without ever blocking on it: only a regular file is opened for reading.
    static FileResult readFile(const QString& path);
    /// The value as an XML property list; nothing when it holds a type a plist cannot store.
    static std::optional<QByteArray> toXml(const QVariant& value);
};
