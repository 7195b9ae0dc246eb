#include "PathChecks.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using Verdict = PathCheck::Verdict;
Q_DECLARE_METATYPE(PathCheck::Verdict)

namespace {

// Readable failure messages instead of bare enum numbers.
QString name(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Accepted:
        return QStringLiteral("Accepted");
    case Verdict::RestrictedName:
        return QStringLiteral("RestrictedName");
    case Verdict::NotWritable:
        return QStringLiteral("NotWritable");
    case Verdict::FileSystemRoot:
        return QStringLiteral("FileSystemRoot");
    case Verdict::TopLevelFolder:
        return QStringLiteral("TopLevelFolder");
    case Verdict::HomeFolder:
        return QStringLiteral("HomeFolder");
    case Verdict::VirtualFileSystem:
        return QStringLiteral("VirtualFileSystem");
    case Verdict::Missing:
        return QStringLiteral("Missing");
    }
    return QStringLiteral("unknown %1").arg(static_cast<int>(verdict));
}

QString currentLoginName()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QFile::decodeName(entry->pw_name) : QString();
}

// Makes `relative` inside `tree` as `make` says: "dir", "file", "none" or "link:TARGET" (TARGET
// relative to the tree unless it starts with '/').
bool makeItem(TempTree& tree, const QString& make, const QString& relative)
{
    if (make == u"none")
        return true;
    if (make == u"dir")
        return !tree.makeDir(relative).isEmpty();
    if (make == u"file")
        return !tree.writeFile(relative, "content").isEmpty();
    if (make.startsWith(u"link:")) {
        QString target = make.mid(5);
        if (!target.startsWith(u'/'))
            target = tree.path(target);
        return !tree.makeSymlink(relative, target).isEmpty();
    }
    return false;
}

} // namespace

class TestPathChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void restrictedNamesList();
    void restrictedNames_data();
    void restrictedNames();
    void systemLocations_data();
    void systemLocations();
    void itemsInTempFolder_data();
    void itemsInTempFolder();
    void homeFolder_data();
    void homeFolder();
    void otherUsersHomeFolders_data();
    void otherUsersHomeFolders();
    void homeFoldersInPasswordDatabase_data();
    void homeFoldersInPasswordDatabase();
    void urls();
    void notWritableForAnotherUser_data();
    void notWritableForAnotherUser();

private:
    QByteArray m_home;
};

void TestPathChecks::initTestCase()
{
    m_home = qgetenv("HOME");
}

void TestPathChecks::cleanup()
{
    qputenv("HOME", m_home);
    setExtraProtectedFoldersForTesting({});
}

void TestPathChecks::restrictedNamesList()
{
    const QStringList expected = {
        QStringLiteral("Desktop"),
        QStringLiteral("Documents"),
        QStringLiteral("Downloads"),
        QStringLiteral("Movies"),
        QStringLiteral("Music"),
        QStringLiteral("Pictures"),
        QStringLiteral("Public"),
        QStringLiteral("Users"),
        QStringLiteral("System"),
        QStringLiteral("Library"),
        QStringLiteral("Applications"),
        currentLoginName(),
    };
    QCOMPARE(arrRestrictedNames(), expected);
    QVERIFY(!arrRestrictedNames().constLast().isEmpty());
}

