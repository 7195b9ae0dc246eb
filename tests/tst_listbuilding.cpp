// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderScanner.h"
#include "ListScan.h"
#include "LoopImage.h"
#include "NotificationLog.h"
#include "PathText.h"
#include "UnprivilegedChild.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QScopeGuard>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QUrl fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

// Tags in creation order must read 0, 1, 2, ... in a depth-first walk, parent first.
void collectTags(const ItemRef& item, QList<qint64>* tags, QStringList* paths = nullptr)
{
    tags->append(item->tag);
    if (paths)
        paths->append(item->url1.toLocalFile());
    for (const ItemRef& child : item->arrpath)
        collectTags(child, tags, paths);
}

ItemRef childNamed(const ItemRef& item, const QString& name)
{
    for (const ItemRef& child : item->arrpath) {
        if (child->data.url && child->data.url->fileName() == name)
            return child;
    }
    return {};
}

ItemRef scanOne(const QString& path, ScanRun* run)
{
    SharedState::instance().arrPendingItems = {FileDirectory::fromUrl(fileUrl(path))};
    if (!scanAndWait(0, run) || SharedState::instance().arrFileList.size() != 1)
        return {};
    return SharedState::instance().arrFileList.constFirst();
}

} // namespace

class TestListBuilding : public QObject
{
    Q_OBJECT

private slots:
    void init() { SharedState::instance().resetLists(); }
    void cleanup() { SharedState::instance().resetLists(); }

    void dropWithOneReadOnlyPath();
    void homePanelNormalises();
    void listPanelSkipsWhatIsListed_data();
    void listPanelSkipsWhatIsListed();

    void scanOfNothingStillCompletes();
    void folderTotal();
    void tagsAreDepthFirst();
    void stoppedScanPublishesNothing_data();
    void stoppedScanPublishesNothing();
    void unreadableFolderHasNoChildren();
    void typeByNameAgreesWithTheDatabase_data();
    void typeByNameAgreesWithTheDatabase();
};

void TestListBuilding::dropWithOneReadOnlyPath()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    // Kept as given, not normalised.
    tree.writeFile(QStringLiteral("dir/first.txt"), "1");
    const QString firstAsGiven = tree.path(QStringLiteral("dir/./first.txt"));
    // Which names are refused is tst_pathchecks' business; here, that a drop asks it.
    const QString documents = tree.makeDir(QStringLiteral("x/y/Documents"));
    const QString source = tree.makeDir(QStringLiteral("source"));
    tree.writeFile(QStringLiteral("source/locked.txt"), "2");
    const QString last = tree.makeDir(QStringLiteral("last"));
    const QString view = tree.makeDir(QStringLiteral("view"));

    // Root may write anything writable on disk, so the fault is a read-only mount (EROFS).
    QString mounted;
    const auto unmount = qScopeGuard([&mounted] {
        if (!mounted.isEmpty())
            LoopImage::unmountPath(mounted);
    });
    QString readOnly;
    if (canDropPrivileges()) {
        QString error;
        if (!LoopImage::bindReadOnly(source, view, &error))
            QSKIP(qPrintable(u"no read-only bind mount: " + error));
        mounted = view;
        readOnly = view + QStringLiteral("/locked.txt");
    } else {
        readOnly = source + QStringLiteral("/locked.txt");
        QCOMPARE(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    }
    QVERIFY(::access(QFile::encodeName(readOnly).constData(), W_OK) != 0);

    // Every drop starts afresh: an earlier record goes.
    SharedState::instance().arrPendingItems = {FileDirectory()};
    NotificationLog log({QStringLiteral("showData"), QStringLiteral("cannotadded")});
    QVERIFY(ListBuilder::acceptDroppedPaths({firstAsGiven, documents, readOnly, last}));
    QCOMPARE(log.names(), QStringList {QStringLiteral("cannotadded")});
    const QList<FileDirectory>& pending = SharedState::instance().arrPendingItems;
    QCOMPARE(pending.size(), 2);
    QCOMPARE(pending.at(0).url, std::optional<QUrl>(fileUrl(firstAsGiven)));
    QCOMPARE(pending.at(1).url, std::optional<QUrl>(fileUrl(last)));
}

