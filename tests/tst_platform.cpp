// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bundle.h"
#include "Dispatch.h"
#include "NotificationCenter.h"
#include "PropertyList.h"
#include "SystemLog.h"
#include "TempTree.h"
#include "UnprivilegedChild.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <fcntl.h>
#include <memory>
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

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bundleRootedElsewhereFindsNothing();
    void propertyListRoundTrip();
    void propertyListRejectsGarbage_data();
    void propertyListRejectsGarbage();
    void dispatchMainRunsOnGuiThreadInOrder();
    void performAfterWaitsOnGuiThread();
    void systemLogHandsFixedTextToSink();
    void deliversSynchronouslyInOrderWithValues();
    void filtersByNameAndRemoves();
    void callbackMayRemoveItselfAndPost();
    void deliversOnThePostingWorkerThread();
    void destroyingOwnerWaitsForRunningCallback();
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

void TestPlatform::initTestCase()
{
    // Test lines must not end up in the machine's real log.
    SystemLog::setForwardToSyslog(false);
}

void TestPlatform::bundleRootedElsewhereFindsNothing()
{
    TempTree tree;
    const Bundle bundle(tree.path());
    QVERIFY(bundle.infoDictionary().isEmpty());
    QVERIFY(bundle.shortVersionString().isEmpty());
    tree.writeFile(QStringLiteral("Info.plist"), "not a plist");
    QVERIFY(bundle.infoDictionary().isEmpty());
}

void TestPlatform::propertyListRoundTrip()
{
    const QVariantMap original {
        {QStringLiteral("int"), qint64(-42)},
        {QStringLiteral("big"), qint64(1) << 40},
        {QStringLiteral("real"), 2.5},
        {QStringLiteral("text"), QStringLiteral("Grüße & <tags>")},
        {QStringLiteral("flag"), false},
        {QStringLiteral("data"), QByteArray("\x00\x01\xff", 3)},
        {QStringLiteral("list"), QVariantList {qint64(1), QStringLiteral("two")}},
        {QStringLiteral("nested"), QVariantMap {{QStringLiteral("k"), QStringLiteral("v")}}},
    };
    const std::optional<QByteArray> xml = PropertyList::toXml(original);
    QVERIFY(xml);
    const std::optional<QVariant> parsed = PropertyList::parse(*xml);
    QVERIFY(parsed);
    QCOMPARE(parsed->toMap(), original);
    // A value a property list cannot hold is refused rather than silently dropped.
    QVERIFY(!PropertyList::toXml(
        QVariantMap {{QStringLiteral("x"), QVariant::fromValue(QObjectList())}}));
}

void TestPlatform::propertyListRejectsGarbage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("hello");
    QTest::newRow("truncated xml")
        << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
    QTest::newRow("truncated binary") << QByteArray("bplist00\xd1\x01\x02", 11);
}

void TestPlatform::propertyListRejectsGarbage()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!PropertyList::parse(bytes));
}

void TestPlatform::dispatchMainRunsOnGuiThreadInOrder()
{
    QList<int> order;
    QList<QThread*> threads;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        for (int i = 0; i < 50; ++i) {
            dispatchMain([&order, &threads, i] {
                order.append(i);
                threads.append(QThread::currentThread());
            });
        }
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(order.size(), 50);
    for (int i = 0; i < 50; ++i) {
        QCOMPARE(order.at(i), i);
        QCOMPARE(threads.at(i), QCoreApplication::instance()->thread());
    }
    std::atomic<QThread*> poolThread {nullptr};
    dispatchGlobal([&] { poolThread = QThread::currentThread(); });
    QTRY_VERIFY(poolThread.load() != nullptr);
    QVERIFY(poolThread.load() != QCoreApplication::instance()->thread());
}

void TestPlatform::performAfterWaitsOnGuiThread()
{
    QElapsedTimer timer;
    timer.start();
    qint64 ranAfter = -1;
    performAfter(0.2, [&] { ranAfter = timer.elapsed(); });
    QCOMPARE(ranAfter, -1);
    QTRY_VERIFY(ranAfter >= 0);
    QVERIFY2(ranAfter >= 190, qPrintable(QString::number(ranAfter)));
}

