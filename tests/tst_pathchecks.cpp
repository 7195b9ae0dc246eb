// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathChecks.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Verdict = PathCheck::Verdict;
Q_DECLARE_METATYPE(PathCheck::Verdict)

// A failed comparison names the verdicts.
char* toString(Verdict verdict)
{
    return qstrdup(qPrintable(PathCheck {verdict}.reason()));
}

namespace {

// Makes `relative` in `tree` as `make` says: "dir", "file", "none" or "link:TARGET" (TARGET
// relative to the tree unless it starts with '/').
bool makeItem(TempTree& tree, const QString& make, const QString& relative)
{
    if (make == u"dir")
        return !tree.makeDir(relative).isEmpty();
    if (make == u"file")
        return !tree.writeFile(relative, "content").isEmpty();
    if (make.startsWith(u"link:")) {
        const QString target = make.mid(5);
        return !tree.makeSymlink(relative, target.startsWith(u'/') ? target : tree.path(target))
                    .isEmpty();
    }
    return make == u"none";
}

} // namespace

class TestPathChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_home = qgetenv("HOME"); }
    void cleanup();
    void itemsInTempFolder_data();
    void itemsInTempFolder();
    void homeFolders_data();
    void homeFolders();
    void homeFoldersInPasswordDatabase();
    void urls();
    void notWritableForAnotherUser_data();
    void notWritableForAnotherUser();

private:
    QByteArray m_home;
};

void TestPathChecks::cleanup()
{
    qputenv("HOME", m_home);
    setExtraProtectedFoldersForTesting({});
}

void TestPathChecks::itemsInTempFolder_data()
{
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("relative"); // to a temporary folder, unless absolute
    QTest::addColumn<QString>("suffix"); // appended to the path handed to the check
    QTest::addColumn<Verdict>("expected");

    const auto row = [](const char* name, const char* make, const QString& relative,
                         const char* suffix, Verdict expected) {
        QTest::newRow(name) << QString::fromLatin1(make) << relative << QString::fromLatin1(suffix)
                            << expected;
    };
    // Restricted names: exact, case included, wherever they lie, even missing.
    row("Documents folder, trailing slash", "dir", u"Documents"_s, "/", Verdict::RestrictedName);
    row("missing Pictures: the name wins", "none", u"Pictures"_s, "", Verdict::RestrictedName);
    const passwd* user = ::getpwuid(::geteuid());
    row("named like the login", "file", user ? QFile::decodeName(user->pw_name) : QString(), "",
        Verdict::RestrictedName);
    row("lower case", "dir", u"documents"_s, "", Verdict::Accepted);
    row("longer name", "dir", u"Documents.old"_s, "", Verdict::Accepted);
    row("restricted parent only", "file", u"Movies/clip.txt"_s, "", Verdict::Accepted);
    row("missing", "none", u"absent.txt"_s, "", Verdict::Missing);
    row("file with trailing slash", "file", u"notes.txt"_s, "/", Verdict::Missing);
    // Links: only the link is ever removed, so the target counts only when followed.
    row("dangling link", "link:nowhere", u"dangling"_s, "", Verdict::Accepted);
    row("link to Public, followed", "link:Public", u"alias"_s, "/", Verdict::RestrictedName);
    row("link to /", "link:/", u"root-link"_s, "", Verdict::Accepted);
    row("link to /, followed", "link:/", u"root-link"_s, "/", Verdict::FileSystemRoot);
    row("link to /usr, followed", "link:/usr", u"usr-link"_s, "/", Verdict::TopLevelFolder);
    // Lexically this is the temp folder; the kernel resolves ".." through the link to /usr.
    row("dot-dot through a link", "link:/usr/bin", u"bin-link"_s, "/..", Verdict::TopLevelFolder);
    // System locations: only the check sees them, nothing here removes or writes anything.
    row("/", "none", u"/"_s, "", Verdict::FileSystemRoot);
    row("//", "none", u"//"_s, "", Verdict::FileSystemRoot);
    row("/usr/bin/../..", "none", u"/usr/bin/../.."_s, "", Verdict::FileSystemRoot);
    row("/usr/", "none", u"/usr/"_s, "", Verdict::TopLevelFolder);
    row("/usr/../tmp", "none", u"/usr/../tmp"_s, "", Verdict::TopLevelFolder);
    row("/proc/self/status", "none", u"/proc/self/status"_s, "", Verdict::VirtualFileSystem);
    row("/proc/self, a link", "none", u"/proc/self"_s, "", Verdict::VirtualFileSystem);
}

