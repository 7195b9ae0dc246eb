// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDirectory.h"
#include "FolderScanner.h"
#include "ItemDictionary.h"
#include "LanguageTable.h"
#include "PathText.h"
#include "SharedState.h"
#include "ShredSettings.h"
#include "SizeText.h"
#include "StdoutCapture.h"
#include "TempTree.h"
#include "UserDefaults.h"

#include <QFile>
#include <QTest>
#include <limits>

using namespace Qt::StringLiterals;

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void sharedStateResetKeepsCounters();
    void attributesOfTheItemItself_data();
    void attributesOfTheItemItself();
    void itemsKeepTheirUrls();
    void listedItemsAreTypedByName();
    void loadFromFolder_data();
    void loadFromFolder();
    void languageOfTheLocale_data();
    void languageOfTheLocale();
    void realTableCoversEveryKey_data();
    void realTableCoversEveryKey();
    void lookupFallbacks();
    void shredSettingsReadTheStoredKeys_data();
    void shredSettingsReadTheStoredKeys();
    void sizeText_data();
    void sizeText();
    void pathsKeepEveryByte_data();
    void pathsKeepEveryByte();
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
    // No attributes at all: the record keeps only the URL.
    QTest::newRow("removed after it was chosen") << "removed" << false << QString();
    QTest::newRow("not a file URL") << "remote" << false << QString();
}

void TestModel::attributesOfTheItemItself()
{
    QFETCH(QString, kind);
    QFETCH(bool, isFolder);
    QFETCH(QString, mimeType);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString folder = tree.makeDir(u"folder.txt"_s);
    QVERIFY(!tree.writeFile(u"folder.txt/in.bin"_s, TempTree::incompressible(20000)).isEmpty());
    const QString file = tree.writeFile(u"target.txt"_s, TempTree::incompressible(10000));

    QString path; // the item lstat describes
    QString suffix; // added to the URL only
    if (kind == u"one-byte") {
        path = tree.writeFile(u"one.txt"_s, "1");
    } else if (kind == u"png-bytes") {
        path = tree.writeFile(u"picture.txt"_s, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    } else if (kind == u"folder") {
        path = folder;
    } else if (kind == u"folder-slash") {
        path = tree.makeDir(u"hollow"_s);
        suffix = u"/"_s;
    } else if (kind == u"link-slash") {
        path = tree.makeSymlink(u"to-folder.txt"_s, folder);
        suffix = u"/"_s;
    } else if (kind == u"dangling") {
        path = tree.makeSymlink(u"dangling.txt"_s, tree.path(u"no"_s));
    } else if (kind == u"fifo") {
        path = tree.makeFifo(u"pipe.txt"_s);
    } else if (kind == u"removed") {
        path = tree.writeFile(u"gone.txt"_s, "x");
        QVERIFY(QFile::remove(path));
    }
    QVERIFY2(!file.isEmpty() && (!path.isEmpty() || kind == u"remote"), "could not make the item");
    const QUrl url = path.isEmpty() ? QUrl(u"https://example.invalid/file.txt"_s)
                                    : QUrl::fromLocalFile(path + suffix);

    StdoutCapture printed;
    const FileDirectory record = FileDirectory::fromUrl(url);
    if (mimeType.isEmpty()) {
        QCOMPARE(record.url, std::optional<QUrl>(url));
        QVERIFY(!record.file.has_value());
        return;
    }
    QCOMPARE(printed.text(), QByteArray());
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
    const QString file = tree.writeFile(u"dir/child.txt"_s, "c");
    const QUrl top = QUrl::fromLocalFile(tree.path(u"dir"_s));
    QVERIFY(makeTopLevelItem(FileDirectory::fromUrl(top), 7)->hasMainParent());

    // The scan hands the path as listed; the record holds it normalised.
    const QUrl listed = QUrl::fromLocalFile(tree.path(u"dir/./child.txt"_s));
    const QUrl normal = QUrl::fromLocalFile(file);
    QVERIFY(listed != normal);
    const ItemRef child = makeChildItem(FileDirectory::fromUrl(normal), 1, listed);
    QCOMPARE(child->url1, listed);
    QCOMPARE(child->data.url, std::optional<QUrl>(normal));
    QVERIFY(!child->hasMainParent());
}

void TestModel::listedItemsAreTypedByName()
{
    TempTree tree;
    QVERIFY(!tree.writeFile(u"dir/notes.txt"_s, "\x89PNG").isEmpty());
    QVERIFY(!tree.makeFifo(u"dir/pipe.png"_s).isEmpty());
    FolderScanner scanner(1);
    const ItemRef top = scanner.buildTopLevelItem(
        FileDirectory::fromUrl(QUrl::fromLocalFile(tree.path(u"dir"_s))));
    QVERIFY(top && top->arrpath.size() == 2);
    QMap<QString, QString> types;
    for (const ItemRef& child : top->arrpath)
        types.insert(child->url1.fileName(), child->data.file->typeName());
    QCOMPARE(types.value(u"notes.txt"_s), u"text/plain"_s);
    QCOMPARE(types.value(u"pipe.png"_s), u"inode/fifo"_s);
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

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    QTest::newRow("no resource") << QByteArray() << false;
    QTest::newRow("garbage") << QByteArray("\x00\x01not a plist at all\xff", 21) << false;
    QTest::newRow("array at top level")
        << head + "<array><string>IDS_KQ_1</string></array></plist>" << false;
    QTest::newRow("dictionary") << head
            + "<dict><key>IDS_KQ_1</key><string>Hello</string>"
              "<key>IDS_KQ_2</key><integer>7</integer></dict></plist>"
                                << true;
}

void TestModel::loadFromFolder()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);

    TempTree tree;
    QVERIFY(tree.isValid());
    if (!content.isEmpty())
        QVERIFY(!tree.writeFile(u"English.plist"_s, content).isEmpty());

    const std::optional<QVariantMap> table = loadPlistDictionary(u"English"_s, Bundle(tree.path()));
    QCOMPARE(table.has_value(), loads);
    // Without a table every text is empty, not the key.
    setLanguageStrings(table);
    QCOMPARE(localizedText(u"IDS_KQ_1"_s), loads ? u"Hello"_s : QString());
}