void TestPathChecks::restrictedNames_data()
{
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("suffix"); // appended to the path handed to the check
    QTest::addColumn<Verdict>("expected");

    const QString login = currentLoginName();
    QTest::newRow("Documents folder") << "dir"
                                      << "Documents"
                                      << "" << Verdict::RestrictedName;
    QTest::newRow("deep Library folder") << "dir"
                                         << "a/b/c/Library"
                                         << "" << Verdict::RestrictedName;
    QTest::newRow("file named Desktop") << "file"
                                        << "Desktop"
                                        << "" << Verdict::RestrictedName;
    QTest::newRow("trailing slash") << "dir"
                                    << "Downloads"
                                    << "/" << Verdict::RestrictedName;
    QTest::newRow("named like the login") << "file" << login << "" << Verdict::RestrictedName;
    QTest::newRow("missing, name wins") << "none"
                                        << "Pictures"
                                        << "" << Verdict::RestrictedName;
    QTest::newRow("lower case") << "dir"
                                << "documents"
                                << "" << Verdict::Accepted;
    QTest::newRow("longer name") << "dir"
                                 << "Documents.old"
                                 << "" << Verdict::Accepted;
    QTest::newRow("restricted parent only") << "file"
                                            << "Movies/clip.txt"
                                            << "" << Verdict::Accepted;
    QTest::newRow("link to Public, as a link") << "link:Public"
                                               << "alias"
                                               << "" << Verdict::Accepted;
    QTest::newRow("link to Public, followed") << "link:Public"
                                              << "alias"
                                              << "/" << Verdict::RestrictedName;
}

void TestPathChecks::restrictedNames()
{
    QFETCH(QString, make);
    QFETCH(QString, relative);
    QFETCH(QString, suffix);
    QFETCH(Verdict, expected);

    TempTree tree;
    QVERIFY(tree.isValid());
    tree.makeDir(QStringLiteral("Public"));
    QVERIFY(makeItem(tree, make, relative));

    const PathCheck check = checkPath(tree.path(relative) + suffix);
    QCOMPARE(name(check.verdict), name(expected));
    QCOMPARE(check.accepted(), expected == Verdict::Accepted);
}

void TestPathChecks::systemLocations_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Verdict>("expected");

    QTest::newRow("/") << "/" << Verdict::FileSystemRoot;
    QTest::newRow("//") << "//" << Verdict::FileSystemRoot;
    QTest::newRow("/./") << "/./" << Verdict::FileSystemRoot;
    QTest::newRow("/usr/bin/../..") << "/usr/bin/../.." << Verdict::FileSystemRoot;
    QTest::newRow("/usr") << "/usr" << Verdict::TopLevelFolder;
    QTest::newRow("/usr/") << "/usr/" << Verdict::TopLevelFolder;
    QTest::newRow("/tmp") << "/tmp" << Verdict::TopLevelFolder;
    QTest::newRow("/home") << "/home" << Verdict::TopLevelFolder;
    QTest::newRow("/proc") << "/proc" << Verdict::TopLevelFolder;
    QTest::newRow("/usr/../tmp") << "/usr/../tmp" << Verdict::TopLevelFolder;
    QTest::newRow("/usr/bin/..") << "/usr/bin/.." << Verdict::TopLevelFolder;
    QTest::newRow("/proc/self/fd") << "/proc/self/fd" << Verdict::VirtualFileSystem;
    QTest::newRow("/proc/self/status") << "/proc/self/status" << Verdict::VirtualFileSystem;
    QTest::newRow("/proc/self (a link)") << "/proc/self" << Verdict::VirtualFileSystem;
}

// Only the check sees these paths; nothing here removes or writes anything.
void TestPathChecks::systemLocations()
{
    QFETCH(QString, path);
    QFETCH(Verdict, expected);

    const PathCheck check = checkPath(path);
    QCOMPARE(name(check.verdict), name(expected));
    QVERIFY(!check.accepted());
    if (expected == Verdict::VirtualFileSystem)
        QCOMPARE(fileSystemTypeOf(path), QStringLiteral("proc"));
}

