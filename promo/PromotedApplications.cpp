// SPDX-License-Identifier: GPL-3.0-or-later
#include "PromotedApplications.h"

#include <QFileInfo>

namespace {

PromotedApplication make(int number, const char16_t* title, const char16_t* description,
    const char16_t* apppath, const char16_t* category, const char16_t* desktopId, bool flathub)
{
    PromotedApplication app;
    app.number = number;
    app.title = QString::fromUtf16(title);
    app.description = QString::fromUtf16(description);
    app.iconPath = QStringLiteral(":/pictures/promo/%1.svg").arg(number, 2, 10, QLatin1Char('0'));
    app.apppath = QString::fromUtf16(apppath);
    app.category = QString::fromUtf16(category);
    app.desktopId = QString::fromUtf16(desktopId);
    app.isappStore = flathub;
    return app;
}

QString categoryKey(const QString& category)
{
    static const QStringList categories {QStringLiteral("Utilities"), QStringLiteral("Security"),
        QStringLiteral("Network"), QStringLiteral("Development"), QStringLiteral("System")};
    const qsizetype index = categories.indexOf(category);
    return index < 0 ? QString() : QStringLiteral("IDS_KQ_%1").arg(730 + index);
}

QList<PromotedApplication> buildEntries()
{
    // Free-software tools that sit well next to a file eraser: knowing what fills a disk,
    // keeping what matters backed up and encrypted, and sharing without leaking. Entries 7, 3
    // and 2 are the recommendation candidates, so they are the closest complements.
    return {
        make(1, u"Baobab", u"Shows which folders fill your disks as a ring chart you can open up.",
            u"https://apps.gnome.org/Baobab/", u"Utilities", u"org.gnome.baobab", true),
        make(2, u"Déjà Dup",
            u"Keeps scheduled, encrypted backups of your files and restores them in a few clicks.",
            u"https://apps.gnome.org/DejaDup/", u"Utilities", u"org.gnome.DejaDup", true),
        make(3, u"Cryptomator",
            u"Encrypts the files you keep in cloud folders, one password-protected vault at a "
            u"time.",
            u"https://cryptomator.org/", u"Security", u"org.cryptomator.Cryptomator", true),
        make(4, u"Filelight", u"Draws disk usage as rings of segments so large folders stand out.",
            u"https://apps.kde.org/filelight/", u"Utilities", u"org.kde.filelight", true),
        make(5, u"Metadata Cleaner",
            u"Removes hidden details such as authors and places from documents and pictures before "
            u"you share them.",
            u"https://metadatacleaner.romainvigier.fr/", u"Security",
            u"fr.romainvigier.MetadataCleaner", true),
        make(6, u"Kleopatra",
            u"Manages OpenPGP and S/MIME certificates and encrypts, signs and checks files.",
            u"https://apps.kde.org/kleopatra/", u"Security", u"org.kde.kleopatra", true),
        make(7, u"KeePassXC",
            u"Keeps all your passwords in one strongly encrypted database that never leaves your "
            u"computer.",
            u"https://keepassxc.org/", u"Security", u"org.keepassxc.KeePassXC", true),
        make(8, u"OnionShare", u"Shares files and opens chat rooms privately over the Tor network.",
            u"https://onionshare.org/", u"Network", u"org.onionshare.OnionShare", true),
        make(9, u"Czkawka",
            u"Finds duplicate files, look-alike pictures and empty folders that waste space.",
            u"https://github.com/qarmin/czkawka", u"Utilities", u"com.github.qarmin.czkawka", true),
        make(10, u"FreeFileSync",
            u"Compares and synchronises folders, listing every difference before it copies.",
            u"https://freefilesync.org/", u"Utilities", u"org.freefilesync.FreeFileSync", true),
        make(11, u"Meld", u"Compares files and folders side by side and helps merge the changes.",
            u"https://meld.app/", u"Development", u"org.gnome.Meld", true),
        make(12, u"GNOME Disks",
            u"Inspects, formats and partitions drives and reports on their health.",
            u"https://apps.gnome.org/DiskUtility/", u"System", u"org.gnome.DiskUtility", false),
        make(13, u"GParted", u"Creates, resizes, moves and checks disk partitions.",
            u"https://gparted.org/", u"System", u"gparted", false),
        make(14, u"Timeshift", u"Takes snapshots of the system so a bad change can be rolled back.",
            u"https://github.com/linuxmint/timeshift", u"System", u"timeshift-gtk", false),
        make(15, u"Flatseal",
            u"Reviews and changes what each Flatpak application is allowed to reach.",
            u"https://github.com/tchx84/Flatseal", u"Utilities", u"com.github.tchx84.Flatseal",
            true),
        make(16, u"Pika Backup",
            u"Makes fast, deduplicated backups to a local drive or a remote server.",
            u"https://apps.gnome.org/PikaBackup/", u"Utilities", u"org.gnome.World.PikaBackup",
            true),
        make(17, u"Vorta",
            u"Schedules encrypted, compressed BorgBackup archives from a friendly window.",
            u"https://vorta.borgbase.com/", u"Utilities", u"com.borgbase.Vorta", true),
        make(18, u"Passwords and Keys",
            u"Manages the passwords, SSH keys and PGP keys kept in your keyring.",
            u"https://gitlab.gnome.org/GNOME/seahorse", u"Security",
            u"org.gnome.seahorse.Application", true),
        make(19, u"Secrets", u"A simple password manager that reads and writes KeePass databases.",
            u"https://apps.gnome.org/Secrets/", u"Security", u"org.gnome.World.Secrets", true),
        make(20, u"GtkHash",
            u"Computes checksums such as SHA-256 to confirm a file arrived unchanged.",
            u"https://github.com/gtkhash/gtkhash", u"Utilities", u"org.gtkhash.gtkhash", true),
        make(21, u"Authenticator", u"Generates two-factor sign-in codes on your desktop.",
            u"https://apps.gnome.org/Authenticator/", u"Security",
            u"com.belmoussaoui.Authenticator", true),
        make(22, u"Obfuscate", u"Blurs or covers private details in a picture before you post it.",
            u"https://apps.gnome.org/Obfuscate/", u"Utilities", u"com.belmoussaoui.Obfuscate",
            true),
        make(23, u"FSearch", u"Finds files by name across all your drives as you type.",
            u"https://github.com/cboxdoerfer/fsearch", u"Utilities",
            u"io.github.cboxdoerfer.FSearch", true),
    };
}

} // namespace