void TestModel::languageOfTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("German replaces English") << u"de_DE"_s << u"IDS_KQ_1"_s << u"Hallo"_s;
    QTest::newRow("key missing in German") << u"de_DE"_s << u"IDS_KQ_2"_s << u"Goodbye"_s;
    QTest::newRow("German value not a string") << u"de_DE"_s << u"IDS_KQ_3"_s << u"Three"_s;
    QTest::newRow("region over its language") << u"de_CH"_s << u"IDS_KQ_1"_s << u"Grüezi"_s;
    QTest::newRow("region falls back to language") << u"de_CH"_s << u"IDS_KQ_3"_s << u"Drei"_s;
    QTest::newRow("no table for the language") << u"fr_FR"_s << u"IDS_KQ_1"_s << u"Hello"_s;
    QTest::newRow("English") << u"en_GB"_s << u"IDS_KQ_1"_s << u"Hello"_s;
    QTest::newRow("C locale") << u"C"_s << u"IDS_KQ_1"_s << u"Hello"_s;
}

void TestModel::languageOfTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    // Each table's entries as key, value pairs; a value that is a number is not a string.
    const QList<std::pair<QString, QByteArray>> tables {
        {u"English.plist"_s,
            "<key>IDS_KQ_1</key><string>Hello</string>"
            "<key>IDS_KQ_2</key><string>Goodbye</string>"
            "<key>IDS_KQ_3</key><string>Three</string>"},
        {u"de.plist"_s,
            "<key>IDS_KQ_1</key><string>Hallo</string>"
            "<key>IDS_KQ_3</key><integer>7</integer>"},
        {u"de_CH.plist"_s,
            "<key>IDS_KQ_1</key><string>Grüezi</string>"
            "<key>IDS_KQ_3</key><string>Drei</string>"},
    };
    TempTree tree;
    for (const auto& [name, entries] : tables) {
        const QByteArray plist
            = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + entries
            + "</dict></plist>";
        QVERIFY(!tree.writeFile(name, plist).isEmpty());
    }

    setLanguageStrings(loadLanguageStrings(QLocale(locale), Bundle(tree.path())));
    QCOMPARE(localizedText(key), expected);
}