void TestListBuilding::homePanelNormalises()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString file = tree.writeFile(QStringLiteral("file.txt"), "f");
    tree.makeDir(QStringLiteral("sub"));
    const QString restricted = tree.makeDir(QStringLiteral("Music"));
    const QUrl roundabout = fileUrl(tree.path(QStringLiteral("sub/../file.txt")));
    NotificationLog log({QStringLiteral("showData"), QStringLiteral("cannotadded")});

    QCOMPARE(ListBuilder::acceptHomePanelUrls({roundabout}), false);
    QCOMPARE(SharedState::instance().arrPendingItems.size(), 1);
    QCOMPARE(SharedState::instance().arrPendingItems.constFirst().url,
        std::optional<QUrl>(fileUrl(file)));

    // A refusal is reported, the others are still taken, and the caller does the posting.
    QCOMPARE(ListBuilder::acceptHomePanelUrls({fileUrl(restricted), fileUrl(file)}), true);
    QCOMPARE(SharedState::instance().arrPendingItems.size(), 2);
    QCOMPARE(log.names(), QStringList());

    // The panel decodes "\xff\xfe" as U+FFFD U+FFFD: with or without a file of that name, the
    // choice is refused and says why, never taken as the other file.
    SharedState::instance().arrPendingItems.clear();
    const QByteArray named = PathText::toNative(tree.path()) + "/\xff\xfe";
    QVERIFY(TempTree::writeNative(named, "named"));
    const QUrl asDecoded = QUrl::fromLocalFile(tree.path(u"\uFFFD\uFFFD"_s));
    QVERIFY(!ListBuilder::panelRefusal(asDecoded).isEmpty());
    QCOMPARE(ListBuilder::acceptHomePanelUrls({asDecoded}), true);
    tree.writeFile(u"\uFFFD\uFFFD"_s, "look-alike");
    QCOMPARE(ListBuilder::acceptHomePanelUrls({asDecoded}), true);
    QCOMPARE(ListBuilder::acceptListPanelUrls({asDecoded}), true);
    QVERIFY(SharedState::instance().arrPendingItems.isEmpty());
    // The same name through a URL that holds its bytes is taken exactly.
    QCOMPARE(ListBuilder::acceptHomePanelUrls({PathText::urlFromNative(named)}), false);
    QCOMPARE(
        PathText::nativeOfUrl(*SharedState::instance().arrPendingItems.constFirst().url), named);
    QVERIFY(ListBuilder::panelRefusal(fileUrl(file)).isEmpty());
}

void TestListBuilding::listPanelSkipsWhatIsListed_data()
{
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("added");
    QTest::addColumn<bool>("refused");

    const QString b = QStringLiteral("a/b");
    QTest::newRow("sibling sharing a prefix") << b << QStringLiteral("a/bc/x") << true << false;
    QTest::newRow("inside the listed folder") << b << QStringLiteral("a/b/x") << false << false;
    QTest::newRow("exact duplicate") << b << QStringLiteral("a/b") << false << false;
    QTest::newRow("duplicate, trailing slash") << b << QStringLiteral("a/b/") << false << false;
    QTest::newRow("listed with a trailing slash")
        << QStringLiteral("a/b/") << QStringLiteral("a/b/x") << false << false;
    QTest::newRow("inside only by its text") << b << QStringLiteral("a/b/../bc/x") << true << false;
    QTest::newRow("parent of the listed folder") << b << QStringLiteral("a") << true << false;
    QTest::newRow("restricted inside the listed folder")
        << b << QStringLiteral("a/b/Documents") << false << true;
    QTest::newRow("restricted elsewhere") << b << QStringLiteral("a/bc/Documents") << false << true;
}

