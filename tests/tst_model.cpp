#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "SharedState.h"
#include "TempTree.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <functional>
#include <sys/stat.h>
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

double allocatedBytes(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return static_cast<double>(st.st_blocks) * 512.0;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    // First, so nothing has touched the process-wide state yet.
    void sharedStateStartsEmpty();
    void sharedStateResetKeepsCounters();

    void unreadableItemHasNoAttributes_data();
    void unreadableItemHasNoAttributes();
    void attributesOfTheItemItself_data();
    void attributesOfTheItemItself();
    void typeComesFromTheNameNotTheContents();

    void topLevelItem();
    void childItem();
};

void TestModel::sharedStateStartsEmpty()
{
    SharedState& state = SharedState::instance();
    QCOMPARE(&state, &SharedState::instance());
    QVERIFY(state.arrPendingItems.isEmpty());
    QVERIFY(state.arrFileList.isEmpty());
    QCOMPARE(state.isAddingFiles.load(), true);
    QCOMPARE(state.totalSelectedFiles.load(), 0);
    QCOMPARE(state.deletedFilesCount.load(), 0);
    QCOMPARE(state.deletedFilesSize.load(), 0.0);
    QCOMPARE(state.requestedSettingsTab.load(), 0);
}

void TestModel::sharedStateResetKeepsCounters()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QUrl url = QUrl::fromLocalFile(tree.writeFile(QStringLiteral("a.txt"), "a"));

    SharedState& state = SharedState::instance();
    state.arrPendingItems.append(FileDirectory::fromUrl(url));
    state.arrFileList.append(makeTopLevelItem(state.arrPendingItems.constFirst(), 0));
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
    QTest::newRow("inside a missing folder") << QStringLiteral("missing-parent");
    QTest::newRow("not a file URL") << QStringLiteral("remote");
}

void TestModel::unreadableItemHasNoAttributes()
{
    QFETCH(QString, kind);

    TempTree tree;
    QVERIFY(tree.isValid());
    QUrl url;
    if (kind == u"removed") {
        const QString path = tree.writeFile(QStringLiteral("gone.txt"), "x");
        QVERIFY(QFile::remove(path));
        url = QUrl::fromLocalFile(path);
    } else if (kind == u"missing") {
        url = QUrl::fromLocalFile(tree.path(QStringLiteral("never.txt")));
    } else if (kind == u"missing-parent") {
        url = QUrl::fromLocalFile(tree.path(QStringLiteral("no/such/folder/file")));
    } else {
        url = QUrl(QStringLiteral("https://example.invalid/file.txt"));
    }

    FileDirectory record;
    const QByteArray printed = captureStdout([&] { record = FileDirectory::fromUrl(url); });

    QCOMPARE(printed, QByteArray("Error reading file attributes\n"));
    QVERIFY(record.url.has_value());
    QCOMPARE(*record.url, url);
    QVERIFY(!record.file.has_value());
    QCOMPARE(record.state, false);
    QCOMPARE(record.isemptyFolder, false);
}

void TestModel::attributesOfTheItemItself_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QString>("mimeType");

    QTest::newRow("empty file") << QStringLiteral("empty") << false << QStringLiteral("text/plain");
    QTest::newRow("one-byte file")
        << QStringLiteral("one-byte") << false << QStringLiteral("text/plain");
    QTest::newRow("larger file") << QStringLiteral("larger") << false
                                 << QStringLiteral("text/plain");
    QTest::newRow("folder") << QStringLiteral("folder") << true
                            << QStringLiteral("inode/directory");
    QTest::newRow("empty folder, trailing slash")
        << QStringLiteral("folder-slash") << true << QStringLiteral("inode/directory");
    QTest::newRow("link to a folder")
        << QStringLiteral("link-folder") << false << QStringLiteral("inode/symlink");
    QTest::newRow("link to a folder, trailing slash")
        << QStringLiteral("link-folder-slash") << false << QStringLiteral("inode/symlink");
    QTest::newRow("link to a file")
        << QStringLiteral("link-file") << false << QStringLiteral("inode/symlink");
    QTest::newRow("dangling link")
        << QStringLiteral("dangling") << false << QStringLiteral("inode/symlink");
    QTest::newRow("fifo") << QStringLiteral("fifo") << false << QStringLiteral("inode/fifo");
}

