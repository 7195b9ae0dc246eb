#include "UserDefaults.h"

#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

class TestUserDefaults : public QObject
{
    Q_OBJECT

private slots:
    void roundTripAcrossInstances();
    void wrongTypeReadsAsNotSet();
    void corruptFileIsKeptAside();
    void writeReplacesAtomically();
    void unwritableFolderFailsButKeepsValue();
    void defaultPathFollowsXdgConfigHome();
};

void TestUserDefaults::roundTripAcrossInstances()
{
    TempTree tree;
    const QString file = tree.path(QStringLiteral("cfg/corvane/defaults.plist"));
    {
        UserDefaults defaults(file);
        QVERIFY(!defaults.integerForKey(QStringLiteral("Algomethod")));
        QVERIFY(defaults.setInteger(QStringLiteral("Algomethod"), 3));
        QVERIFY(defaults.setInteger(QStringLiteral("negative"), -7));
        QVERIFY(defaults.setString(QStringLiteral("lastVersion"), QStringLiteral("1.2 ü")));
        QVERIFY(defaults.setDouble(QStringLiteral("ratio"), 0.25));
        QVERIFY(defaults.setBool(QStringLiteral("flag"), true));
        QVERIFY(defaults.setInteger(QStringLiteral("gone"), 1));
        QVERIFY(defaults.removeObjectForKey(QStringLiteral("gone")));
    }
    UserDefaults reread(file);
    QCOMPARE(reread.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(3));
    QCOMPARE(reread.integerForKey(QStringLiteral("negative")), std::optional<qint64>(-7));
    QCOMPARE(reread.stringForKey(QStringLiteral("lastVersion")), std::optional<QString>(QStringLiteral("1.2 ü")));
    QCOMPARE(reread.doubleForKey(QStringLiteral("ratio")), std::optional<double>(0.25));
    QCOMPARE(reread.boolForKey(QStringLiteral("flag")), std::optional<bool>(true));
    QVERIFY(!reread.contains(QStringLiteral("gone")));
}

void TestUserDefaults::wrongTypeReadsAsNotSet()
{
    TempTree tree;
    UserDefaults defaults(tree.path(QStringLiteral("defaults.plist")));
    defaults.setString(QStringLiteral("Algomethod"), QStringLiteral("3"));
    defaults.setInteger(QStringLiteral("name"), 5);
    QVERIFY(!defaults.integerForKey(QStringLiteral("Algomethod")));
    QVERIFY(!defaults.boolForKey(QStringLiteral("Algomethod")));
    QVERIFY(!defaults.stringForKey(QStringLiteral("name")));
    QVERIFY(!defaults.doubleForKey(QStringLiteral("name")));
    QVERIFY(defaults.contains(QStringLiteral("name")));
}

void TestUserDefaults::corruptFileIsKeptAside()
{
    TempTree tree;
    const QByteArray garbage("<?xml version=\"1.0\"?><plist><dict><key>Algo");
    const QString file = tree.writeFile(QStringLiteral("defaults.plist"), garbage);
    UserDefaults defaults(file);
    QVERIFY(!defaults.integerForKey(QStringLiteral("Algomethod")));
    const QString kept = defaults.corruptFileKeptAt();
    QVERIFY(!kept.isEmpty());
    QCOMPARE(TempTree::readFile(kept), garbage);
    // A later write makes a new file and leaves the damaged one alone.
    QVERIFY(defaults.setInteger(QStringLiteral("Algomethod"), 2));
    QCOMPARE(TempTree::readFile(kept), garbage);
    QCOMPARE(UserDefaults(file).integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));
}

void TestUserDefaults::writeReplacesAtomically()
{
    TempTree tree;
    const QString file = tree.path(QStringLiteral("defaults.plist"));
    UserDefaults defaults(file);
    QVERIFY(defaults.setInteger(QStringLiteral("a"), 1));
    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    QVERIFY(defaults.setInteger(QStringLiteral("b"), 2));
    struct stat after;
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
    // A rename puts a new inode in place; writing in place would keep the old one.
    QVERIFY(before.st_ino != after.st_ino);
    // No temporary files are left behind.
    QCOMPARE(QDir(tree.path()).entryList(QDir::Files), QStringList{QStringLiteral("defaults.plist")});
}

void TestUserDefaults::unwritableFolderFailsButKeepsValue()
{
    TempTree tree;
    // A regular file where the folder should be makes every write fail, even for root.
    tree.writeFile(QStringLiteral("blocker"), "x");
    UserDefaults defaults(tree.path(QStringLiteral("blocker/defaults.plist")));
    QVERIFY(!defaults.setInteger(QStringLiteral("Algomethod"), 2));
    QCOMPARE(defaults.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));
}

void TestUserDefaults::defaultPathFollowsXdgConfigHome()
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/some/config");
    QCOMPARE(UserDefaults::defaultFilePath(), QStringLiteral("/some/config/corvane/defaults.plist"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(UserDefaults::defaultFilePath(), QDir::homePath() + QStringLiteral("/.config/corvane/defaults.plist"));
    qputenv("XDG_CONFIG_HOME", saved);
}

QTEST_GUILESS_MAIN(TestUserDefaults)
#include "tst_userdefaults.moc"
