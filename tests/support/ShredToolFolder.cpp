// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredToolFolder.h"

#include "ShredToolRun.h"
#include "TempTree.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

const QList<std::pair<QString, QByteArray>>& ShredToolFolder::files()
{
    static const QList<std::pair<QString, QByteArray>> files {{u"single.txt"_s, "twelve bytes"},
        {u"top/.hidden"_s, "h"}, {u"top/a.bin"_s, QByteArray(5000, 'a')},
        {u"top/sub/empty-file"_s, {}}, {u"top/sub/new\nline é"_s, QByteArray(300, 'u')},
        {u"dir/a"_s, "data"}, {u"dir/sub/b"_s, "data"}, {u"odd\nname"_s, "data"},
        {u"own"_s, "data"}, {u"sealed/inner"_s, "root's"}, {u"locked"_s, "root's"},
        {u"locked-dir/inner"_s, "root's"}, {u"open/mine"_s, "nobody's"},
        {u"closed/mine"_s, "nobody's"}, {u"Documents/keep.txt"_s, "k"},
        {u"Library/keep.txt"_s, "k"}, {u"Applications/keep.txt"_s, "k"},
        {u"documents/keep.txt"_s, "k"}, {u"Documents.old/keep.txt"_s, "k"},
        {loginName() + u"/keep.txt", "k"}, {u"outside/file.txt"_s, "outside data"},
        {u"outside/folder/inner.txt"_s, "inner data"}, {u"sel/own.txt"_s, "mine"},
        {u"shared/own"_s, "own"}, {u"-platform"_s, "data"}, {u"xcb"_s, "data"},
        {u"-reverse"_s, "data"}, {u"-qmljsdebugger=port:1"_s, "data"}, {u"bad\uFFFD"_s, "data"},
        {u"keep"_s, "data"},
        // Over a batch's largest file, so that it is erased alone.
        {u"twin\uFFFD"_s, QByteArray((1 << 20) + 1, 'x')}};
    return files;
}

const QStringList& ShredToolFolder::others()
{
    static const QStringList others {u"top/sub/empty"_s, u"sel/to-file"_s, u"sel/to-folder"_s,
        u"sel/dangling"_s, u"sel/fifo"_s, u"slash-link"_s, u"fifo"_s, u"shared/hard"_s,
        u"hard-top"_s, u"bad\\377"_s};
    return others;
}

QString ShredToolFolder::loginName()
{
    const passwd* user = ::getpwuid(::geteuid());
    return user ? QFile::decodeName(user->pw_name) : u"Music"_s;
}

bool ShredToolFolder::exists(const TempTree& tree, const QString& name)
{
    return TempTree::existsNative(QFile::encodeName(tree.path(name)).replace("\\377", "\xff"));
}

bool ShredToolFolder::fill(TempTree& tree)
{
    for (const auto& [name, content] : files())
        tree.writeFile(name, content);
    tree.makeDir(u"top/sub/empty"_s);
    tree.makeSymlink(u"sel/to-file"_s, tree.path(u"outside/file.txt"_s));
    tree.makeSymlink(u"sel/to-folder"_s, tree.path(u"outside/folder"_s));
    tree.makeSymlink(u"sel/dangling"_s, tree.path(u"nowhere"_s));
    tree.makeSymlink(u"slash-link"_s, tree.path(u"outside/folder"_s));
    tree.makeFifo(u"sel/fifo"_s);
    tree.makeFifo(u"fifo"_s);
    tree.makeHardLink(u"shared/hard"_s, tree.path(u"outside/file.txt"_s));
    tree.makeHardLink(u"hard-top"_s, tree.path(u"outside/file.txt"_s));
    const auto own = [&](const QString& name, uid_t owner, mode_t mode) {
        return ShredToolRun::setOwnerAndMode(tree.path(name), owner, mode);
    };
    return TempTree::writeNative(QFile::encodeName(tree.path()) + "/bad\xff", "data")
        && ShredToolRun::setOwnerAndMode(tree.path(), 65534, 0755) && own(u"own"_s, 65534, 0400)
        && own(u"sealed"_s, 0, 0700) && own(u"closed"_s, 0, 0755) && own(u"open"_s, 65534, 0755)
        && own(u"open/mine"_s, 65534, 0644) && own(u"closed/mine"_s, 65534, 0644);
}
