// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiskProbe.h"

#include "LoopImage.h"
#include "TempTree.h"

#include <QCryptographicHash>
#include <QFile>
#include <sys/statvfs.h>

quint64 freeBytes(const QString& path)
{
    struct statvfs vfs;
    return ::statvfs(QFile::encodeName(path).constData(), &vfs) == 0
        ? quint64(vfs.f_bfree) * vfs.f_frsize
        : 0;
}

QByteArray checksum(const QString& path)
{
    return QCryptographicHash::hash(TempTree::readFile(path), QCryptographicHash::Sha256);
}

bool shellIn(const QString& folder, const QString& command, QString* error)
{
    return command.isEmpty()
        || LoopImage::run(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("cd \"$0\" && ") + command, folder}, error);
}