void TestPathChecks::itemsInTempFolder_data()
{
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<Verdict>("expected");

    QTest::newRow("file") << "file"
                          << "notes.txt"
                          << "" << Verdict::Accepted;
    QTest::newRow("folder") << "dir"
                            << "photos"
                            << "" << Verdict::Accepted;
    QTest::newRow("folder, trailing slash") << "dir"
                                            << "photos"
                                            << "/" << Verdict::Accepted;
    QTest::newRow("missing") << "none"
                             << "absent.txt"
                             << "" << Verdict::Missing;
    QTest::newRow("file with trailing slash") << "file"
                                              << "notes.txt"
                                              << "/" << Verdict::Missing;
    QTest::newRow("dangling link") << "link:nowhere"
                                   << "dangling"
                                   << "" << Verdict::Accepted;
    // Only the link is ever removed, so a link to "/" is an ordinary item...
    QTest::newRow("link to /") << "link:/"
                               << "root-link"
                               << "" << Verdict::Accepted;
    // ...but a trailing slash makes every file operation act on "/" itself.
    QTest::newRow("link to /, followed") << "link:/"
                                         << "root-link"
                                         << "/" << Verdict::FileSystemRoot;
    QTest::newRow("link to /usr, followed") << "link:/usr"
                                            << "usr-link"
                                            << "/" << Verdict::TopLevelFolder;
    // Lexically this is the temp folder; the kernel resolves ".." through the link to /usr.
    QTest::newRow("dot-dot through a link") << "link:/usr/bin"
                                            << "bin-link"
                                            << "/.." << Verdict::TopLevelFolder;
}

void TestPathChecks::itemsInTempFolder()
{
    QFETCH(QString, make);
    QFETCH(QString, relative);
    QFETCH(QString, suffix);
    QFETCH(Verdict, expected);

    TempTree tree;
    QVERIFY(tree.isValid());
    QVERIFY(makeItem(tree, make, relative));

    const PathCheck check = checkPath(tree.path(relative) + suffix);
    QCOMPARE(name(check.verdict), name(expected));
}

void TestPathChecks::homeFolder_data()
{
    QTest::addColumn<bool>("homeThroughLink");
    QTest::addColumn<QString>("relative"); // empty: the temp folder holding the home folder
    QTest::addColumn<Verdict>("expected");

    for (const bool viaLink : {false, true}) {
        const char* how = viaLink ? "HOME through a link: " : "HOME direct: ";
        const auto row = [&](const char* label) -> QTestData& {
            return QTest::newRow(qPrintable(QString::fromLatin1(how) + QLatin1String(label)));
        };
        row("home folder") << viaLink << "home" << Verdict::HomeFolder;
        row("home folder, trailing slash") << viaLink << "home/" << Verdict::HomeFolder;
        row("home folder by dot-dot") << viaLink << "home/sub/.." << Verdict::HomeFolder;
        row("folder holding it") << viaLink << "" << Verdict::HomeFolder;
        row("file inside") << viaLink << "home/file.txt" << Verdict::Accepted;
        row("folder inside") << viaLink << "home/sub" << Verdict::Accepted;
        // When HOME itself names the link, that path is the home folder as configured.
        row("link to home, as a link")
            << viaLink << "home-link" << (viaLink ? Verdict::HomeFolder : Verdict::Accepted);
        row("link to home, followed") << viaLink << "home-link/" << Verdict::HomeFolder;
        row("sibling with a longer name") << viaLink << "home2" << Verdict::Accepted;
    }
}

void TestPathChecks::homeFolder()
{
    QFETCH(bool, homeThroughLink);
    QFETCH(QString, relative);
    QFETCH(Verdict, expected);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString home = tree.makeDir(QStringLiteral("home"));
    tree.makeDir(QStringLiteral("home/sub"));
    tree.makeDir(QStringLiteral("home2"));
    tree.writeFile(QStringLiteral("home/file.txt"), "x");
    const QString homeLink = tree.makeSymlink(QStringLiteral("home-link"), home);
    QVERIFY(!homeLink.isEmpty());
    qputenv("HOME", QFile::encodeName(homeThroughLink ? homeLink : home));
    QCOMPARE(QDir::homePath(), homeThroughLink ? homeLink : home);

    const QString path = relative.isEmpty() ? tree.path() : tree.path(relative);
    const PathCheck check = checkPath(path);
    QCOMPARE(name(check.verdict), name(expected));
}