void TestPathChecks::itemsInTempFolder()
{
    QFETCH(QString, make);
    QFETCH(QString, relative);
    QFETCH(QString, suffix);
    QFETCH(Verdict, expected);

    TempTree tree;
    tree.makeDir(u"Public"_s);
    QVERIFY(makeItem(tree, make, relative));
    const QString path = relative.startsWith(u'/') ? relative : tree.path(relative);
    QCOMPARE(checkPath(path + suffix).verdict, expected);
}

void TestPathChecks::homeFolders_data()
{
    QTest::addColumn<QString>("how"); // HOME names it, or it is registered as another's home
    QTest::addColumn<bool>("throughLink"); // named by the link alice-link
    QTest::addColumn<QString>("relative"); // what is checked
    QTest::addColumn<Verdict>("expected");

    const auto row = [](const char* how, bool link, const char* relative, Verdict expected) {
        QTest::addRow("%s%s: %s", how, link ? " via link" : "", relative)
            << QString::fromLatin1(how) << link << QString::fromLatin1(relative) << expected;
    };
    const auto home = Verdict::HomeFolder;
    const auto accepted = Verdict::Accepted;
    row("HOME", false, "users/alice", home);
    row("HOME", false, "users/alice/", home);
    row("HOME", false, "users/alice/sub/..", home);
    row("HOME", false, "users", home);
    row("HOME", false, "users/alice/notes.txt", accepted);
    row("HOME", false, "users/alice2", accepted);
    row("HOME", false, "alice-link", accepted);
    row("HOME", false, "alice-link/", home);
    // When HOME itself names the link, that path is the home folder as configured.
    row("HOME", true, "alice-link", home);
    row("HOME", true, "users/alice", home);
    row("other user", false, "users/alice", home);
    row("other user", false, "users/alice2", accepted);
    row("other user", true, "users/alice/", home);
    row("system account", false, "users/alice", Verdict::SystemFolder);
    row("system account", false, "users", Verdict::SystemFolder);
    row("system account", false, "users/alice2", accepted);
}

// Running as root, another user's home must be as safe as one's own. The password database
// cannot be changed by a test, so a temporary folder is registered as such a home.
void TestPathChecks::homeFolders()
{
    QFETCH(QString, how);
    QFETCH(bool, throughLink);
    QFETCH(QString, relative);
    QFETCH(Verdict, expected);

    TempTree tree;
    const QString alice = tree.makeDir(u"users/alice"_s);
    tree.makeDir(u"users/alice/sub"_s); // for sub/..
    tree.makeDir(u"users/alice2"_s);
    tree.writeFile(u"users/alice/notes.txt"_s, "x");
    const QString aliceLink = tree.makeSymlink(u"alice-link"_s, alice);
    QVERIFY(!aliceLink.isEmpty());
    const QString path = tree.path(relative);
    TempTree ownHome;
    if (how == u"HOME") {
        qputenv("HOME", QFile::encodeName(throughLink ? aliceLink : alice));
    } else {
        // Our own home lies elsewhere, so only the registered one can refuse.
        qputenv("HOME", QFile::encodeName(ownHome.path()));
        QCOMPARE(checkPath(path).verdict, Verdict::Accepted);
        const QString registered = throughLink ? aliceLink : alice;
        if (how == u"system account")
            setExtraProtectedFoldersForTesting({}, {registered});
        else
            setExtraProtectedFoldersForTesting({registered});
    }
    QCOMPARE(checkPath(path).verdict, expected);
}

