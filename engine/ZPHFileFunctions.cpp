// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZPHFileFunctions.h"

#include "DirectoryHandle.h"
#include "PathText.h"

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

// The names in a folder, read in one go so the folder is closed before descending: a deep
// tree must not hold one descriptor per level.
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

qint64 folderWalk(const QByteArray& folder)
{
    std::vector<QByteArray> names;
    int err = 0;
    if (!readNames(folder, names, &err)) {
        // Standard error of a desktop application ends up in the journal: no names in it.
        std::fprintf(stderr, "could not open directory\n");
        std::fprintf(stderr, "error is %d/%s\n", err, std::strerror(err));
        return 0;
    }
    qint64 total = 0;
    for (const QByteArray& name : names) {
        const QByteArray path = PathText::join(folder, name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) {
            const int statErr = errno;
            std::fprintf(
                stderr, "could not stat an entry: %d/%s\n", statErr, std::strerror(statErr));
            continue;
        }
        if (S_ISDIR(st.st_mode))
            total += folderWalk(path);
        else
            total += st.st_size;
    }
    return total;
}

void listRegularFiles(const QByteArray& folder, dev_t device, QStringList& out)
{
    std::vector<QByteArray> names;
    int err = 0;
    if (!readNames(folder, names, &err))
        return;
    for (const QByteArray& name : names) {
        const QByteArray path = PathText::join(folder, name);
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode)) {
            out.append(PathText::fromNative(path));
        } else if (S_ISDIR(st.st_mode) && st.st_dev == device) {
            // Descend in enumeration order, so a folder's files come right after it.
            listRegularFiles(path, device, out);
        }
    }
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
    const qint64 total = folderWalk(PathText::toNative(path));
    return QString::number(quint64(total));
}

QStringList ZPHFileFunctions::getFilesListFromDirectoryPath(const QString& path)
{
    QStringList files;
    const QByteArray root = PathText::toNative(path);
    struct stat st;
    if (root.isEmpty() || ::lstat(root.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return files;
    listRegularFiles(root, st.st_dev, files);
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
