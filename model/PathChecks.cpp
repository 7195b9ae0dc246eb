// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathChecks.h"

#include "PathText.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {

QString loginName()
{
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        return QFile::decodeName(entry->pw_name);
    // No passwd entry (a bare container uid); the environment is the best remaining guess.
    return qEnvironmentVariable("USER");
}

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}


QString realPath(const QByteArray& native)
{
    char* resolved = ::realpath(native.constData(), nullptr);
    if (!resolved)
        return {};
    const QString result = QFile::decodeName(resolved);
    std::free(resolved);
    return result;
}

bool isRestrictedName(const QString& name)
{
    // An unknown login name is an empty entry; it must not match the empty name of "/".
    return !name.isEmpty() && arrRestrictedNames().contains(name);
}

bool isTopLevel(const QString& path)
{
    return path.size() > 1 && path.startsWith(u'/') && path.indexOf(u'/', 1) < 0;
}

// `folder` as written and with links resolved, so that either spelling of a path matches.
void appendBothForms(QStringList& list, const QString& folder)
{
    if (folder.isEmpty())
        return;
    const QString clean = QDir::cleanPath(folder);
    if (!list.contains(clean))
        list.append(clean);
    const QString real = realPath(encoded(folder));
    if (!real.isEmpty() && !list.contains(real))
        list.append(real);
}

// A home folder from the password database worth protecting: "/" (service accounts) is
// handled as the root already and a missing one has nothing to lose.
void appendHome(QStringList& list, const char* dir)
{
    if (!dir)
        return;
    const QString home = QFile::decodeName(dir);
    if (!QDir::isAbsolutePath(home) || QDir::cleanPath(home) == u"/" || !QFileInfo::exists(home))
        return;
    appendBothForms(list, home);
}

// Runs a getpw*_r call with a buffer that grows until the entry fits.
template <typename Call> const passwd* lookUp(Call call, passwd& entry, std::vector<char>& buffer)
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

// Every user's home: running as root (sudo), other people's folders are as precious as ours.
// Read once: the database rarely changes while the application runs, and it may be large.
const QStringList& databaseHomes()
{
    static const QStringList homes = [] {
        QStringList result;
        passwd entry;
        std::vector<char> buffer(16384);
        ::setpwent();
        while (const passwd* found = lookUp(::getpwent_r, entry, buffer))
            appendHome(result, found->pw_dir);
        ::endpwent();
        // The invoking user may come from a directory service that does not enumerate.
        if (const QByteArray sudoUser = qgetenv("SUDO_USER"); !sudoUser.isEmpty()) {
            const auto byName = [&sudoUser](passwd* e, char* b, size_t n, passwd** r) {
                return ::getpwnam_r(sudoUser.constData(), e, b, n, r);
            };
            if (const passwd* found = lookUp(byName, entry, buffer))
                appendHome(result, found->pw_dir);
        }
        bool isNumber = false;
        const uint pkexecUid = qEnvironmentVariable("PKEXEC_UID").toUInt(&isNumber);
        if (isNumber) {
            const auto byUid = [pkexecUid](passwd* e, char* b, size_t n, passwd** r) {
                return ::getpwuid_r(uid_t(pkexecUid), e, b, n, r);
            };
            if (const passwd* found = lookUp(byUid, entry, buffer))
                appendHome(result, found->pw_dir);
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

QStringList& extraFolders()
{
    static QStringList folders;
    return folders;
}

// The process's own home is looked up each time: HOME may change, and it need not be listed
// in the database.
QStringList protectedHomes()
{
    QStringList homes = databaseHomes();
    appendBothForms(homes, QDir::homePath());
    std::lock_guard lock(extraFoldersMutex());
    for (const QString& folder : std::as_const(extraFolders()))
        appendBothForms(homes, folder);
    return homes;
}

bool isHomeOrAncestor(const QString& path, const QStringList& homes)
{
    for (const QString& home : homes) {
        if (home.isEmpty())
            continue;
        if (path == home || home.startsWith(path + u'/'))
            return true;
    }
    return false;
}

bool isVirtualFileSystemType(const QString& type)
{
    static const QStringList virtualTypes = {
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("configfs"),
        QStringLiteral("pstore"),
        QStringLiteral("bpf"),
        QStringLiteral("efivarfs"),
        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("autofs"),
    };
    return virtualTypes.contains(type);
}

// Mounts change while the application runs, so the table is read for every lookup; it is a
// few dozen lines.
QString fileSystemTypeOfDevice(dev_t device)
{
    FILE* mountinfo = std::fopen("/proc/self/mountinfo", "re");
    if (!mountinfo)
        return {};
    const QByteArray wanted
        = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    QString type;
    char* line = nullptr;
    size_t capacity = 0;
    while (type.isEmpty() && ::getline(&line, &capacity, mountinfo) > 0) {
        // "36 35 98:0 /root /mnt opts [optional fields...] - ext3 /dev/root opts"
        const QList<QByteArray> fields = QByteArray(line).trimmed().split(' ');
        if (fields.size() < 3 || fields.at(2) != wanted)
            continue;
        const qsizetype separator = fields.indexOf(QByteArrayLiteral("-"), 3);
        if (separator >= 0 && separator + 1 < fields.size())
            type = QString::fromUtf8(fields.at(separator + 1));
    }
    std::free(line);
    std::fclose(mountinfo);
    return type;
}

PathCheck verdict(PathCheck::Verdict v)
{
    return PathCheck {v};
}

} // namespace

QString PathCheck::reason() const
{
    switch (verdict) {
    case Verdict::Accepted:
        return QStringLiteral("accepted");
    case Verdict::RestrictedName:
        return QStringLiteral("its name is one that is never added");
    case Verdict::NotWritable:
        return QStringLiteral("it is not writable");
    case Verdict::FileSystemRoot:
        return QStringLiteral("it is the file-system root");
    case Verdict::TopLevelFolder:
        return QStringLiteral("it lies directly under the file-system root");
    case Verdict::HomeFolder:
        return QStringLiteral("it is the home folder or holds it");
    case Verdict::VirtualFileSystem:
        return QStringLiteral("it is on a virtual file system");
    case Verdict::Missing:
        return QStringLiteral("it does not exist");
    }
    return {};
}

const QStringList& arrRestrictedNames()
{
    static const QStringList names = {
        QStringLiteral("Desktop"),
        QStringLiteral("Documents"),
        QStringLiteral("Downloads"),
        QStringLiteral("Movies"),
        QStringLiteral("Music"),
        QStringLiteral("Pictures"),
        QStringLiteral("Public"),
        QStringLiteral("Users"),
        QStringLiteral("System"),
        QStringLiteral("Library"),
        QStringLiteral("Applications"),
        loginName(),
    };
    return names;
}

QString fileSystemTypeOf(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || ::lstat(encoded(path).constData(), &st) != 0)
        return {};
    return fileSystemTypeOfDevice(st.st_dev);
}

void setExtraProtectedFoldersForTesting(const QStringList& folders)
{
    std::lock_guard lock(extraFoldersMutex());
    extraFolders() = folders;
}

PathCheck checkUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return verdict(PathCheck::Verdict::Missing);
    return checkPath(url.toLocalFile());
}

