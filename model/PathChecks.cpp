// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathChecks.h"

#include "PathText.h"
#include "ProtectedHomes.h"

#include <QByteArray>
#include <QDir>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QString loginName()
{
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        return PathText::fromNative(entry->pw_name);
    // No passwd entry (a bare container uid); the environment is the best remaining guess.
    return qEnvironmentVariable("USER");
}

QByteArray encoded(const QString& path)
{
    return PathText::toNative(path);
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

// Whether `folder` lists a name other than `name`, not valid UTF-8, that reads as `name` once
// decoded the usual way.
bool lossyTwinExists(const QByteArray& folder, const QByteArray& name)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    const QString text = QString::fromUtf8(name);
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray other(entry->d_name);
        if (other != name && PathText::holdsRawBytes(PathText::fromNative(other))
            && QString::fromUtf8(other) == text) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
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
    case Verdict::SystemFolder:
        return QStringLiteral("it is a system folder: a system account's home, or holds one");
    case Verdict::VirtualFileSystem:
        return QStringLiteral("it is on a virtual file system");
    case Verdict::Missing:
        return QStringLiteral("it does not exist");
    case Verdict::NameNotExact:
        return QStringLiteral("its name is not valid text and could not be taken exactly");
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

void setExtraProtectedFoldersForTesting(
    const QStringList& folders, const QStringList& systemFolders)
{
    ProtectedHomes::setExtraForTesting(folders, systemFolders);
}

PathCheck checkUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return verdict(PathCheck::Verdict::Missing);
    return checkNativePath(PathText::nativeOfUrl(url));
}

PathCheck checkChosenUrl(const QUrl& url)
{
    static const QByteArray replacement = QStringLiteral(u"\uFFFD").toUtf8();
    const QByteArray native = PathText::nativeOfUrl(url);
    if (native.contains(replacement)) {
        const QList<QByteArray> parts = native.split('/');
        QByteArray folder = native.startsWith('/') ? QByteArray("/") : QByteArray(".");
        for (const QByteArray& part : parts) {
            if (part.contains(replacement) && lossyTwinExists(folder, part))
                return verdict(PathCheck::Verdict::NameNotExact);
            if (!part.isEmpty())
                folder = PathText::join(folder, part);
        }
    }
    return checkUrl(url);
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
    const QByteArray absoluteNative
        = native.startsWith('/') ? native : PathText::join(PathText::currentFolder(), native);
    const QByteArray literalNative = PathText::withoutTrailingSlashes(absoluteNative);
    const QString absolute = PathText::fromNative(absoluteNative);
    const QString literal = PathText::fromNative(literalNative);
    const QString lexical = QDir::cleanPath(absolute);

    if (isRestrictedName(PathText::lastComponent(literal))
        || isRestrictedName(PathText::lastComponent(lexical)))
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
        resolved = PathText::fromNative(PathText::realPath(absoluteNative));
    } else if (const QString parent = PathText::fromNative(PathText::realPath(parentNative));
               !parent.isEmpty()) {
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
    const ProtectedHomes homes = ProtectedHomes::current();
    for (const QString& form : forms) {
        if (ProtectedHomes::isHomeOrAncestor(form, homes.personal))
            return verdict(Verdict::HomeFolder);
    }
    for (const QString& form : forms) {
        if (ProtectedHomes::isHomeOrAncestor(form, homes.system))
            return verdict(Verdict::SystemFolder);
    }

    struct stat st;
    if (::lstat(absoluteNative.constData(), &st) != 0)
        return PathCheck {Verdict::Missing, errno};

    if (isVirtualFileSystemType(fileSystemTypeOfDevice(st.st_dev)))
        return verdict(Verdict::VirtualFileSystem);

    // access() follows links; a link is only ever removed as a link, which needs its folder.
    const bool writable = S_ISLNK(st.st_mode) ? ::access(parentNative.constData(), W_OK | X_OK) == 0
                                              : ::access(absoluteNative.constData(), W_OK) == 0;
    if (!writable)
        return verdict(Verdict::NotWritable);
    return verdict(Verdict::Accepted);
}
