// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZPHFileFunctions.h"

#include "DirectoryHandle.h"
#include "PathText.h"
#include "TreeWalk.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The names in a folder.
bool readNames(const QByteArray& folder, std::vector<QByteArray>& names, int* err)
{
    const DirectoryHandle dir = DirectoryHandle::open(folder, err);
    if (!dir.isValid())
        return false;
    std::optional<std::vector<QByteArray>> read = dir.names(err);
    if (!read)
        return false;
    names = std::move(*read);
    return true;
}

// Walks the folder at `path` (a folder, not a link to one) and everything below it on its mount.
bool walkFolderAt(const QByteArray& path, TreeWalk& walk)
{
    QByteArray name;
    int err = 0;
    DirectoryHandle parent = TreeWalk::openParentOf(path, &name, &err);
    const std::optional<EntryStat> st = parent.isValid() ? parent.stat(name, &err) : std::nullopt;
    if (!st || !S_ISDIR(st->mode)) {
        if (walk.onUnreadable)
            walk.onUnreadable(path, st ? ENOTDIR : err);
        return false;
    }
    return walk.walk(parent, name, PathText::withoutTrailingSlashes(path));
}

std::mutex& procRootMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString& procRoot()
{
    static QString root = QStringLiteral("/proc");
    return root;
}

} // namespace

QString ZPHFileFunctions::getFileSize(const QString& path)
{
    struct stat st;
    if (::lstat(PathText::toNative(path).constData(), &st) != 0)
        return QStringLiteral("0");
    return QString::number(quint64(st.st_size));
}

QString ZPHFileFunctions::getFolderSize(const QString& path)
{
    quint64 total = 0;
    TreeWalk walk;
    walk.onEntry = [&total](const TreeWalk::Entry& entry) {
        total += entry.stat.size;
        return TreeWalk::Step::Continue;
    };
    // Standard error of a desktop application ends up in the journal: no names in it.
    walk.onUnreadable = [](const QByteArray&, int err) {
        std::fprintf(stderr, "could not open directory\n");
        std::fprintf(stderr, "error is %d/%s\n", err, std::strerror(err));
        return TreeWalk::Step::Continue;
    };
    walk.onUnexamined = [](const QByteArray&, int err) {
        std::fprintf(stderr, "could not stat an entry: %d/%s\n", err, std::strerror(err));
        return TreeWalk::Step::Continue;
    };
    walkFolderAt(PathText::toNative(path), walk);
    return QString::number(total);
}

QStringList ZPHFileFunctions::getFilesListFromDirectoryPath(const QString& path)
{
    QStringList files;
    const QByteArray root = PathText::toNative(path);
    if (root.isEmpty())
        return files;
    TreeWalk walk;
    walk.onEntry = [&files](const TreeWalk::Entry& entry) {
        if (S_ISREG(entry.stat.mode))
            files.append(PathText::fromNative(entry.path));
        return TreeWalk::Step::Continue;
    };
    walkFolderAt(root, walk);
    return files;
}

bool ZPHFileFunctions::isApplicationRunning(const QString& name)
{
    QString root;
    {
        std::lock_guard lock(procRootMutex());
        root = procRoot();
    }
    std::vector<QByteArray> pids;
    int err = 0;
    if (!readNames(PathText::toNative(root), pids, &err))
        return false;
    const QString wanted = name.toCaseFolded();
    for (const QByteArray& pid : pids) {
        if (pid.at(0) < '0' || pid.at(0) > '9')
            continue;
        const std::string pidFolder = PathText::join(PathText::toNative(root), pid).toStdString();
        // The executable's file name; "comm" (cut to 15 bytes) when the link is not readable.
        QString executable;
        char target[4096];
        const ssize_t n = ::readlink((pidFolder + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            const char* base = std::strrchr(target, '/');
            executable = PathText::fromNative(base ? base + 1 : target);
            executable.remove(QStringLiteral(" (deleted)"));
        } else {
            QFile comm(PathText::fromNative(QByteArray::fromStdString(pidFolder + "/comm")));
            if (comm.open(QIODevice::ReadOnly))
                executable = QString::fromUtf8(comm.readAll()).trimmed();
        }
        if (!executable.isEmpty() && executable.toCaseFolded() == wanted)
            return true;
    }
    return false;
}

void ZPHFileFunctions::setProcRoot(const QString& root)
{
    std::lock_guard lock(procRootMutex());
    procRoot() = root;
}
