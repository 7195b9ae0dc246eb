// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedSettings.h"

#include "TempTree.h"

#include <QCryptographicHash>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace DamagedSettings {

QByteArray nestedArrays(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
        + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth)
        + "</plist>\n";
}

QString make(TempTree& tree, const QString& relative, const QString& kind)
{
    if (kind == u"not a property list")
        return tree.writeFile(relative, "<?xml version=\"1.0\"?><plist><dict><key>Algo");
    if (kind == u"nested 50,000 deep")
        return tree.writeFile(relative, nestedArrays(50000));
    if (kind == u"larger than 1 MiB") {
        // Well formed: only its size is wrong.
        return tree.writeFile(relative,
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>firstrun</key><integer>1"
            "</integer><key>padding</key><string>"
                + QByteArray(1 << 20, 'x') + "</string></dict></plist>\n");
    }
    if (kind == u"FIFO")
        return tree.makeFifo(relative);
    if (kind == u"folder")
        return tree.makeDir(relative);
    if (kind == u"link to /dev/zero")
        return tree.makeSymlink(relative, QStringLiteral("/dev/zero"));
    if (kind == u"link to a damaged file") {
        const QString target = QStringLiteral("dotfiles/defaults.plist");
        make(tree, target, QStringLiteral("not a property list"));
        return tree.makeSymlink(relative, tree.path(target));
    }
    return {};
}

QString describe(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::lstat(native.constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t length = ::readlink(native.constData(), target, sizeof target);
        return u"link -> " + QFile::decodeName(QByteArray(target, qMax<ssize_t>(0, length)));
    }
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("fifo");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("device");
    return u"file "
        + QString::fromLatin1(
            QCryptographicHash::hash(TempTree::readFile(path), QCryptographicHash::Sha1).toHex());
}

} // namespace DamagedSettings
