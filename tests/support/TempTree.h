// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

/// A temporary folder for one test, with helpers to fill it. Removed when destroyed.
class TempTree
{
public:
    /// Under `parent` when given (for example a mounted test image), else the system temp folder.
    explicit TempTree(const QString& parent = QString());

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    /// `relative` joined to the root.
    QString path(const QString& relative) const;

    /// Writes `content` to `relative`, making parent folders; returns the full path.
    QString writeFile(const QString& relative, const QByteArray& content);
    QString makeDir(const QString& relative);
    QString makeSymlink(const QString& relative, const QString& target);
    QString makeFifo(const QString& relative);
    QString makeHardLink(const QString& relative, const QString& existing);

    /// A file of `size` bytes allocated without writing them (posix_fallocate), for runs that
    /// must take a while; empty when the file system has no room or cannot.
    QString makeAllocatedFile(const QString& relative, qint64 size);

    static QByteArray readFile(const QString& path);
    /// The item's allocated bytes (st_blocks * 512), 0 when it cannot be read.
    static double allocatedSize(const QString& path);
    /// `size` bytes a compressing file system cannot shrink below their length.
    static QByteArray incompressible(int size);
    static bool exists(const QString& path); ///< lstat semantics: a dangling link exists
    /// For names that are not UTF-8, which a QString path cannot name.
    static bool writeNative(const QByteArray& path, const QByteArray& content);
    static bool existsNative(const QByteArray& path);

private:
    QTemporaryDir m_dir;
};