void TestPlatform::systemLogHandsFixedTextToSink()
{
    QStringList lines;
    SystemLog::setSink([&](const QString& line) { lines << line; });
    SystemLog::log("Cannnot removeFile: %s", "/tmp/x y");
    SystemLog::log("Could not Open File!!");
    SystemLog::setSink({});
    SystemLog::log("not captured");
    QCOMPARE(lines,
        (QStringList {QStringLiteral("Cannnot removeFile: /tmp/x y"),
            QStringLiteral("Could not Open File!!")}));
}

void TestPlatform::deliversSynchronouslyInOrderWithValues()
{
    NotificationCenter center;
    QObject owner;
    QStringList calls;
    const int sender = 42;
    center.addObserver(QStringLiteral("ping"), &owner, [&](const Notification& n) {
        calls << QStringLiteral("first:") + n.userInfo.value(QStringLiteral("k")).toString();
        QCOMPARE(n.object, static_cast<const void*>(&sender));
        QCOMPARE(n.name, QStringLiteral("ping"));
    });
    center.addObserver(QStringLiteral("ping"), &owner,
                       [&](const Notification&) { calls << QStringLiteral("second"); });
    center.post(QStringLiteral("ping"), &sender, {{QStringLiteral("k"), QStringLiteral("v")}});
    // Synchronous: both ran before post() returned, in the order they were added.
    QCOMPARE(calls, (QStringList{QStringLiteral("first:v"), QStringLiteral("second")}));
}

void TestPlatform::filtersByNameAndRemoves()
{
    NotificationCenter center;
    int named = 0;
    int all = 0;
    auto owner = std::make_unique<QObject>();
    const auto namedId = center.addObserver(QStringLiteral("a"), nullptr, [&](const Notification&) { ++named; });
    center.addObserver(QString(), owner.get(), [&](const Notification&) { ++all; });
    center.addObserver(QStringLiteral("b"), owner.get(), [&](const Notification&) { ++all; });
    center.post(QStringLiteral("a"));
    center.post(QStringLiteral("b"));
    QCOMPARE(named, 1);
    QCOMPARE(all, 3);
    center.removeObserver(namedId);
    owner.reset(); // takes both of its observers along
    center.post(QStringLiteral("a"));
    center.post(QStringLiteral("b"));
    QCOMPARE(named, 1);
    QCOMPARE(all, 3);
    QCOMPARE(center.observerCount(), 0);
}

void TestPlatform::callbackMayRemoveItselfAndPost()
{
    NotificationCenter center;
    int outer = 0;
    int inner = 0;
    NotificationCenter::ObserverId self = 0;
    center.addObserver(QStringLiteral("inner"), nullptr, [&](const Notification&) { ++inner; });
    self = center.addObserver(QStringLiteral("outer"), nullptr, [&](const Notification&) {
        ++outer;
        center.removeObserver(self); // must not deadlock on the registry lock
        center.post(QStringLiteral("inner"));
    });
    center.post(QStringLiteral("outer"));
    center.post(QStringLiteral("outer"));
    QCOMPARE(outer, 1);
    QCOMPARE(inner, 1);
}

