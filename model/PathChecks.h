// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

/// The outcome of checking one path the user handed over. Nothing here touches the item.
struct PathCheck
{
    enum class Verdict
    {
        Accepted,
        RestrictedName, ///< the last component is one of arrRestrictedNames()
        NotWritable, ///< the process's user may not write it
        FileSystemRoot, ///< "/"
        TopLevelFolder, ///< a folder directly under "/", such as /usr or /home
        HomeFolder, ///< a person's home folder, or a folder that holds one
        SystemFolder, ///< a system account's home (/usr/sbin, /var/lib/postgresql) or holds one
        VirtualFileSystem, ///< on proc, sysfs, devtmpfs and the like
        Missing, ///< nothing at the path, or not a local path
        NameNotExact, ///< chosen by a name that may stand for another file (checkChosenUrl())
    };

    Verdict verdict = Verdict::Accepted;
    /// For Missing: why the item could not be looked at (ENOENT, EACCES, ELOOP...), 0 when the
    /// path was empty or not a local one.
    int error = 0;

    bool accepted() const { return verdict == Verdict::Accepted; }
    /// A short English text for logs and debugging; the user only ever sees one cannot-add alert.
    QString reason() const;
};

/// The last path components that are never added, wherever they lie: eleven fixed folder names
/// and the current user's login name (read once, on first use). Always 12 entries; compared
/// exactly, case included.
const QStringList& arrRestrictedNames();

/// Checks one path as it arrived (not normalised). In this order: a restricted last component;
/// the file-system root, a folder directly under it, or a home folder (and its ancestors): the
/// process's own, every existing one in the password database (read once per process), and
/// that of the user who ran sudo ($SUDO_USER) or pkexec ($PKEXEC_UID); a system account's
/// (a user id below UID_MIN of login.defs) counts as a system folder;
/// a missing item; an item on a virtual file system; an item the process's user may not write
/// (for a symbolic link: its folder, since only the link itself is ever removed).
///
/// Because the list is built from the lexically normalised path while the kernel resolves ".."
/// and a trailing slash through symbolic links, the location checks look at both forms and
/// refuse when either matches. A symbolic link without a trailing slash is judged as the link:
/// "dir/link" to "/" is accepted (removing it removes the link), "dir/link/" is refused as "/".
PathCheck checkPath(const QString& path);
/// checkPath() on a path's own bytes, which need not be valid in any encoding.
PathCheck checkNativePath(const QByteArray& nativePath);
/// Folders checkPath() treats as some person's home, and as some system account's home, from
/// now on, in addition to the real ones; empty lists remove them. For tests, which cannot add
/// users to the password database.
void setExtraProtectedFoldersForTesting(
    const QStringList& folders, const QStringList& systemFolders = {});

/// checkPath() on a file URL's local path, every byte kept; any other URL is Missing.
PathCheck checkUrl(const QUrl& url);
/// checkUrl() for a URL that came through text that could not hold every byte (Qt's file
/// dialog decodes names, so "\xff" comes back as U+FFFD, the name of another file or of none).
/// NameNotExact when a component holds U+FFFD and its folder lists a name that is not UTF-8
/// which decodes to the same text.
PathCheck checkChosenUrl(const QUrl& url);

/// The type ("ext4", "proc", ...) of the file system holding the item at `path` itself (a final
/// symbolic link is not followed), from /proc/self/mountinfo; empty when unknown.
QString fileSystemTypeOf(const QString& path);
