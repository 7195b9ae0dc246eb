// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <optional>

/// One desktop entry in the user's autostart folder.
struct LoginItem
{
    QString path; ///< the .desktop file
    QString exec; ///< its Exec= value, as written
};

/// The user's login items as XDG autostart desktop entries in one folder, listed in file-name
/// order. An entry points at the application when the program its Exec line starts is the
/// application's executable (compared after following symbolic links). GUI thread only.
class LoginItems
{
public:
    /// Entries in `directory` compared against `applicationPath`; empty arguments take the
    /// defaults below.
    explicit LoginItems(QString directory = QString(), QString applicationPath = QString());

    /// $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset).
    static QString defaultDirectory();
    /// $APPIMAGE when running from an AppImage (the executable inside is gone after the run),
    /// else the running executable.
    static QString defaultApplicationPath();

    QString directory() const { return m_directory; }
    QString applicationPath() const { return m_applicationPath; }

    /// The entries now in the folder, in file-name order; a missing folder is an empty list.
    /// Nothing when the folder exists but cannot be listed.
    std::optional<QList<LoginItem>> snapshot() const;

    /// The absolute, link-free path of the program `item` starts; empty when the entry has no
    /// Exec line or its program does not exist (the entry does not resolve).
    static QString resolvedProgram(const LoginItem& item);
    bool pointsAtApplication(const LoginItem& item) const;

    /// Writes a new entry that starts the application, atomically, under a file name no other
    /// entry uses. The new entry, or nothing when the folder cannot be made or written.
    std::optional<LoginItem> insertApplicationItem() const;
    /// Removes the entry file; false when it could not be removed.
    static bool remove(const LoginItem& item);

    /// The first word of a desktop entry's Exec value, unquoted.
    static QString execProgram(const QString& exec);

private:
    QString m_directory;
    QString m_applicationPath;
};