void TestListBuilding::listPanelSkipsWhatIsListed()
{
    QFETCH(QString, listed);
    QFETCH(QString, chosen);
    QFETCH(bool, added);
    QFETCH(bool, refused);

    TempTree tree;
    QVERIFY(tree.isValid());
    for (const auto& relative : {u"a/b/x", u"a/b/c/y", u"a/bc/x"})
        QVERIFY(!tree.writeFile(QString::fromUtf16(relative), "x").isEmpty());
    tree.makeDir(QStringLiteral("a/b/Documents"));
    tree.makeDir(QStringLiteral("a/bc/Documents"));

    QList<ItemRef>& list = SharedState::instance().arrFileList;
    // An item without a record URL never counts as listed.
    list.append(makeTopLevelItem(FileDirectory(), 0));
    list.append(makeTopLevelItem(FileDirectory::fromUrl(fileUrl(tree.path(listed))), 1));

    const QUrl url = fileUrl(tree.path(chosen));
    QCOMPARE(ListBuilder::acceptListPanelUrls({url}), refused);
    const QList<FileDirectory>& pending = SharedState::instance().arrPendingItems;
    QCOMPARE(pending.size(), added ? 1 : 0);
    if (added)
        QCOMPARE(pending.constFirst().url,
            std::optional<QUrl>(fileUrl(QDir::cleanPath(url.toLocalFile()))));
}

void TestListBuilding::scanOfNothingStillCompletes()
{
    ScanRun run;
    QVERIFY(scanAndWait(5, &run));
    QCOMPARE(run.completions, 1);
    QCOMPARE(run.reloads, 0);
    QCOMPARE(run.nextTag, 5);
    QVERIFY(SharedState::instance().arrFileList.isEmpty());

    // An empty folder on its own is one marked item.
    TempTree tree;
    QVERIFY(tree.isValid());
    ScanRun one;
    const ItemRef item = scanOne(tree.makeDir(QStringLiteral("empty")), &one);
    QVERIFY(item);
    QVERIFY(item->arrpath.isEmpty());
    QCOMPARE(item->data.isemptyFolder, true);
    QCOMPARE(item->data.file->size, 0.0);
    QCOMPARE(one.nextTag, 1);
}

void TestListBuilding::folderTotal()
{
    const QStringList counted {
        QStringLiteral(".hidden"), QStringLiteral("sub/.deep/g.bin"), QStringLiteral("sub/h.txt")};
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString outside
        = tree.writeFile(QStringLiteral("outside.bin"), TempTree::incompressible(65536));
    const QString top = tree.makeDir(QStringLiteral("top"));
    double expected = 0;
    for (const QString& relative : counted) {
        const QString path = tree.writeFile(u"top/" + relative, TempTree::incompressible(4096));
        expected += TempTree::allocatedSize(path);
    }
    // Present in every row and never counted: no file of their own below the folder.
    tree.makeDir(QStringLiteral("top/empty"));
    QVERIFY(!tree.makeSymlink(QStringLiteral("top/link-to-file"), outside).isEmpty());
    QVERIFY(!tree.makeSymlink(QStringLiteral("top/link-to-folder"), tree.path()).isEmpty());
    QVERIFY(!tree.makeFifo(QStringLiteral("top/pipe")).isEmpty());
    QVERIFY(expected >= 4096.0 * 3);

    // Dropped with a trailing slash: the record keeps it, children are listed below it.
    QVERIFY(ListBuilder::acceptDroppedPaths({top + u'/'}));
    ScanRun run;
    QVERIFY(scanAndWait(0, &run));
    const ItemRef item = SharedState::instance().arrFileList.value(0);
    QVERIFY(item);
    QCOMPARE(item->url1, fileUrl(top + u'/'));
    QCOMPARE(item->data.file->size, expected);
    // The total is also written back into the pending record.
    QCOMPARE(SharedState::instance().arrPendingItems.constFirst().file->size, expected);
    QCOMPARE(item->data.isemptyFolder, false);

    const ItemRef empty = childNamed(item, QStringLiteral("empty"));
    QVERIFY(empty);
    QCOMPARE(empty->data.isemptyFolder, true);
    QVERIFY(empty->arrpath.isEmpty());
    // Nested folders keep their own size.
    QCOMPARE(empty->data.file->size, 0.0);
    QVERIFY(!empty->hasMainParent());
    const ItemRef hidden = childNamed(item, QStringLiteral(".hidden"));
    QVERIFY(hidden);
    QCOMPARE(hidden->data.url, std::optional<QUrl>(fileUrl(top + QStringLiteral("/.hidden"))));
    QCOMPARE(hidden->url1, fileUrl(top + QStringLiteral("//.hidden")));
    // A link to a folder is a leaf: its target is never listed.
    const ItemRef link = childNamed(item, QStringLiteral("link-to-folder"));
    QVERIFY(link && link->data.file && !link->data.file->isFolder);
    QVERIFY(link->arrpath.isEmpty() && !link->data.isemptyFolder);
}

