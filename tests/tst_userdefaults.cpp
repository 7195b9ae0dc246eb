// SPDX-License-Identifier: GPL-3.0-or-later
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a symbolic link holds, as written; empty when `path` is not a link.
QString linkText(const QString& path)
{
    char buffer[4096];
    const ssize_t length = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer);
    return length < 0 ? QString() : QFile::decodeName(QByteArray(buffer, length));
}

} // namespace

class TestUserDefaults : public QObject
{
    Q_OBJECT

private slots:
    void roundTripAcrossInstances();
    void wrongTypeReadsAsNotSet();
    void corruptFileIsKeptAside();
    void writeReplacesAtomically();
    void unwritableFolderFailsButKeepsValue();
    void doubtfulFileMakesStoreReadOnly_data();
    void doubtfulFileMakesStoreReadOnly();
    void symbolicLinkIsWrittenThrough_data();
    void symbolicLinkIsWrittenThrough();
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
    QCOMPARE(reread.stringForKey(QStringLiteral("lastVersion")),
        std::optional<QString>(QStringLiteral("1.2 ü")));
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
    QCOMPARE(
        UserDefaults(file).integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));
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
    QCOMPARE(
        QDir(tree.path()).entryList(QDir::Files), QStringList {QStringLiteral("defaults.plist")});
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

void TestUserDefaults::doubtfulFileMakesStoreReadOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("damaged");

    // Another user's permissions: the owner may write the file but not read it.
    QTest::newRow("write-only file") << QStringLiteral("defaults.plist") << false;
    // Its ".corrupt-<time>" name would pass the file system's 255-byte limit, so the rename
    // fails while a new file could still be written beside it.
    QTest::newRow("damaged file that cannot be moved aside") << QString(245, u'n') << true;
}

