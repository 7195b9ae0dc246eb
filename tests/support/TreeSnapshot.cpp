// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeSnapshot.h"

#include "TempTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

QString linkText(const QString& path)
{
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(buffer, length));
}

QStringList treeSnapshot(const QString& root)
{
    QStringList lines;
    QDirIterator walk(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        struct stat st
        {
        };
        ::lstat(QFile::encodeName(path).constData(), &st);
        QString line = QString::number(st.st_mode, 8) + u' ' + QDir(root).relativeFilePath(path);
        if (S_ISLNK(st.st_mode))
            line += u" -> " + linkText(path);
        else if (S_ISREG(st.st_mode))
            line += u": " + QString::fromUtf8(TempTree::readFile(path));
        lines << line;
    }
    lines.sort();
    return lines;
}