void TestModel::attributesOfTheItemItself()
{
    QFETCH(QString, kind);
    QFETCH(bool, isFolder);
    QFETCH(QString, mimeType);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString folder = tree.makeDir(QStringLiteral("folder.txt"));
    QVERIFY(tree.writeFile(QStringLiteral("folder.txt/inner.bin"), TempTree::incompressible(20000)).size());
    const QString file = tree.writeFile(QStringLiteral("target.txt"), TempTree::incompressible(10000));
    QVERIFY(!file.isEmpty());

    QString path; // the item lstat describes
    QString urlPath; // what the URL holds
    if (kind == u"empty") {
        path = tree.writeFile(QStringLiteral("empty.txt"), QByteArray());
    } else if (kind == u"one-byte") {
        path = tree.writeFile(QStringLiteral("one.txt"), "1");
    } else if (kind == u"larger") {
        path = file;
    } else if (kind == u"folder") {
        path = folder;
    } else if (kind == u"folder-slash") {
        path = tree.makeDir(QStringLiteral("hollow"));
        urlPath = path + u'/';
    } else if (kind == u"link-folder") {
        path = tree.makeSymlink(QStringLiteral("to-folder.txt"), folder);
    } else if (kind == u"link-folder-slash") {
        path = tree.makeSymlink(QStringLiteral("to-folder.txt"), folder);
        urlPath = path + u'/';
    } else if (kind == u"link-file") {
        path = tree.makeSymlink(QStringLiteral("to-file.txt"), file);
    } else if (kind == u"dangling") {
        path = tree.makeSymlink(
            QStringLiteral("dangling.txt"), tree.path(QStringLiteral("nothing")));
    } else if (kind == u"fifo") {
        path = tree.makeFifo(QStringLiteral("pipe.txt"));
    }
    QVERIFY2(!path.isEmpty(), "could not make the test item");
    if (urlPath.isEmpty())
        urlPath = path;
    const QUrl url = QUrl::fromLocalFile(urlPath);

    FileDirectory record;
    const QByteArray printed = captureStdout([&] { record = FileDirectory::fromUrl(url); });
    QCOMPARE(printed, QByteArray());
    QCOMPARE(record.url, std::optional<QUrl>(url));
    QVERIFY(record.file.has_value());
    QCOMPARE(record.file->url, url);
    QCOMPARE(record.file->isFolder, isFolder);
    QCOMPARE(record.file->mimeTypeName, mimeType);
    QCOMPARE(record.isemptyFolder, false);

    if (isFolder) {
        QCOMPARE(record.file->size, 0.0);
    } else {
        // Allocated blocks of the item itself (for a link: the link, not its target).
        QCOMPARE(record.file->size, allocatedBytes(path));
    }
    if (kind == u"empty")
        QCOMPARE(record.file->size, 0.0);
    if (kind == u"one-byte")
        QVERIFY2(record.file->size != 1.0, "the length was reported instead of the allocation");
    if (kind == u"larger")
        QVERIFY(record.file->size >= 10000.0);
    if (kind.startsWith(u"link-"))
        QVERIFY(record.file->size < allocatedBytes(file));
}

void TestModel::typeComesFromTheNameNotTheContents()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const QUrl namedText = QUrl::fromLocalFile(tree.writeFile(QStringLiteral("picture.txt"), png));
    const QUrl namedPng
        = QUrl::fromLocalFile(tree.writeFile(QStringLiteral("notes.png"), "plain words\n"));

    QCOMPARE(FileDirectory::fromUrl(namedText).file->mimeTypeName, QStringLiteral("text/plain"));
    QCOMPARE(FileDirectory::fromUrl(namedPng).file->mimeTypeName, QStringLiteral("image/png"));
}

void TestModel::topLevelItem()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QUrl url = QUrl::fromLocalFile(tree.makeDir(QStringLiteral("top")));
    const FileDirectory record = FileDirectory::fromUrl(url);

    const ItemRef item = makeTopLevelItem(record, 7);
    QVERIFY(item);
    QCOMPARE(item->state, false);
    QCOMPARE(item->tag, 7);
    QCOMPARE(item->url1, url);
    QVERIFY(item->arrpath.isEmpty());
    QVERIFY(item->hasMainParent());
    QCOMPARE(item->isMainParent, std::optional<bool>(true));
    QCOMPARE(item->data.url, std::optional<QUrl>(url));
    QVERIFY(item->data.file.has_value() && item->data.file->isFolder);
}

void TestModel::childItem()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString file = tree.writeFile(QStringLiteral("dir/child.txt"), "c");
    // The scan hands the path as listed; the record holds it normalised.
    const QUrl listed = QUrl::fromLocalFile(tree.path(QStringLiteral("dir/./child.txt")));
    const QUrl normal = QUrl::fromLocalFile(file);
    QVERIFY(listed != normal);

    const ItemRef child = makeChildItem(FileDirectory::fromUrl(normal), 1, listed);
    QCOMPARE(child->state, false);
    QCOMPARE(child->tag, 1);
    QCOMPARE(child->url1, listed);
    QCOMPARE(child->data.url, std::optional<QUrl>(normal));
    QVERIFY(child->arrpath.isEmpty());
    QVERIFY(!child->hasMainParent());

    const ItemRef same = makeChildItem(FileDirectory::fromUrl(normal), 2, normal);
    QCOMPARE(same->url1, normal);
    QVERIFY(!same->hasMainParent());
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