void TestListBuilding::tagsAreDepthFirst()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    // Enough subfolders for several threads to list them at once.
    const QString deep = tree.makeDir(QStringLiteral("deep"));
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 5; ++j)
            tree.writeFile(QStringLiteral("deep/d%1/e%2/f.txt").arg(i).arg(j), "f");
    }
    const QString file = tree.writeFile(QStringLiteral("single.txt"), "s");
    const QString wide = tree.makeDir(QStringLiteral("wide"));
    for (int i = 0; i < 300; ++i)
        tree.writeFile(QStringLiteral("wide/f%1").arg(i), "w");
    SharedState::instance().arrPendingItems = {FileDirectory::fromUrl(fileUrl(deep)),
        FileDirectory::fromUrl(fileUrl(file)), FileDirectory::fromUrl(fileUrl(wide))};

    // One reload per finished top-level item, and at that moment the newest item is whole.
    const QList<ItemRef>& list = SharedState::instance().arrFileList;
    QList<int> listSizes;
    QList<int> subtreeSizes;
    ScanRun run;
    QVERIFY(scanAndWait(3, &run, [&] {
        QList<qint64> tags;
        collectTags(list.constLast(), &tags);
        listSizes.append(int(list.size()));
        subtreeSizes.append(int(tags.size()));
    }));
    QCOMPARE(run.completions, 1);
    QCOMPARE(listSizes, QList<int>({1, 2, 3}));
    QCOMPARE(subtreeSizes, QList<int>({1 + 8 + 8 * 5 + 8 * 5, 1, 1 + 300}));

    // Depth-first, parent first, going on from the counter handed in and handing it back.
    QList<qint64> tags;
    QStringList paths;
    for (const ItemRef& item : list)
        collectTags(item, &tags, &paths);
    for (int i = 0; i < tags.size(); ++i)
        QCOMPARE(tags.at(i), 3 + i);
    QCOMPARE(run.nextTag, 3 + tags.size());

    // The same entries in the same order as find, which walks in the file system's order too.
    QProcess find;
    find.start(QStringLiteral("find"), {deep});
    QVERIFY(find.waitForFinished() && find.exitCode() == 0);
    const QStringList found
        = QString::fromLocal8Bit(find.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(paths.mid(0, found.size()), found);
}

void TestListBuilding::stoppedScanPublishesNothing_data()
{
    QTest::addColumn<int>("how");

    QTest::newRow("stop()") << 0;
    QTest::newRow("handle destroyed") << 1;
    // The list is reset (Home) while its screen, and so the scan, lives on: the items are
    // dropped and only the completion runs.
    QTest::newRow("lists reset") << 2;
}

void TestListBuilding::stoppedScanPublishesNothing()
{
    QFETCH(int, how);

    TempTree tree;
    QVERIFY(tree.isValid());
    for (int i = 0; i < 2000; ++i)
        tree.writeFile(QStringLiteral("big/d%1/f%2").arg(i % 20).arg(i), "x");
    const QString big = tree.path(QStringLiteral("big"));
    SharedState::instance().arrPendingItems
        = {FileDirectory::fromUrl(fileUrl(big)), FileDirectory::fromUrl(fileUrl(big))};

    int hooks = 0;
    auto handle = ListBuilder::startScan(
        0, [&] { ++hooks; }, [&](qint64) { ++hooks; });
    // Whatever the worker already handed over is still queued: nothing has been appended yet.
    if (how == 1) {
        handle.reset();
    } else if (how == 0) {
        handle->stop();
        QVERIFY(QTest::qWaitFor([&] { return handle->isFinished(); }, 30000));
    } else {
        const QList<FileDirectory> pending = SharedState::instance().arrPendingItems;
        SharedState::instance().resetLists();
        SharedState::instance().arrPendingItems = pending;
        QVERIFY(QTest::qWaitFor([&] { return handle->isFinished(); }, 30000));
    }
    QTest::qWait(200);
    QCOMPARE(hooks, how == 2 ? 1 : 0);
    QVERIFY(SharedState::instance().arrFileList.isEmpty());
    // The records themselves are left as they were.
    QCOMPARE(SharedState::instance().arrPendingItems.constFirst().file->size, 0.0);
}