void TestUserDefaults::doubtfulFileMakesStoreReadOnly()
{
    QFETCH(QString, name);
    QFETCH(bool, damaged);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString folder = tree.makeDir(QStringLiteral("cfg"));
    const QString file = tree.path(QStringLiteral("cfg/") + name);
    QByteArray original;
    if (damaged) {
        original = "<?xml version=\"1.0\"?><plist><dict><key>Algo";
        QVERIFY(!tree.writeFile(QStringLiteral("cfg/") + name, original).isEmpty());
    } else {
        UserDefaults setup(file);
        QVERIFY(setup.setInteger(QStringLiteral("Algomethod"), 3));
        QVERIFY(setup.setString(QStringLiteral("lastVersion"), QStringLiteral("1.0")));
        original = TempTree::readFile(file);
        QVERIFY(!original.isEmpty());
    }
    const QByteArray nativeFile = QFile::encodeName(file);
    const QByteArray nativeFolder = QFile::encodeName(folder);
    // The child's user owns folder and file, so only reading or renaming can fail for it.
    if (canDropPrivileges()) {
        QCOMPARE(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
        QCOMPARE(::chown(nativeFolder.constData(), 65534, 65534), 0);
        QCOMPARE(::chown(nativeFile.constData(), 65534, 65534), 0);
    }
    if (!damaged)
        QCOMPARE(::chmod(nativeFile.constData(), 0200), 0);

    const QString logPath = tree.path(QStringLiteral("stderr.txt"));
    const int logFd = ::open(
        QFile::encodeName(logPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    QVERIFY(logFd >= 0);
    // 0 when every expectation holds in the child, else the number of the first that failed.
    const int failed = runUnprivileged([&] {
        ::dup2(logFd, STDERR_FILENO);
        UserDefaults defaults(file);
        if (defaults.setInteger(QStringLiteral("Algomethod"), 5))
            return 1;
        if (defaults.integerForKey(QStringLiteral("Algomethod")) != std::optional<qint64>(5))
            return 2;
        if (!defaults.isReadOnly())
            return 3;
        if (!defaults.corruptFileKeptAt().isEmpty())
            return 4;
        if (defaults.removeObjectForKey(QStringLiteral("lastVersion")))
            return 5;
        return 0;
    });
    ::close(logFd);
    QVERIFY2(failed >= 0, "the unprivileged child could not run");
    QVERIFY2(
        failed == 0, qPrintable(QStringLiteral("expectation %1 failed in the child").arg(failed)));

    // The user's file is untouched and nothing was left beside it.
    QCOMPARE(::chmod(nativeFile.constData(), 0600), 0);
    QCOMPARE(TempTree::readFile(file), original);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList {name});
    if (!damaged) {
        UserDefaults reread(file);
        QCOMPARE(reread.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(3));
        QCOMPARE(reread.stringForKey(QStringLiteral("lastVersion")),
            std::optional<QString>(QStringLiteral("1.0")));
    }
    // One line tells the user why their changes are not kept.
    const QByteArray log = TempTree::readFile(logPath);
    QCOMPARE(log.count('\n'), 1);
    QVERIFY2(log.contains(nativeFile), log.constData());
}

void TestUserDefaults::symbolicLinkIsWrittenThrough_data()
{
    QTest::addColumn<QStringList>("links"); // "name -> target" in cfg/, the first is the settings
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("writes");

    const QString real = QStringLiteral("../dotfiles/defaults.plist");
    QTest::newRow("relative link") << QStringList {real} << true << true;
    QTest::newRow("link to a link")
        << QStringList {QStringLiteral("second.plist"), real} << true << true;
    QTest::newRow("link to a file not made yet") << QStringList {real} << false << true;
    // A loop names no file at all; replacing the link would destroy the user's set-up.
    QTest::newRow("links in a loop")
        << QStringList {QStringLiteral("second.plist"), QStringLiteral("defaults.plist")} << false
        << false;
}

void TestUserDefaults::symbolicLinkIsWrittenThrough()
{
    QFETCH(QStringList, links);
    QFETCH(bool, targetExists);
    QFETCH(bool, writes);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString target = tree.path(QStringLiteral("dotfiles/defaults.plist"));
    tree.makeDir(QStringLiteral("dotfiles"));
    if (targetExists)
        QVERIFY(UserDefaults(target).setInteger(QStringLiteral("kept"), 1));
    const QStringList names {QStringLiteral("defaults.plist"), QStringLiteral("second.plist")};
    for (qsizetype i = 0; i < links.size(); ++i)
        QVERIFY(!tree.makeSymlink(QStringLiteral("cfg/") + names.at(i), links.at(i)).isEmpty());
    const QString file = tree.path(QStringLiteral("cfg/defaults.plist"));

    UserDefaults defaults(file);
    QCOMPARE(defaults.setInteger(QStringLiteral("Algomethod"), 2), writes);
    QCOMPARE(defaults.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));

    // Every link is still the same link...
    for (qsizetype i = 0; i < links.size(); ++i) {
        const QString link = tree.path(QStringLiteral("cfg/") + names.at(i));
        QCOMPARE(linkText(link), links.at(i));
    }
    QCOMPARE(QDir(tree.path(QStringLiteral("cfg")))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
        names.mid(0, links.size()));
    // ...and the file it names got the change, beside what it held.
    if (!writes) {
        QVERIFY(!TempTree::exists(target));
        return;
    }
    UserDefaults reread(target);
    QCOMPARE(reread.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));
    QCOMPARE(reread.contains(QStringLiteral("kept")), targetExists);
    QCOMPARE(QDir(tree.path(QStringLiteral("dotfiles"))).entryList(QDir::Files | QDir::Hidden),
        QStringList {QStringLiteral("defaults.plist")});
}

void TestUserDefaults::defaultPathFollowsXdgConfigHome()
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/some/config");
    QCOMPARE(
        UserDefaults::defaultFilePath(), QStringLiteral("/some/config/corvane/defaults.plist"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(UserDefaults::defaultFilePath(),
        QDir::homePath() + QStringLiteral("/.config/corvane/defaults.plist"));
    qputenv("XDG_CONFIG_HOME", saved);
}

QTEST_GUILESS_MAIN(TestUserDefaults)
#include "tst_userdefaults.moc"
