// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageTable.h"
#include "TempTree.h"

#include <QFile>
#include <QTest>

class TestLanguageTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void loadFromFolder_data();
    void loadFromFolder();
    void realTableCoversEveryKey();
    void formatKeysKeepPlaceholders_data();
    void formatKeysKeepPlaceholders();
    void lookupFallbacks();
};

void TestLanguageTable::init()
{
    setLanguageStrings(std::nullopt);
}

void TestLanguageTable::cleanupTestCase()
{
    setLanguageStrings(std::nullopt);
}

void TestLanguageTable::loadFromFolder_data()
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

void TestLanguageTable::loadFromFolder()
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
    if (loads)
        QCOMPARE(table->size(), 2);
}

void TestLanguageTable::realTableCoversEveryKey()
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

void TestLanguageTable::formatKeysKeepPlaceholders_data()
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

void TestLanguageTable::formatKeysKeepPlaceholders()
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

void TestLanguageTable::lookupFallbacks()
{
    QVariantMap table;
    table.insert(QStringLiteral("IDS_KQ_1"), QStringLiteral("Check for Updates..."));
    table.insert(QStringLiteral("IDS_KQ_2"), qint64(42));
    table.insert(QStringLiteral("IDS_KQ_3"), QVariantList {QStringLiteral("not a string")});
    table.insert(QStringLiteral("IDS_KQ_4"), QString());
    setLanguageStrings(table);

    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_1")), QStringLiteral("Check for Updates..."));
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_2")), QString());
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_3")), QString());
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_4")), QString());
    QCOMPARE(localizedText(QStringLiteral("IDS_KQ_5")), QString());
    QCOMPARE(localizedText(QStringLiteral("ids_kq_1")), QString());

    // A format fills its placeholder; a missing format gives nothing, not the bare argument.
    table.insert(QStringLiteral("IDS_KQ_49"), QStringLiteral("Version %@"));
    setLanguageStrings(table);
    QCOMPARE(localizedFormat(QStringLiteral("IDS_KQ_49"), QStringLiteral("1.2")), QStringLiteral("Version 1.2"));
    QCOMPARE(localizedFormat(QStringLiteral("IDS_KQ_5"), QStringLiteral("1.2")), QString());
}

QTEST_GUILESS_MAIN(TestLanguageTable)
#include "tst_languagetable.moc"
