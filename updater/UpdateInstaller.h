// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdateError.h"

#include <QString>
#include <QStringList>

/// Puts an unpacked update in place of the running installation, PREFIX of PREFIX/bin/corvane.
///
/// Stage, then swap: every new file is first written and synced beside the one it replaces
/// (".corvane-new.NAME"), a journal listing them is written, and only then is each renamed over
/// its old file. Power failing before the journal leaves the old installation; failing after it
/// leaves every file whole, old or new, and finishInterruptedInstall() completes the swap.
class UpdateInstaller
{
public:
    enum class Kind
    {
        UserPrefix, ///< the user can write PREFIX: updates are installed here
        Managed, ///< a package manager's prefix, a folder the user cannot write, or a build tree
    };

    static constexpr QStringView journalName = u".corvane-update-journal";
    static constexpr QStringView stagedPrefix = u".corvane-new.";
    /// In an installation, the version it is (its CFBundleVersion) on one line; written by
    /// `cmake --install`, so every release archive carries it inside what is signed.
    static constexpr QStringView versionFile = u"share/corvane/version";

    /// For the program at `executablePath`.
    explicit UpdateInstaller(const QString& executablePath);

    /// Empty when the program is not PREFIX/bin/corvane.
    const QString& prefix() const { return m_prefix; }
    Kind kind() const;

    /// Whether `tree` holds an installation of Corvane (bin/corvane, a regular file).
    static UpdateError checkTree(const QString& tree);
    /// The version `tree` says it is (versionFile, a regular file of one short line), or empty.
    static QString treeVersion(const QString& tree);
    /// Whether `tree` is the version the feed announced and newer than the one running. The
    /// signature covers the archive, not the feed's words about it: without this, a signed old
    /// release announced under a higher number would be installed.
    static UpdateError checkVersion(
        const QString& tree, const QString& announced, const QString& running);
    /// Installs the unpacked `tree` into the prefix. On an error before the swap the installed
    /// files are as they were.
    UpdateError install(const QString& tree) const;
    /// Completes a swap that a crash or power failure cut short; nothing when there is none.
    UpdateError finishInterruptedInstall() const;

private:
    QString m_prefix;
};