PromotedApplications::PromotedApplications(QString applicationsDir, QString flatpakDir)
    : m_applicationsDir(std::move(applicationsDir))
    , m_flatpakDir(std::move(flatpakDir))
{ }

PromotedApplications& PromotedApplications::shared()
{
    static PromotedApplications instance(defaultApplicationsDir(), defaultFlatpakApplicationsDir());
    return instance;
}

QString PromotedApplications::defaultApplicationsDir()
{
    return QStringLiteral("/usr/share/applications");
}

QString PromotedApplications::defaultFlatpakApplicationsDir()
{
    return QStringLiteral("/var/lib/flatpak/exports/share/applications");
}

const QList<PromotedApplication>& PromotedApplications::entries()
{
    static const QList<PromotedApplication> list = buildEntries();
    return list;
}

const PromotedApplication* PromotedApplications::entry(int number)
{
    const auto& list = entries();
    if (number < 1 || number > list.size())
        return nullptr;
    return &list[number - 1];
}

void PromotedApplications::checkInstalled()
{
    m_installed.fill(false);
    for (const PromotedApplication& app : entries()) {
        const QString file = u'/' + app.desktopId + u".desktop";
        const bool installed = QFileInfo::exists(m_applicationsDir + file)
            || (!m_flatpakDir.isEmpty() && QFileInfo::exists(m_flatpakDir + file));
        m_installed[static_cast<size_t>(app.number - 1)] = installed;
    }
}

bool PromotedApplications::isInstalled(int number) const
{
    if (number < 1 || number > static_cast<int>(m_installed.size()))
        return false;
    return m_installed[static_cast<size_t>(number - 1)];
}

std::array<bool, 3> PromotedApplications::candidatesInstalled() const
{
    return {isInstalled(candidates[0]), isInstalled(candidates[1]), isInstalled(candidates[2])};
}

QVariantMap PromotedApplications::card(int number)
{
    const PromotedApplication* app = entry(number);
    if (!app)
        return {};
    return {
        {QStringLiteral("Title"), app->title},
        {QStringLiteral("description"), app->description},
        {QStringLiteral("icon"), app->iconPath},
        {QStringLiteral("apppath"), app->apppath},
        {QStringLiteral("category"), app->category},
        {QStringLiteral("isappStore"), app->isappStore},
        // The language table's words for them; the English above stands in without a table.
        {QStringLiteral("descriptionKey"), QStringLiteral("IDS_KQ_%1").arg(700 + number)},
        {QStringLiteral("categoryKey"), categoryKey(app->category)},
    };
}

QString PromotedApplications::topRatedKey(int candidateIndex)
{
    if (candidateIndex < 0 || candidateIndex >= static_cast<int>(candidates.size()))
        return {};
    return QStringLiteral("IDS_KQ_%1").arg(43 + candidateIndex);
}
