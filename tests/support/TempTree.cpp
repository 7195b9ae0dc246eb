// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempTree.h"
#include <fcntl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

TempTree::TempTree(const QString& parent)
    : m_dir(parent.isEmpty() ? QDir::tempPath() + QStringLiteral("/corvane-test-XXXXXX")
                             : parent + QStringLiteral("/corvane-test-XXXXXX"))
{ }

QString TempTree::path(const QString& relative) const
{
    return m_dir.path() + u'/' + relative;
}

QString TempTree::writeFile(const QString& relative, const QByteArray& content)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(content);
    return full;
}

QString TempTree::makeDir(const QString& relative)
{
    const QString full = path(relative);
    QDir().mkpath(full);
    return full;
}

QString TempTree::makeSymlink(const QString& relative, const QString& target)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()) != 0)
        return {};
    return full;
}

QString TempTree::makeFifo(const QString& relative)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    if (::mkfifo(QFile::encodeName(full).constData(), 0600) != 0)
        return {};
    return full;
}

QString TempTree::makeHardLink(const QString& relative, const QString& existing)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(full).constData()) != 0)
        return {};
    return full;
}

QByteArray TempTree::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TempTree::exists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool TempTree::writeNative(const QByteArray& path, const QByteArray& content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && written;
}

bool TempTree::existsNative(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray TempTree::incompressible(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

QString TempTree::makeAllocatedFile(const QString& relative, qint64 size)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    const int fd = ::open(QFile::encodeName(full).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return {};
    const bool allocated = ::posix_fallocate(fd, 0, size) == 0;
    ::close(fd);
    if (!allocated) {
        QFile::remove(full);
        return {};
    }
    return full;
}

double TempTree::allocatedSize(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? double(st.st_blocks) * 512.0
                                                                  : 0;
}