void TestModel::realTableCoversEveryKey_data()
{
    QTest::addColumn<QString>("language");
    for (const char* language : {"English", "de", "fr"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestModel::realTableCoversEveryKey()
{
    QFETCH(QString, language);
    // The language's own table: English filling a gap would hide it.
    const std::optional<QVariantMap> english = loadPlistDictionary(u"English"_s);
    setLanguageStrings(loadPlistDictionary(language));
    QVERIFY2(languageStrings().has_value() && english, "a bundled table did not load");

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
    for (auto it = english->cbegin(); it != english->cend(); ++it) {
        if (!languageStrings()->contains(it.key()) && !missing.contains(it.key()))
            missing.append(it.key());
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u", ")));
    QVERIFY(checked > 0);

    // Each text keeps English's placeholders and menu accelerators, and no key is one English
    // lacks (a mistyped key would never be shown).
    for (auto it = languageStrings()->cbegin(); it != languageStrings()->cend(); ++it) {
        const QString source = english->value(it.key()).toString();
        const QString text = it->toString();
        QVERIFY2(english->contains(it.key()), qPrintable(it.key()));
        for (const QString& mark : {u"%@"_s, u"__FILES__COUNT__"_s, u"&"_s})
            QVERIFY2(text.count(mark) == source.count(mark), qPrintable(it.key() + u": "_s + text));
    }

    // Formats keep their placeholder, once: the callers replace exactly one occurrence.
    // Confirmation word, free space, version, already subscribed, files count, one file count.
    for (const auto& [key, placeholder] :
        QList<std::pair<QString, QString>> {{u"IDS_KQ_27"_s, u"%@"_s}, {u"IDS_KQ_46"_s, u"%@"_s},
            {u"IDS_KQ_49"_s, u"%@"_s}, {u"IDS_KQ_92"_s, u"%@"_s},
            {u"IDS_KQ_16"_s, u"__FILES__COUNT__"_s}, {u"IDS_KQ_116"_s, u"__FILES__COUNT__"_s}}) {
        const QString text = localizedText(key);
        QVERIFY2(text.count(placeholder) == 1, qPrintable(key + u": "_s + text));
        QVERIFY2(placeholder != u"%@" || text.count(u'%') == 1, qPrintable(key + u": "_s + text));
    }
}

void TestModel::lookupFallbacks()
{
    QVariantMap table {{u"IDS_KQ_1"_s, u"Check for Updates..."_s}, {u"IDS_KQ_2"_s, qint64(42)},
        {u"IDS_KQ_3"_s, QVariantList {u"not a string"_s}}};
    setLanguageStrings(table);

    QCOMPARE(localizedText(u"IDS_KQ_1"_s), u"Check for Updates..."_s);
    QCOMPARE(localizedText(u"IDS_KQ_2"_s), QString());
    QCOMPARE(localizedText(u"IDS_KQ_3"_s), QString());
    QCOMPARE(localizedText(u"ids_kq_1"_s), QString());

    // A format fills its placeholder; a missing format gives nothing, not the bare argument.
    table.insert(u"IDS_KQ_49"_s, u"Version %@"_s);
    setLanguageStrings(table);
    QCOMPARE(localizedFormat(u"IDS_KQ_49"_s, u"1.2"_s), u"Version 1.2"_s);
    QCOMPARE(localizedFormat(u"IDS_KQ_5"_s, u"1.2"_s), QString());
}

void TestModel::shredSettingsReadTheStoredKeys_data()
{
    QTest::addColumn<QList<qint64>>("stored"); // "Algomethod", "verifyErase"; -1: absent
    QTest::addColumn<int>("method");
    QTest::addColumn<bool>("verify");
    QTest::newRow("nothing stored") << QList<qint64> {-1, -1} << 1 << false;
    QTest::newRow("none picked") << QList<qint64> {0, 0} << 0 << false;
    QTest::newRow("thorough, verified") << QList<qint64> {3, 1} << 3 << true;
    QTest::newRow("on is 1, not any number") << QList<qint64> {2, 2} << 2 << false;
}

void TestModel::shredSettingsReadTheStoredKeys()
{
    QFETCH(QList<qint64>, stored);
    QFETCH(int, method);
    QFETCH(bool, verify);
    TempTree tree;
    UserDefaults defaults(tree.path(u"defaults.plist"_s));
    // Written under the keys earlier versions used, so what users chose stays chosen.
    if (stored.at(0) >= 0)
        QVERIFY(defaults.setInteger(u"Algomethod"_s, stored.at(0)));
    if (stored.at(1) >= 0)
        QVERIFY(defaults.setInteger(u"verifyErase"_s, stored.at(1)));
    ShredSettings settings(defaults);
    QCOMPARE(settings.method(), method);
    QCOMPARE(settings.storedMethod().has_value(), stored.at(0) >= 0);
    QCOMPARE(settings.verify(), verify);
    settings.setVerify(!verify);
    QCOMPARE(defaults.integerForKey(u"verifyErase"_s), std::optional<qint64>(verify ? 0 : 1));
}

void TestModel::sizeText_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("locale");

    QTest::newRow("negative") << -5.0 << u"0 bytes"_s << u"C"_s;
    QTest::newRow("one byte, no singular") << 1.0 << u"1 bytes"_s << u"C"_s;
    QTest::newRow("fraction truncated") << 999.9 << u"999 bytes"_s << u"C"_s;
    QTest::newRow("1.05 as a float is below 1.05") << 1050.0 << u"1.0 KB"_s << u"C"_s;
    QTest::newRow("decimal, not binary units") << 1536.0 << u"1.5 KB"_s << u"C"_s;
    QTest::newRow("just under the rounding edge") << 999949.0 << u"999.9 KB"_s << u"C"_s;
    QTest::newRow("unit chosen before rounding") << 999950.0 << u"1000.0 KB"_s << u"C"_s;
    QTest::newRow("megabytes") << 1234567.0 << u"1.2 MB"_s << u"C"_s;
    QTest::newRow("no unit above GB") << 1500000000000.0 << u"1500.0 GB"_s << u"C"_s;
    // 999,999.999 rounds to 1,000,000 as a float, so the megabyte step sees exactly 1000;
    // double intermediates would give "1000.0 MB".
    QTest::newRow("float intermediate crosses into GB") << 999999999.0 << u"1.0 GB"_s << u"C"_s;
    // The locale's separator, chosen on purpose; no digit grouping, so the unit's number stays
    // as the table above has it.
    QTest::newRow("German comma") << 1536.0 << u"1,5 KB"_s << u"de_DE"_s;
    QTest::newRow("German, no grouping") << 1500000000000.0 << u"1500,0 GB"_s << u"de_DE"_s;
    QTest::newRow("US English, no grouping") << 999950.0 << u"1000.0 KB"_s << u"en_US"_s;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << u"0 bytes"_s
                                  << u"C"_s;
}