void TestPlatform::deliversOnThePostingWorkerThread()
{
    NotificationCenter center;
    QObject owner;
    std::atomic<QThread*> seenOn{nullptr};
    center.addObserver(QStringLiteral("work"), &owner,
                       [&](const Notification&) { seenOn = QThread::currentThread(); });
    std::unique_ptr<QThread> worker(QThread::create([&] { center.post(QStringLiteral("work")); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QCOMPARE(seenOn.load(), worker.get());
}

void TestPlatform::destroyingOwnerWaitsForRunningCallback()
{
    NotificationCenter center;
    auto owner = std::make_unique<QObject>();
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool> finished{false};
    center.addObserver(QStringLiteral("slow"), owner.get(), [&](const Notification&) {
        entered = true;
        while (!release)
            QThread::msleep(1);
        finished = true;
    });
    std::unique_ptr<QThread> worker(QThread::create([&] { center.post(QStringLiteral("slow")); }));
    worker->start();
    QTRY_VERIFY(entered.load());
    std::unique_ptr<QThread> releaser(QThread::create([&] {
        QThread::msleep(100);
        release = true;
    }));
    releaser->start();
    owner.reset(); // blocks until the callback on the worker has returned
    QVERIFY(finished.load());
    QVERIFY(worker->wait(5000));
    QVERIFY(releaser->wait(5000));
}

void TestPlatform::roundTripAcrossInstances()
{
    TempTree tree;
    const QString file = tree.path(QStringLiteral("cfg/corvane/defaults.plist"));
    {
        UserDefaults defaults(file);
        QVERIFY(!defaults.integerForKey(QStringLiteral("Algomethod")));
        QVERIFY(defaults.setInteger(QStringLiteral("negative"), -7));
        QVERIFY(defaults.setString(QStringLiteral("lastVersion"), QStringLiteral("1.2 ü")));
        QVERIFY(defaults.setDouble(QStringLiteral("ratio"), 0.25));
        QVERIFY(defaults.setBool(QStringLiteral("flag"), true));
        QVERIFY(defaults.setInteger(QStringLiteral("gone"), 1));
        QVERIFY(defaults.removeObjectForKey(QStringLiteral("gone")));
    }
    UserDefaults reread(file);
    QCOMPARE(reread.integerForKey(QStringLiteral("negative")), std::optional<qint64>(-7));
    QCOMPARE(reread.stringForKey(QStringLiteral("lastVersion")),
        std::optional<QString>(QStringLiteral("1.2 ü")));
    QCOMPARE(reread.doubleForKey(QStringLiteral("ratio")), std::optional<double>(0.25));
    QCOMPARE(reread.boolForKey(QStringLiteral("flag")), std::optional<bool>(true));
    QVERIFY(!reread.contains(QStringLiteral("gone")));
}

void TestPlatform::wrongTypeReadsAsNotSet()
{
    TempTree tree;
    UserDefaults defaults(tree.path(QStringLiteral("defaults.plist")));
    defaults.setString(QStringLiteral("Algomethod"), QStringLiteral("3"));
    defaults.setInteger(QStringLiteral("name"), 5);
    QVERIFY(!defaults.integerForKey(QStringLiteral("Algomethod")));
    QVERIFY(!defaults.stringForKey(QStringLiteral("name")));
    QVERIFY(defaults.contains(QStringLiteral("name")));
}

void TestPlatform::corruptFileIsKeptAside()
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

void TestPlatform::writeReplacesAtomically()
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

void TestPlatform::unwritableFolderFailsButKeepsValue()
{
    TempTree tree;
    // A regular file where the folder should be makes every write fail, even for root.
    tree.writeFile(QStringLiteral("blocker"), "x");
    UserDefaults defaults(tree.path(QStringLiteral("blocker/defaults.plist")));
    QVERIFY(!defaults.setInteger(QStringLiteral("Algomethod"), 2));
    QCOMPARE(defaults.integerForKey(QStringLiteral("Algomethod")), std::optional<qint64>(2));
}

void TestPlatform::doubtfulFileMakesStoreReadOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("damaged");

    // Another user's permissions: the owner may write the file but not read it.
    QTest::newRow("write-only file") << QStringLiteral("defaults.plist") << false;
    // Its ".corrupt-<time>" name would pass the file system's 255-byte limit, so the rename
    // fails while a new file could still be written beside it.
    QTest::newRow("damaged file that cannot be moved aside") << QString(245, u'n') << true;
}

void TestPlatform::doubtfulFileMakesStoreReadOnly()
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

void TestPlatform::symbolicLinkIsWrittenThrough_data()
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

void TestPlatform::symbolicLinkIsWrittenThrough()
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

void TestPlatform::defaultPathFollowsXdgConfigHome()
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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
