// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariantMap>
#include <mutex>
#include <optional>

/// Typed settings persisted as an XML property list. Every change is written at once and
/// atomically (temporary file, fsync, rename). A value of another type than asked reads as not
/// set. A file that cannot be parsed, is too large (PropertyList::maxFileBytes) or is no regular
/// file at all (a FIFO, a folder, a link to a device: never opened blocking, never read) is moved
/// aside (never overwritten), with one line on standard error, and reading starts empty.
/// A file that exists but cannot be read, or a damaged one that cannot be moved aside, makes the
/// store read-only for this process so the user's file is never replaced by a near-empty one.
/// A settings path that is a symbolic link to a regular file is written through to the link's
/// target; a link to anything else is itself moved aside.
/// Thread-safe.
class UserDefaults
{
public:
    /// Settings stored in `filePath`; the folder is made when the first value is written.
    explicit UserDefaults(QString filePath);

    /// The user's settings: $XDG_CONFIG_HOME/corvane/defaults.plist (~/.config when unset).
    static UserDefaults& standardUserDefaults();
    static QString defaultFilePath();

    std::optional<qint64> integerForKey(const QString& key) const;
    std::optional<double> doubleForKey(const QString& key) const;
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<bool> boolForKey(const QString& key) const;
    bool contains(const QString& key) const;

    /// Each setter returns false when the change could not be written to disk (or the store is
    /// read-only); the value is then still held in memory for this process.
    bool setInteger(const QString& key, qint64 value);
    bool setDouble(const QString& key, double value);
    bool setString(const QString& key, const QString& value);
    bool setBool(const QString& key, bool value);
    bool removeObjectForKey(const QString& key);

    QString filePath() const { return m_filePath; }
    /// Where a corrupt file was moved at load, or empty.
    QString corruptFileKeptAt() const;
    /// True when the file could not be read or, damaged, moved aside: nothing is written then.
    bool isReadOnly() const;

private:
    bool setValue(const QString& key, const QVariant& value);
    void loadLocked() const;
    bool saveLocked() const;

    QString m_filePath;
    mutable std::mutex m_mutex;
    mutable bool m_loaded = false;
    mutable bool m_readOnly = false;
    /// m_filePath with symbolic links followed, resolved at load; the file that is replaced.
    mutable QString m_writePath;
    mutable QVariantMap m_values;
    mutable QString m_corruptKeptAt;
};