void TestPathChecks::otherUsersHomeFolders_data()
{
    QTest::addColumn<bool>("listedThroughLink");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<Verdict>("expected");

    for (const bool viaLink : {false, true}) {
        const char* how = viaLink ? "listed through a link: " : "listed direct: ";
        const auto row = [&](const char* label) -> QTestData& {
            return QTest::newRow(qPrintable(QString::fromLatin1(how) + QLatin1String(label)));
        };
        row("their home") << viaLink << "users/alice" << Verdict::HomeFolder;
        row("their home, trailing slash") << viaLink << "users/alice/" << Verdict::HomeFolder;
        row("folder holding it") << viaLink << "users" << Verdict::HomeFolder;
        row("link to it, followed") << viaLink << "alice-link/" << Verdict::HomeFolder;
        row("file inside") << viaLink << "users/alice/notes.txt" << Verdict::Accepted;
        row("folder inside") << viaLink << "users/alice/sub" << Verdict::Accepted;
        row("sibling with a longer name") << viaLink << "users/alice2" << Verdict::Accepted;
    }
}

// Running as root, another user's home must be as safe as one's own. The password database
// cannot be changed by a test, so a temporary folder is registered as such a home.
void TestPathChecks::otherUsersHomeFolders()
{
    QFETCH(bool, listedThroughLink);
    QFETCH(QString, relative);
    QFETCH(Verdict, expected);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString alice = tree.makeDir(QStringLiteral("users/alice"));
    tree.makeDir(QStringLiteral("users/alice/sub"));
    tree.makeDir(QStringLiteral("users/alice2"));
    tree.writeFile(QStringLiteral("users/alice/notes.txt"), "x");
    const QString aliceLink = tree.makeSymlink(QStringLiteral("alice-link"), alice);
    QVERIFY(!aliceLink.isEmpty());
    // Our own home lies elsewhere, so only the registered one can refuse.
    TempTree ownHome;
    qputenv("HOME", QFile::encodeName(ownHome.path()));

    const QString path = tree.path(relative);
    QCOMPARE(name(checkPath(path).verdict), name(Verdict::Accepted));
    setExtraProtectedFoldersForTesting({listedThroughLink ? aliceLink : alice});
    QCOMPARE(name(checkPath(path).verdict), name(expected));
}

void TestPathChecks::homeFoldersInPasswordDatabase_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Verdict>("expected");

    // What the check is expected to say first about a protected folder.
    const auto expectedFor = [](const QString& folder) {
        const QString clean = QDir::cleanPath(folder);
        if (arrRestrictedNames().contains(clean.mid(clean.lastIndexOf(u'/') + 1)))
            return Verdict::RestrictedName;
        return clean.lastIndexOf(u'/') == 0 ? Verdict::TopLevelFolder : Verdict::HomeFolder;
    };
    const passwd* rootEntry = ::getpwuid(0);
    QVERIFY(rootEntry && rootEntry->pw_dir);
    const QString rootHome = QFile::decodeName(rootEntry->pw_dir);
    QTest::newRow("uid 0's home") << rootHome << expectedFor(rootHome);

    QStringList seen {rootHome};
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        const QString home = QFile::decodeName(entry->pw_dir);
        if (!QDir::isAbsolutePath(home) || QDir::cleanPath(home) == u"/"
            || !QFileInfo::exists(home))
            continue;
        const QString parent = QFileInfo(QDir::cleanPath(home)).path();
        for (const QString& folder : {home, parent}) {
            if (folder == u"/" || seen.contains(folder))
                continue;
            seen << folder;
            const QString label
                = QStringLiteral("%1's %2 %3")
                      .arg(QFile::decodeName(entry->pw_name),
                          folder == home ? QStringLiteral("home") : QStringLiteral("home's parent"),
                          folder);
            QTest::newRow(qPrintable(label)) << folder << expectedFor(folder);
        }
    }
    ::endpwent();
}

