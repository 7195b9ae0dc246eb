// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>
#include <array>

/// One advertised application. `iconPath` names one of our own SVG resources (linked from
/// corvane_pictures), never the application's artwork.
struct PromotedApplication
{
    int number = 0; ///< 1 to 23
    QString title;
    QString description;
    QString iconPath;
    QString apppath; ///< the project's home page
    QString category;
    QString desktopId; ///< installed means desktopId.desktop exists in an applications folder
    bool isappStore = false; ///< offered on Flathub; selects the card's button picture
};

/// The fixed list of promoted applications and their installed flags, shared by the result
/// screen, the welcome window and the other-apps panel. GUI thread only.
class PromotedApplications
{
public:
    /// Entries 7, 3 and 2: the recommendation candidates A, B and C, in priority order.
    static constexpr std::array<int, 3> candidates {7, 3, 2};

    /// Only desktop files directly in `applicationsDir` or in the system-wide Flatpak exports
    /// `flatpakDir` (none when empty) count; a per-user copy elsewhere does not, so the check
    /// matches what every user of the machine has.
    explicit PromotedApplications(
        QString applicationsDir = defaultApplicationsDir(), QString flatpakDir = QString());

    /// The process-wide instance, looking at the system's applications folder and the
    /// system-wide Flatpak exports.
    static PromotedApplications& shared();

    static QString defaultApplicationsDir();
    static QString defaultFlatpakApplicationsDir();

    /// All 23 entries, in number order.
    static const QList<PromotedApplication>& entries();
    /// The entry numbered `number`, or nullptr outside 1..23.
    static const PromotedApplication* entry(int number);

    /// Recomputes every installed flag from the files present now.
    void checkInstalled();
    /// The flag as of the last check; false before the first check and outside 1..23.
    bool isInstalled(int number) const;
    /// The flags of candidates A, B and C as of the last check.
    std::array<bool, 3> candidatesInstalled() const;

    /// The card of entry `number` with the keys "Title", "description", "icon" (resource
    /// path), "apppath", "category" and "isappStore", and the language-table keys of the
    /// description and category ("descriptionKey", "categoryKey"); empty outside 1..23.
    static QVariantMap card(int number);
    /// The text key shown above candidate `candidateIndex` (0 A, 1 B, 2 C); empty otherwise.
    static QString topRatedKey(int candidateIndex);

    QString applicationsDir() const { return m_applicationsDir; }
    QString flatpakDir() const { return m_flatpakDir; }

private:
    QString m_applicationsDir;
    QString m_flatpakDir;
    std::array<bool, 23> m_installed {};
};
