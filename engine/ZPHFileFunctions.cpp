#include "ZPHFileFunctions.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string joinPath(const std::string& folder, const char* name)
{
    std::string joined = folder;
    if (joined.empty() || joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

// The names in a folder, read in one go so the folder is closed before descending: a deep
// tree must not hold one descriptor per level.
bool readNames(const std::string& folder, std::vector<std::string>& names, int* err)
{
    DirPtr dir(::opendir(folder.c_str()));
    if (!dir) {
        *err = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isDotOrDotDot(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    return true;
}

qint64 folderWalk(const std::string& folder)
{
    std::vector<std::string> names;
    int err = 0;
    if (!readNames(folder, names, &err)) {
        std::fprintf(stderr, "could not open directory '%s'\n", folder.c_str());
        std::fprintf(stderr, "error is %d/%s\n", err, std::strerror(err));
        return 0;
    }
    qint64 total = 0;
    for (const std::string& name : names) {
        const std::string path = joinPath(folder, name.c_str());
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) {
            const int statErr = errno;
            std::fprintf(stderr, "could not stat '%s': %d/%s\n", name.c_str(), statErr,
                         std::strerror(statErr));
            continue;
        }
        if (S_ISDIR(st.st_mode))
            total += folderWalk(path);
        else
            total += st.st_size;
    }
    return total;
}

void listRegularFiles(const std::string& folder, dev_t device, QStringList& out)
{
    std::vector<std::string> names;
    int err = 0;
    if (!readNames(folder, names, &err))
        return;
    for (const std::string& name : names) {
        const std::string path = joinPath(folder, name.c_str());
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode)) {
            out.append(QFile::decodeName(QByteArray::fromStdString(path)));
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
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("0");
    return QString::number(quint64(st.st_size));
}

QString ZPHFileFunctions::getFolderSize(const QString& path)
{
    const qint64 total = folderWalk(QFile::encodeName(path).toStdString());
    return QString::number(quint64(total));
}

QStringList ZPHFileFunctions::getFilesListFromDirectoryPath(const QString& path)
{
    QStringList files;
    const std::string root = QFile::encodeName(path).toStdString();
    struct stat st;
    if (root.empty() || ::lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
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
    const std::string procPath = QFile::encodeName(root).toStdString();
    DirPtr dir(::opendir(procPath.c_str()));
    if (!dir)
        return false;
    const QString wanted = name.toCaseFolded();
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        const std::string pidFolder = joinPath(procPath, entry->d_name);
        // The executable's file name; "comm" (cut to 15 bytes) when the link is not readable.
        QString executable;
        char target[4096];
        const ssize_t n = ::readlink((pidFolder + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            const char* base = std::strrchr(target, '/');
            executable = QFile::decodeName(base ? base + 1 : target);
            executable.remove(QStringLiteral(" (deleted)"));
        } else {
            QFile comm(QFile::decodeName(QByteArray::fromStdString(pidFolder + "/comm")));
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
