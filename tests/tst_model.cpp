// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDirectory.h"
#include "ItemDictionary.h"
#include "LanguageTable.h"
#include "SharedState.h"
#include "SizeText.h"
#include "TempTree.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <functional>
#include <limits>
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
    void init();
    void cleanupTestCase();

    void sharedStateResetKeepsCounters();
    void unreadableItemHasNoAttributes_data();
    void unreadableItemHasNoAttributes();
    void attributesOfTheItemItself_data();
    void attributesOfTheItemItself();
    void itemsKeepTheirUrls();
    void loadFromFolder_data();
    void loadFromFolder();
    void realTableCoversEveryKey();
    void formatKeysKeepPlaceholders_data();
    void formatKeysKeepPlaceholders();
    void lookupFallbacks();
    void sizeText_data();
    void sizeText();
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
    QTest::newRow("not a file URL") << QStringLiteral("remote");
}

void TestModel::unreadableItemHasNoAttributes()
{
    QFETCH(QString, kind);
    TempTree tree;
    QUrl url(QStringLiteral("https://example.invalid/file.txt"));
    if (kind == u"removed") {
        const QString path = tree.writeFile(QStringLiteral("gone.txt"), "x");
        QVERIFY(QFile::remove(path));
        url = QUrl::fromLocalFile(path);
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
    QCOMPARE(record.file->isFolder, isFolder);
    QCOMPARE(record.file->mimeTypeName, mimeType);
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
    QVERIFY(makeTopLevelItem(FileDirectory::fromUrl(top), 7)->hasMainParent());

    // The scan hands the path as listed; the record holds it normalised.
    const QUrl listed = QUrl::fromLocalFile(tree.path(QStringLiteral("dir/./child.txt")));
    const QUrl normal = QUrl::fromLocalFile(file);
    QVERIFY(listed != normal);
    const ItemRef child = makeChildItem(FileDirectory::fromUrl(normal), 1, listed);
    QCOMPARE(child->url1, listed);
    QCOMPARE(child->data.url, std::optional<QUrl>(normal));
    QVERIFY(!child->hasMainParent());
}

void TestModel::init()
{
    setLanguageStrings(std::nullopt);
}

void TestModel::cleanupTestCase()
{
    setLanguageStrings(std::nullopt);
}

void TestModel::loadFromFolder_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no resource at all
    QTest::addColumn<bool>("loads");

    QTest::newRow("no resource") << QByteArray() << false;
    QTest::newRow("garbage") << QByteArray("\x00\x01not a plist at all\xff", 21) << false;
    QTest::newRow("array at top level")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                      "<array><string>IDS_KQ_1</string></array></plist>")
        << false;
    QTest::newRow("dictionary") << QByteArray(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
        "<dict><key>IDS_KQ_1</key><string>Hello</string>"
        "<key>IDS_KQ_2</key><integer>7</integer></dict></plist>")
                                << true;
}

void TestModel::loadFromFolder()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);

    TempTree tree;
    QVERIFY(tree.isValid());
    if (!content.isEmpty())
        QVERIFY(!tree.writeFile(QStringLiteral("English.plist"), content).isEmpty());

    const std::optional<QVariantMap> table
        = loadPlistDictionary(QStringLiteral("English"), Bundle(tree.path()));
    QCOMPARE(table.has_value(), loads);
    // Without a table every text is empty, not the key.
    setLanguageStrings(table);
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_1")), loads ? QStringLiteral("Hello") : QString());
}

void TestModel::realTableCoversEveryKey()
{
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    QVERIFY2(languageStrings().has_value(), "the bundled English table did not load");

    QFile keys(QStringLiteral(CORVANE_TEST_DATA_DIR "/language_keys.txt"));
    QVERIFY2(keys.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(keys.fileName()));
    int checked = 0;
    QStringList missing;
    while (!keys.atEnd()) {
        const QString key = QString::fromUtf8(keys.readLine()).trimmed();
        if (key.isEmpty() || key.startsWith(u'#'))
            continue;
        ++checked;
        if (localizedText(key).isEmpty())
            missing.append(key);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", ")));
    QVERIFY(checked > 0);
}

