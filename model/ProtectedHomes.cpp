// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProtectedHomes.h"

#include "PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <vector>

namespace {

// `folder` as written and with links resolved, so that either spelling of a path matches.
void appendBothForms(QStringList& list, const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QString clean = QDir::cleanPath(folder);
    if (!list.contains(clean))
        list.append(clean);
    const QString real = PathText::fromNative(PathText::realPath(PathText::toNative(folder)));
    if (!real.isEmpty() && !list.contains(real))
        list.append(real);
}

// A home folder from the password database worth protecting: "/" (service accounts) is
// handled as the root already and a missing one has nothing to lose.
void appendHome(QStringList& list, const char* dir)
{
    if (!dir)
        return;
    const QString home = PathText::fromNative(dir);
    if (!QDir::isAbsolutePath(home) || QDir::cleanPath(home) == u"/" || !QFileInfo::exists(home))
        return;
    appendBothForms(list, home);
}

// Runs a getpw*_r call with a buffer that grows until the entry fits.
template<typename Call>
const passwd* lookUp(Call call, passwd& entry, std::vector<char>& buffer)
{
    for (;;) {
        passwd* found = nullptr;
        const int error = call(&entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (size_t(1) << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 ? found : nullptr;
    }
}

// The lowest and highest user ids of people, from login.defs; Debian's defaults otherwise.
std::pair<uid_t, uid_t> personalUidRange()
{
    uid_t low = 1000;
    uid_t high = 60000;
    QFile defs(QStringLiteral("/etc/login.defs"));
    if (defs.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : defs.read(1 << 20).split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            bool ok = false;
            const uint value = fields.value(1).toUInt(&ok);
            if (ok && fields.first() == "UID_MIN")
                low = uid_t(value);
            else if (ok && fields.first() == "UID_MAX")
                high = uid_t(value);
        }
    }
    return {low, high};
}

// Every user's home: running as root (sudo), other people's folders are as precious as ours.
// A system account's home is protected as well, but named for what it is: /usr/sbin is no
// one's home folder. Read once: the database rarely changes while the application runs, and
// it may be large.
const ProtectedHomes& databaseHomes()
{
    static const ProtectedHomes homes = [] {
        ProtectedHomes result;
        const auto [low, high] = personalUidRange();
        passwd entry;
        std::vector<char> buffer(16384);
        ::setpwent();
        while (const passwd* found = lookUp(::getpwent_r, entry, buffer)) {
            const bool person
                = found->pw_uid == 0 || (found->pw_uid >= low && found->pw_uid <= high);
            appendHome(person ? result.personal : result.system, found->pw_dir);
        }
        ::endpwent();
        // The invoking user may come from a directory service that does not enumerate.
        if (const QByteArray sudoUser = qgetenv("SUDO_USER"); !sudoUser.isEmpty()) {
            const auto byName = [&sudoUser](passwd* e, char* b, size_t n, passwd** r) {
                return ::getpwnam_r(sudoUser.constData(), e, b, n, r);
            };
            if (const passwd* found = lookUp(byName, entry, buffer))
                appendHome(result.personal, found->pw_dir);
        }
        bool isNumber = false;
        const uint pkexecUid = qEnvironmentVariable("PKEXEC_UID").toUInt(&isNumber);
        if (isNumber) {
            const auto byUid = [pkexecUid](passwd* e, char* b, size_t n, passwd** r) {
                return ::getpwuid_r(uid_t(pkexecUid), e, b, n, r);
            };
            if (const passwd* found = lookUp(byUid, entry, buffer))
                appendHome(result.personal, found->pw_dir);
        }
        return result;
    }();
    return homes;
}

std::mutex& extraFoldersMutex()
{
    static std::mutex mutex;
    return mutex;
}

ProtectedHomes& extraFolders()
{
    static ProtectedHomes folders;
    return folders;
}

} // namespace

// The process's own home is looked up each time: HOME may change, and it need not be listed
// in the database.
ProtectedHomes ProtectedHomes::current()
{
    ProtectedHomes homes = databaseHomes();
    appendBothForms(homes.personal, QDir::homePath());
    std::lock_guard lock(extraFoldersMutex());
    for (const QString& folder : std::as_const(extraFolders().personal))
        appendBothForms(homes.personal, folder);
    for (const QString& folder : std::as_const(extraFolders().system))
        appendBothForms(homes.system, folder);
    return homes;
}

bool ProtectedHomes::isHomeOrAncestor(const QString& path, const QStringList& homes)
{
    for (const QString& home : homes) {
        if (home.isEmpty())
            continue;
        if (path == home || home.startsWith(path + u'/'))
            return true;
    }
    return false;
}

void ProtectedHomes::setExtraForTesting(
    const QStringList& folders, const QStringList& systemFolders)
{
    std::lock_guard lock(extraFoldersMutex());
    extraFolders() = {folders, systemFolders};
}