void TestModel::sizeText()
{
    QFETCH(double, bytes);
    QFETCH(QString, expected);
    QFETCH(QString, locale);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString text = ::sizeText(bytes);
    QLocale::setDefault(before);
    QCOMPARE(text, expected);
}

void TestModel::pathsKeepEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ASCII") << QByteArray("/tmp/a b%25#?") << u"/tmp/a b%25#?"_s;
    QTest::newRow("UTF-8") << QByteArray("/tmp/\xc3\xa9\xf0\x9f\x94\x92")
                           << u"/tmp/\u00e9\U0001F512"_s;
    QTest::newRow("U+FFFD itself") << QByteArray("/tmp/\xef\xbf\xbd") << u"/tmp/\uFFFD"_s;
    QTest::newRow("not UTF-8") << QByteArray("/tmp/\xff\xfe") << u"'/tmp/'$'\\377\\376'"_s;
    QTest::newRow("cut short") << QByteArray("/tmp/\xc3") << u"'/tmp/'$'\\303'"_s;
    QTest::newRow("overlong slash") << QByteArray("/tmp/\xc0\xaf") << u"'/tmp/'$'\\300\\257'"_s;
    // The escape of a raw byte, written as UTF-8, must not read back as that byte.
    QTest::newRow("encoded surrogate")
        << QByteArray("/tmp/\xed\xb3\xbf") << u"'/tmp/'$'\\355\\263\\277'"_s;
    QTest::newRow("above U+10FFFF")
        << QByteArray("/tmp/\xf4\x90\x80\x80") << u"'/tmp/'$'\\364\\220\\200\\200'"_s;
    QTest::newRow("control character") << QByteArray("/tmp/a\nb") << u"'/tmp/a'$'\\n''b'"_s;
    QTest::newRow("relative") << QByteArray("a\xff") << u"'a'$'\\377'"_s;
    // Still begins with a quote, as coreutils writes it.
    QTest::newRow("beginning with a byte") << QByteArray("\xff/a") << u"''$'\\377''/a'"_s;
    QTest::newRow("two leading slashes") << QByteArray("//srv/x") << u"//srv/x"_s;
}

void TestModel::pathsKeepEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    const QString text = PathText::fromNative(bytes);
    QCOMPARE(PathText::toNative(text), bytes);
    QCOMPARE(PathText::nativeOfUrl(PathText::urlFromNative(bytes)), bytes);
    QCOMPARE(PathText::nativeOfUrl(PathText::urlFromPath(text)), bytes);
    QCOMPARE(PathText::displayText(text), shown);
    // Through a file URL's text, as a drop's uri-list carries it.
    const QUrl sent(PathText::urlFromNative(bytes).toString(QUrl::FullyEncoded));
    QCOMPARE(PathText::nativeOfUrl(sent), bytes);
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