// Only the check sees these real folders; nothing here writes or removes anything.
void TestPathChecks::homeFoldersInPasswordDatabase()
{
    QFETCH(QString, path);
    QFETCH(Verdict, expected);

    TempTree ownHome;
    qputenv("HOME", QFile::encodeName(ownHome.path()));
    const PathCheck check = checkPath(path);
    QCOMPARE(name(check.verdict), name(expected));
    QVERIFY(!check.accepted());
}

void TestPathChecks::urls()
{
    TempTree tree;
    QVERIFY(tree.isValid());
    const QString file = tree.writeFile(QStringLiteral("a.txt"), "a");

    QCOMPARE(name(checkUrl(QUrl::fromLocalFile(file)).verdict), name(Verdict::Accepted));
    QCOMPARE(name(checkUrl(QUrl::fromLocalFile(tree.path(QStringLiteral("Documents")))).verdict),
        name(Verdict::RestrictedName));
    QCOMPARE(name(checkUrl(QUrl(QStringLiteral("https://example.invalid/a.txt"))).verdict),
        name(Verdict::Missing));
    QCOMPARE(name(checkPath(QString()).verdict), name(Verdict::Missing));
}

void TestPathChecks::notWritableForAnotherUser_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<Verdict>("expected");

    QTest::newRow("root's 0644 file") << "ro.txt" << Verdict::NotWritable;
    QTest::newRow("root's 0755 folder") << "locked" << Verdict::NotWritable;
    QTest::newRow("world-writable file") << "open.txt" << Verdict::Accepted;
    QTest::newRow("restricted name before writability") << "Documents" << Verdict::RestrictedName;
    // A link is judged by its folder: removing it needs write access there, not to the target.
    QTest::newRow("link to a writable file in a locked folder")
        << "locked/link" << Verdict::NotWritable;
    QTest::newRow("link to a read-only file in an open folder")
        << "shared/link" << Verdict::Accepted;
}

void TestPathChecks::notWritableForAnotherUser()
{
    if (!canDropPrivileges())
        QSKIP("needs root to check as another user");
    QFETCH(QString, relative);
    QFETCH(Verdict, expected);

    TempTree tree;
    QVERIFY(tree.isValid());
    // The other user must be able to reach the items to judge them.
    QCOMPARE(::chmod(QFile::encodeName(tree.path()).constData(), 0755), 0);
    const QString ro = tree.writeFile(QStringLiteral("ro.txt"), "r");
    const QString open = tree.writeFile(QStringLiteral("open.txt"), "o");
    const QString locked = tree.makeDir(QStringLiteral("locked"));
    const QString shared = tree.makeDir(QStringLiteral("shared"));
    tree.makeDir(QStringLiteral("Documents"));
    QVERIFY(!tree.makeSymlink(QStringLiteral("locked/link"), open).isEmpty());
    QVERIFY(!tree.makeSymlink(QStringLiteral("shared/link"), ro).isEmpty());
    QCOMPARE(::chmod(QFile::encodeName(ro).constData(), 0644), 0);
    QCOMPARE(::chmod(QFile::encodeName(open).constData(), 0666), 0);
    QCOMPARE(::chmod(QFile::encodeName(locked).constData(), 0755), 0);
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 0777), 0);
    QCOMPARE(
        ::chmod(QFile::encodeName(tree.path(QStringLiteral("Documents"))).constData(), 0755), 0);

    const QString path = tree.path(relative);
    const int result = runUnprivileged([&] { return static_cast<int>(checkPath(path).verdict); });
    QVERIFY2(result >= 0, "the unprivileged child could not run");
    QCOMPARE(name(static_cast<Verdict>(result)), name(expected));

    // As root the same items pass, so the refusal above is the other user's.
    if (expected == Verdict::NotWritable)
        QCOMPARE(name(checkPath(path).verdict), name(Verdict::Accepted));
}

QTEST_GUILESS_MAIN(TestPathChecks)
#include "tst_pathchecks.moc"