// Only the check sees these real folders; nothing here writes or removes anything.
void TestPathChecks::homeFoldersInPasswordDatabase()
{
    TempTree ownHome;
    qputenv("HOME", QFile::encodeName(ownHome.path()));
    QStringList personal;
    QStringList system;
    ::setpwent();
    while (const passwd* entry = ::getpwent()) {
        const QString home
            = QFileInfo(QDir::cleanPath(QFile::decodeName(entry->pw_dir))).canonicalFilePath();
        if (home.startsWith(u'/') && home != u"/")
            (entry->pw_uid == 0 || entry->pw_uid >= 1000 ? personal : system).append(home);
    }
    ::endpwent();
    for (const QString& home : personal)
        QVERIFY2(!checkPath(home).accepted() && checkPath(home).verdict != Verdict::SystemFolder,
            qPrintable(home));
    // A service's folder (/usr/sbin, /var/lib/postgresql) and what holds it are refused as
    // system folders, not as somebody's home.
    for (const QString& home : system) {
        const QString parent = QFileInfo(home).path();
        for (const QString& path : {home, parent}) {
            if (personal.contains(path)
                || std::any_of(personal.cbegin(), personal.cend(),
                    [&](const QString& p) { return p.startsWith(path + u'/'); }))
                continue;
            const Verdict verdict = checkPath(path).verdict;
            QVERIFY2(verdict == Verdict::SystemFolder || verdict == Verdict::TopLevelFolder
                    || verdict == Verdict::FileSystemRoot || verdict == Verdict::VirtualFileSystem,
                qPrintable(path + u": "_s + checkPath(path).reason()));
        }
    }
}

void TestPathChecks::urls()
{
    const TempTree tree;
    QCOMPARE(
        checkUrl(QUrl::fromLocalFile(tree.path(u"Documents"_s))).verdict, Verdict::RestrictedName);
    QCOMPARE(checkUrl(QUrl(u"https://example.invalid/a.txt"_s)).verdict, Verdict::Missing);
    QCOMPARE(checkPath(QString()).verdict, Verdict::Missing);
}

void TestPathChecks::notWritableForAnotherUser_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<Verdict>("expected");

    QTest::newRow("root's 0644 file") << u"ro.txt"_s << Verdict::NotWritable;
    QTest::newRow("root's 0755 folder") << u"locked"_s << Verdict::NotWritable;
    QTest::newRow("restricted name before writability")
        << u"Documents"_s << Verdict::RestrictedName;
    // A link is judged by its folder: removing it needs write access there, not to the target.
    QTest::newRow("link to a writable file in a locked folder")
        << u"locked/link"_s << Verdict::NotWritable;
    QTest::newRow("link to a read-only file in an open folder")
        << u"shared/link"_s << Verdict::Accepted;
}

void TestPathChecks::notWritableForAnotherUser()
{
    if (!canDropPrivileges())
        QSKIP("needs root to check as another user");
    QFETCH(QString, relative);
    QFETCH(Verdict, expected);

    TempTree tree;
    tree.writeFile(u"ro.txt"_s, "r");
    tree.writeFile(u"open.txt"_s, "o");
    tree.makeDir(u"Documents"_s);
    QVERIFY(!tree.makeSymlink(u"locked/link"_s, tree.path(u"open.txt"_s)).isEmpty());
    QVERIFY(!tree.makeSymlink(u"shared/link"_s, tree.path(u"ro.txt"_s)).isEmpty());
    // The other user must be able to reach the items to judge them.
    const std::pair<QString, mode_t> modes[] = {{QString(), 0755}, {u"ro.txt"_s, 0644},
        {u"open.txt"_s, 0666}, {u"locked"_s, 0755}, {u"shared"_s, 0777}, {u"Documents"_s, 0755}};
    for (const auto& [item, mode] : modes) {
        const QString path = item.isEmpty() ? tree.path() : tree.path(item);
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
    }

    const QString path = tree.path(relative);
    const int result = runUnprivileged([&] { return static_cast<int>(checkPath(path).verdict); });
    QVERIFY2(result >= 0, "the unprivileged child could not run");
    QCOMPARE(static_cast<Verdict>(result), expected);
    // As root the same items pass, so the refusal above is the other user's.
    if (expected == Verdict::NotWritable)
        QCOMPARE(checkPath(path).verdict, Verdict::Accepted);
}

QTEST_GUILESS_MAIN(TestPathChecks)
#include "tst_pathchecks.moc"
