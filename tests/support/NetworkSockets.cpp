// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetworkSockets.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

QSet<QByteArray> networkSockets()
{
    QSet<QByteArray> inet;
    for (const char* table : {"tcp", "tcp6", "udp", "udp6"}) {
        QFile file(QStringLiteral("/proc/self/net/") + QLatin1StringView(table));
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n').mid(1))
                inet.insert(line.simplified().split(' ').value(9));
        }
    }
    QSet<QByteArray> mine;
    const QString fds = QStringLiteral("/proc/self/fd");
    for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        // readlink itself: Qt would resolve "socket:[N]" as if it were a path.
        char link[64] = {};
        if (::readlink(QFile::encodeName(fds + u'/' + fd).constData(), link, sizeof link - 1) < 0)
            continue;
        const QByteArray target(link);
        if (target.startsWith("socket:[") && inet.contains(target.mid(8).chopped(1)))
            mine.insert(target);
    }
    return mine;
}