void TestListBuilding::unreadableFolderHasNoChildren()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString top = tree.makeDir(QStringLiteral("top"));
    tree.writeFile(QStringLiteral("top/open/seen.txt"), "s");
    tree.writeFile(QStringLiteral("top/locked/secret.txt"), "s");
    const QString locked = tree.path(QStringLiteral("top/locked"));
    // The other user must reach the tree; only "locked" is closed to it.
    for (const QString& folder : {tree.path(), top, tree.path(QStringLiteral("top/open"))})
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0), 0);

    // The listing runs in a child that may not read "locked"; its exit code tells what it saw.
    const int seen = runUnprivileged([&] {
        FolderScanner scanner(0);
        const ItemRef item = scanner.buildTopLevelItem(FileDirectory::fromUrl(fileUrl(top)));
        const ItemRef closed = item ? childNamed(item, QStringLiteral("locked")) : ItemRef();
        const ItemRef open = item ? childNamed(item, QStringLiteral("open")) : ItemRef();
        if (!item || item->arrpath.size() != 2 || !closed || !open || !closed->data.file)
            return 1;
        // A folder, neither listed nor marked empty; the readable sibling is listed.
        if (!closed->data.file->isFolder || !closed->arrpath.isEmpty()
            || closed->data.isemptyFolder)
            return 2;
        return open->arrpath.size() == 1 && scanner.nextTag() == 4 ? 0 : 3;
    });
    ::chmod(QFile::encodeName(locked).constData(), 0755);
    QVERIFY2(seen >= 0, "the unprivileged child could not run");
    QCOMPARE(seen, 0);
}

void TestListBuilding::typeByNameAgreesWithTheDatabase_data()
{
    QTest::addColumn<QString>("seed");
    QTest::addColumn<QString>("name");

    // The seed is looked up first, so a type kept for its extension would answer for the name.
    QTest::newRow("compound extension")
        << QStringLiteral("plain.gz") << QStringLiteral("data.tar.gz");
    QTest::newRow("case-sensitive extension") << QStringLiteral("x.c") << QStringLiteral("y.C");
    QTest::newRow("literal name") << QStringLiteral("notes.txt")
                                  << QStringLiteral("CMakeLists.txt");
    QTest::newRow("no extension, literal") << QStringLiteral("file") << QStringLiteral("core");
    QTest::newRow("prefix glob") << QStringLiteral("x.am") << QStringLiteral("Makefile.am");
    QTest::newRow("glob with a bracket") << QStringLiteral("x.1") << QStringLiteral("lib.so.1");
    QTest::newRow("bracket ranges") << QStringLiteral("0a1.vdr") << QStringLiteral("001.vdr");
    QTest::newRow("suffix glob") << QStringLiteral("a.txt") << QStringLiteral("a.txt~");
    QTest::newRow("outside ASCII") << QStringLiteral("b.txt") << QStringLiteral("na\u00efve.txt");
}

void TestListBuilding::typeByNameAgreesWithTheDatabase()
{
    QFETCH(QString, seed);
    QFETCH(QString, name);

    const QMimeDatabase db;
    for (const QString& fileName : {seed, name, seed}) {
        const QString path = QStringLiteral("/nonexistent/") + fileName;
        QCOMPARE(Filedata::mimeTypeNameFor(path, S_IFREG | 0644),
            db.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());
    }
}

QTEST_GUILESS_MAIN(TestListBuilding)
#include "tst_listbuilding.moc"