void TestModel::formatKeysKeepPlaceholders_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("placeholder");

    QTest::newRow("confirmation word") << QStringLiteral("IDS_KQ_27") << QStringLiteral("%@");
    QTest::newRow("free space") << QStringLiteral("IDS_KQ_46") << QStringLiteral("%@");
    QTest::newRow("version") << QStringLiteral("IDS_KQ_49") << QStringLiteral("%@");
    QTest::newRow("already subscribed") << QStringLiteral("IDS_KQ_92") << QStringLiteral("%@");
    QTest::newRow("files count") << QStringLiteral("IDS_KQ_16")
                                 << QStringLiteral("__FILES__COUNT__");
    QTest::newRow("one file count")
        << QStringLiteral("IDS_KQ_116") << QStringLiteral("__FILES__COUNT__");
}

void TestModel::formatKeysKeepPlaceholders()
{
    QFETCH(QString, key);
    QFETCH(QString, placeholder);

    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    const QString text = localizedText(key);
    // The callers replace exactly one occurrence.
    QCOMPARE(text.count(placeholder), 1);
    if (placeholder == u"%@")
        QCOMPARE(text.count(u'%'), 1);
}

void TestModel::lookupFallbacks()
{
    QVariantMap table;
    table.insert(QStringLiteral("IDS_KQ_1"), QStringLiteral("Check for Updates..."));
    table.insert(QStringLiteral("IDS_KQ_2"), qint64(42));
    table.insert(QStringLiteral("IDS_KQ_3"), QVariantList {QStringLiteral("not a string")});
    setLanguageStrings(table);

    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_1")), QStringLiteral("Check for Updates..."));
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_2")), QString());
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_3")), QString());
    QCOMPARE(localizedText(QStringLiteral("ids_kq_1")), QString());

    // A format fills its placeholder; a missing format gives nothing, not the bare argument.
    table.insert(QStringLiteral("IDS_KQ_49"), QStringLiteral("Version %@"));
    setLanguageStrings(table);
    QCOMPARE(localizedFormat(QStringLiteral("IDS_KQ_49"), QStringLiteral("1.2")), QStringLiteral("Version 1.2"));
    QCOMPARE(localizedFormat(QStringLiteral("IDS_KQ_5"), QStringLiteral("1.2")), QString());
}

void TestModel::sizeText_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("negative") << -5.0 << QStringLiteral("0 bytes");
    QTest::newRow("one byte, no singular") << 1.0 << QStringLiteral("1 bytes");
    QTest::newRow("fraction truncated") << 999.9 << QStringLiteral("999 bytes");
    QTest::newRow("1.05 as a float is below 1.05") << 1050.0 << QStringLiteral("1.0 KB");
    QTest::newRow("decimal, not binary units") << 1536.0 << QStringLiteral("1.5 KB");
    QTest::newRow("just under the rounding edge") << 999949.0 << QStringLiteral("999.9 KB");
    QTest::newRow("unit chosen before rounding") << 999950.0 << QStringLiteral("1000.0 KB");
    QTest::newRow("megabytes") << 1234567.0 << QStringLiteral("1.2 MB");
    QTest::newRow("no unit above GB") << 1500000000000.0 << QStringLiteral("1500.0 GB");
    // 999,999.999 rounds to 1,000,000 as a float, so the megabyte step sees exactly 1000;
    // double intermediates would give "1000.0 MB".
    QTest::newRow("float intermediate crosses into GB") << 999999999.0 << QStringLiteral("1.0 GB");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN()
                                  << QStringLiteral("0 bytes");
}

void TestModel::sizeText()
{
    QFETCH(double, bytes);
    QFETCH(QString, expected);
    QCOMPARE(::sizeText(bytes), expected);
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