PathCheck checkPath(const QString& path)
{
    return checkNativePath(encoded(path));
}

PathCheck checkNativePath(const QByteArray& native)
{
    using Verdict = PathCheck::Verdict;
    if (native.isEmpty())
        return verdict(Verdict::Missing);

    // Names are compared as text, but everything the kernel is asked about uses the path's own
    // bytes: a name that is not valid UTF-8 must not turn into another file's name.
    const QByteArray absoluteNative = native.startsWith('/') ? native
                                                             : QFile::encodeName(QDir::currentPath()) + '/' + native;
    const QByteArray literalNative = PathText::withoutTrailingSlashes(absoluteNative);
    const QString absolute = QFile::decodeName(absoluteNative);
    const QString literal = QFile::decodeName(literalNative);
    const QString lexical = QDir::cleanPath(absolute);

    if (isRestrictedName(PathText::lastComponent(literal)) || isRestrictedName(PathText::lastComponent(lexical)))
        return verdict(Verdict::RestrictedName);

    // What the kernel will act on: the parent resolved through links, plus the last component,
    // which is itself followed when a trailing slash, "." or ".." asks for it.
    const QString last = PathText::lastComponent(literal);
    const bool followsLast
        = (absolute.endsWith(u'/') && literal != u"/") || last == u"." || last == u"..";
    const QByteArray parentNative = PathText::parentOf(literalNative);
    QString resolved;
    if (literal == u"/") {
        resolved = literal;
    } else if (followsLast) {
        resolved = realPath(absoluteNative);
    } else if (const QString parent = realPath(parentNative); !parent.isEmpty()) {
        resolved = parent == u"/" ? QString(u'/' + last) : QString(parent + u'/' + last);
    }
    if (!resolved.isEmpty() && isRestrictedName(PathText::lastComponent(resolved)))
        return verdict(Verdict::RestrictedName);

    QStringList forms {lexical};
    if (!resolved.isEmpty() && resolved != lexical)
        forms.append(resolved);
    for (const QString& form : forms) {
        if (form == u"/")
            return verdict(Verdict::FileSystemRoot);
    }
    for (const QString& form : forms) {
        if (isTopLevel(form))
            return verdict(Verdict::TopLevelFolder);
    }
    const QStringList homes = protectedHomes();
    for (const QString& form : forms) {
        if (isHomeOrAncestor(form, homes))
            return verdict(Verdict::HomeFolder);
    }

    struct stat st;
    if (::lstat(absoluteNative.constData(), &st) != 0)
        return verdict(Verdict::Missing);

    if (isVirtualFileSystemType(fileSystemTypeOfDevice(st.st_dev)))
        return verdict(Verdict::VirtualFileSystem);

    // access() follows links; a link is only ever removed as a link, which needs its folder.
    const bool writable = S_ISLNK(st.st_mode)
        ? ::access(parentNative.constData(), W_OK | X_OK) == 0
        : ::access(absoluteNative.constData(), W_OK) == 0;
    if (!writable)
        return verdict(Verdict::NotWritable);
    return verdict(Verdict::Accepted);
}
