// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "SharedState.h"
#include "TempTree.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// Runs `fn` with file descriptor 1 pointed at a temporary file and returns what it printed.
QByteArray captureStdout(const std::function<void()>& fn)
{
    QTemporaryFile sink;
    if (!sink.open())
        return QByteArrayLiteral("<could not capture standard output>");
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(sink.handle(), STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return TempTree::readFile(sink.fileName());
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void sharedStateResetKeepsCounters();
    void unreadableItemHasNoAttributes_data();
    void unreadableItemHasNoAttributes();
    void attributesOfTheItemItself_data();
    void attributesOfTheItemItself();
    void itemsKeepTheirUrls();
};

void TestModel::sharedStateResetKeepsCounters()
{
    SharedState& state = SharedState::instance();
    state.arrPendingItems.append(FileDirectory());
    state.arrFileList.append(makeTopLevelItem(FileDirectory(), 0));
    state.deletedFilesCount = 3;
    state.deletedFilesSize = 12288.0;

    state.resetLists();
    QVERIFY(state.arrPendingItems.isEmpty());
    QVERIFY(state.arrFileList.isEmpty());
    // The result screen reads the run's totals after its Home has emptied the lists.
    QCOMPARE(state.deletedFilesCount.load(), 3);
    QCOMPARE(state.deletedFilesSize.load(), 12288.0);
    state.deletedFilesCount = 0;
    state.deletedFilesSize = 0;
}

void TestModel::unreadableItemHasNoAttributes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("removed after it was chosen") << QStringLiteral("removed");
    QTest::newRow("never existed") << QStringLiteral("missing");
    QTest::newRow("not a file URL") << QStringLiteral("remote");
}

void TestModel::unreadableItemHasNoAttributes()
{
    QFETCH(QString, kind);
    TempTree tree;
    QVERIFY(tree.isValid());
    QUrl url = QUrl::fromLocalFile(tree.path(QStringLiteral("never.txt")));
    if (kind == u"removed") {
        const QString path = tree.writeFile(QStringLiteral("gone.txt"), "x");
        QVERIFY(QFile::remove(path));
        url = QUrl::fromLocalFile(path);
    } else if (kind == u"remote") {
        url = QUrl(QStringLiteral("https://example.invalid/file.txt"));
    }

    FileDirectory record;
    const QByteArray printed = captureStdout([&] { record = FileDirectory::fromUrl(url); });
    QCOMPARE(printed, QByteArray("Error reading file attributes\n"));
    QCOMPARE(record.url, std::optional<QUrl>(url));
    QVERIFY(!record.file.has_value());
}

void TestModel::attributesOfTheItemItself_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QString>("mimeType");

    QTest::newRow("one-byte file") << "one-byte" << false << "text/plain";
    QTest::newRow("type from the name, not the contents") << "png-bytes" << false << "text/plain";
    QTest::newRow("folder") << "folder" << true << "inode/directory";
    QTest::newRow("empty folder, trailing slash") << "folder-slash" << true << "inode/directory";
    QTest::newRow("link to a folder, trailing slash") << "link-slash" << false << "inode/symlink";
    QTest::newRow("dangling link") << "dangling" << false << "inode/symlink";
    QTest::newRow("fifo") << "fifo" << false << "inode/fifo";
}

void TestModel::attributesOfTheItemItself()
{
    QFETCH(QString, kind);
    QFETCH(bool, isFolder);
    QFETCH(QString, mimeType);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString folder = tree.makeDir(QStringLiteral("folder.txt"));
    QVERIFY(!tree.writeFile(QStringLiteral("folder.txt/in.bin"), TempTree::incompressible(20000))
                 .isEmpty());
    const QString file = tree.writeFile(QStringLiteral("target.txt"), TempTree::incompressible(10000));

    QString path; // the item lstat describes
    QString suffix; // added to the URL only
    if (kind == u"one-byte") {
        path = tree.writeFile(QStringLiteral("one.txt"), "1");
    } else if (kind == u"png-bytes") {
        path = tree.writeFile(QStringLiteral("picture.txt"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    } else if (kind == u"folder") {
        path = folder;
    } else if (kind == u"folder-slash") {
        path = tree.makeDir(QStringLiteral("hollow"));
        suffix = QStringLiteral("/");
    } else if (kind == u"link-slash") {
        path = tree.makeSymlink(QStringLiteral("to-folder.txt"), folder);
        suffix = QStringLiteral("/");
    } else if (kind == u"dangling") {
        path = tree.makeSymlink(QStringLiteral("dangling.txt"), tree.path(QStringLiteral("no")));
    } else {
        path = tree.makeFifo(QStringLiteral("pipe.txt"));
    }
    QVERIFY2(!path.isEmpty() && !file.isEmpty(), "could not make the test item");
    const QUrl url = QUrl::fromLocalFile(path + suffix);

    FileDirectory record;
    QCOMPARE(captureStdout([&] { record = FileDirectory::fromUrl(url); }), QByteArray());
    QVERIFY(record.file.has_value());
    QCOMPARE(record.file->url, url);
    QCOMPARE(record.file->isFolder, isFolder);
    QCOMPARE(record.file->mimeTypeName, mimeType);
    QCOMPARE(record.isemptyFolder, false);
    // Allocated blocks of the item itself (for a link: the link, not its target); folders 0.
    QCOMPARE(record.file->size, isFolder ? 0.0 : TempTree::allocatedSize(path));
    if (kind == u"one-byte")
        QVERIFY2(record.file->size != 1.0, "the length was reported instead of the allocation");
    if (kind.startsWith(u"link-"))
        QVERIFY(record.file->size < TempTree::allocatedSize(file));
}

void TestModel::itemsKeepTheirUrls()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString file = tree.writeFile(QStringLiteral("dir/child.txt"), "c");
    const QUrl top = QUrl::fromLocalFile(tree.path(QStringLiteral("dir")));
    const ItemRef item = makeTopLevelItem(FileDirectory::fromUrl(top), 7);
    QCOMPARE(item->url1, top);
    QVERIFY(item->hasMainParent());

    // The scan hands the path as listed; the record holds it normalised.
    const QUrl listed = QUrl::fromLocalFile(tree.path(QStringLiteral("dir/./child.txt")));
    const QUrl normal = QUrl::fromLocalFile(file);
    QVERIFY(listed != normal);
    const ItemRef child = makeChildItem(FileDirectory::fromUrl(normal), 1, listed);
    QCOMPARE(child->url1, listed);
    QCOMPARE(child->data.url, std::optional<QUrl>(normal));
    QVERIFY(!child->hasMainParent());
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
