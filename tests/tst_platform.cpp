// SPDX-License-Identifier: GPL-3.0-or-later
#include "BinaryPlist.h"
#include "Bundle.h"
#include "DamagedSettings.h"
#include "Dispatch.h"
#include "Expectations.h"
#include "NotificationCenter.h"
#include "OptionGrammar.h"
#include "PropertyList.h"
#include "StdoutCapture.h"
#include "SystemLog.h"
#include "TempTree.h"
#include "TreeSnapshot.h"
#include "UnprivilegedChild.h"
#include "UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void optionValueMayBeLeftOut_data();
    void optionValueMayBeLeftOut();
    void propertyListRoundTrip();
    void propertyListRejectsGarbage_data();
    void propertyListRejectsGarbage();
    void dispatchMainRunsOnGuiThreadInOrder();
    void performAfterWaitsOnGuiThread();
    void deliversSynchronouslyInOrderAndFilters();
    void callbackMayRemoveItselfAndPost();
    void destroyingOwnerWaitsForRunningCallback();
    void roundTripAcrossInstances();
    void corruptFileIsKeptAside_data();
    void corruptFileIsKeptAside();
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

void TestPlatform::propertyListRoundTrip()
{
    // As deep as may be read: the top-level dictionary and maxDepth - 1 arrays.
    QVariant deepest = u"bottom"_s;
    for (int depth = 2; depth <= PropertyList::maxDepth; ++depth)
        deepest = QVariantList {deepest};
    const QVariantMap original {{u"int"_s, qint64(-42)}, {u"big"_s, qint64(1) << 40},
        {u"real"_s, 2.5}, {u"text"_s, u"Grüße & <tags>"_s}, {u"flag"_s, false},
        {u"data"_s, QByteArray("\x00\x01\xff", 3)}, {u"list"_s, QVariantList {qint64(1), u"two"_s}},
        {u"nested"_s, QVariantMap {{u"k"_s, u"v"_s}}}, {u"deepest"_s, deepest}};
    const std::optional<QByteArray> xml = PropertyList::toXml(original);
    QVERIFY(xml);
    const std::optional<QVariant> parsed = PropertyList::parse(*xml);
    QVERIFY(parsed);
    QCOMPARE(parsed->toMap(), original);
    // A value a property list cannot hold is refused rather than silently dropped.
    QVERIFY(!PropertyList::toXml(QVariantMap {{u"x"_s, QVariant::fromValue(QObjectList())}}));
}

void TestPlatform::propertyListRejectsGarbage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("hello");
    QTest::newRow("truncated xml")
        << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
    QTest::newRow("truncated binary") << QByteArray("bplist00\xd1\x01\x02", 11);
    QTest::newRow("arrays nested 50,000 deep") << DamagedSettings::nestedArrays(50000);
    QTest::newRow("one level deeper than maxDepth")
        << DamagedSettings::nestedArrays(PropertyList::maxDepth + 1);
    QTest::newRow("binary, one object shared at every level") << sharedAtEveryLevel(16);
    const QByteArray padding(PropertyList::maxFileBytes, 'x');
    QTest::newRow("larger than maxFileBytes")
        << QByteArray("<plist><string>" + padding + "</string></plist>");
}

void TestPlatform::propertyListRejectsGarbage()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!PropertyList::parse(bytes));
    // A bundle rooted elsewhere reads only its own Info.plist, and finds nothing in garbage.
    TempTree tree;
    const Bundle bundle(tree.path());
    QVERIFY(bundle.infoDictionary().isEmpty() && bundle.shortVersionString().isEmpty());
    tree.writeFile(u"Info.plist"_s, bytes);
    QVERIFY(bundle.infoDictionary().isEmpty());
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

void TestPlatform::deliversSynchronouslyInOrderAndFilters()
{
    NotificationCenter center;
    auto owner = std::make_unique<QObject>();
    QStringList calls;
    const int sender = 42;
    center.addObserver(u"a"_s, owner.get(), [&](const Notification& n) {
        calls << u"first:"_s + n.userInfo.value(u"k"_s).toString();
        QCOMPARE(n.object, static_cast<const void*>(&sender));
        QCOMPARE(n.name, u"a"_s);
    });
    const auto second
        = center.addObserver(u"a"_s, nullptr, [&](const Notification&) { calls << u"second"_s; });
    center.addObserver(
        QString(), owner.get(), [&](const Notification& n) { calls << u"all:"_s + n.name; });
    // Synchronous: every observer ran before post() returned, in the order they were added.
    center.post(u"a"_s, &sender, {{u"k"_s, u"v"_s}});
    QCOMPARE(calls, (QStringList {u"first:v"_s, u"second"_s, u"all:a"_s}));
    center.post(u"b"_s);
    QCOMPARE(calls.last(), u"all:b"_s);
    QCOMPARE(calls.size(), 4);
    calls.clear();
    center.removeObserver(second);
    owner.reset(); // takes both of its observers along
    center.post(u"a"_s, &sender);
    center.post(u"b"_s);
    QCOMPARE(calls, QStringList());
    QCOMPARE(center.observerCount(), 0);
}

void TestPlatform::callbackMayRemoveItselfAndPost()
{
    NotificationCenter center;
    int outer = 0;
    int inner = 0;
    NotificationCenter::ObserverId self = 0;
    center.addObserver(u"inner"_s, nullptr, [&](const Notification&) { ++inner; });
    self = center.addObserver(u"outer"_s, nullptr, [&](const Notification&) {
        ++outer;
        center.removeObserver(self); // must not deadlock on the registry lock
        center.post(u"inner"_s);
    });
    center.post(u"outer"_s);
    center.post(u"outer"_s);
    QCOMPARE(outer, 1);
    QCOMPARE(inner, 1);
}

void TestPlatform::destroyingOwnerWaitsForRunningCallback()
{
    NotificationCenter center;
    auto owner = std::make_unique<QObject>();
    std::atomic<QThread*> seenOn {nullptr};
    std::atomic<bool> release {false};
    std::atomic<bool> finished {false};
    center.addObserver(u"slow"_s, owner.get(), [&](const Notification&) {
        seenOn = QThread::currentThread();
        while (!release)
            QThread::msleep(1);
        finished = true;
    });
    std::unique_ptr<QThread> worker(QThread::create([&] { center.post(u"slow"_s); }));
    worker->start();
    QTRY_VERIFY(seenOn.load());
    // Delivered on the posting worker's thread, not queued to this one.
    QCOMPARE(seenOn.load(), worker.get());
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
    const QString file = tree.path(u"cfg/corvane/defaults.plist"_s);
    {
        UserDefaults defaults(file);
        QVERIFY(!defaults.integerForKey(u"Algomethod"_s));
        QVERIFY(defaults.setInteger(u"negative"_s, -7));
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
        QVERIFY(defaults.setString(u"lastVersion"_s, u"1.2 ü"_s));
        // Replaced by a rename, which puts a new inode in place, and no temporary file is left.
        struct stat after;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(QDir(tree.path(u"cfg/corvane"_s)).entryList(QDir::Files | QDir::Hidden),
            QStringList {u"defaults.plist"_s});
        QVERIFY(defaults.setDouble(u"ratio"_s, 0.25));
        QVERIFY(defaults.setBool(u"flag"_s, true));
        QVERIFY(defaults.setInteger(u"gone"_s, 1));
        QVERIFY(defaults.removeObjectForKey(u"gone"_s));
    }
    UserDefaults reread(file);
    QCOMPARE(reread.integerForKey(u"negative"_s), std::optional<qint64>(-7));
    QCOMPARE(reread.stringForKey(u"lastVersion"_s), std::optional<QString>(u"1.2 ü"_s));
    QCOMPARE(reread.doubleForKey(u"ratio"_s), std::optional<double>(0.25));
    QCOMPARE(reread.boolForKey(u"flag"_s), std::optional<bool>(true));
    QVERIFY(!reread.contains(u"gone"_s));
    // A value of the wrong type reads as not set, though the key is there.
    QVERIFY(!reread.integerForKey(u"lastVersion"_s));
    QVERIFY(!reread.stringForKey(u"negative"_s));
    QVERIFY(reread.contains(u"negative"_s));
}

void TestPlatform::corruptFileIsKeptAside_data()
{
    QTest::addColumn<QString>("kind"); // of DamagedSettings
    QTest::addColumn<QString>("keptIn"); // the folder the damaged entry is kept in
    QTest::newRow("not a property list") << u"not a property list"_s << u"cfg"_s;
    QTest::newRow("nested 50,000 deep") << u"nested 50,000 deep"_s << u"cfg"_s;
    QTest::newRow("larger than 1 MiB") << u"larger than 1 MiB"_s << u"cfg"_s;
    QTest::newRow("FIFO") << u"FIFO"_s << u"cfg"_s;
    QTest::newRow("folder") << u"folder"_s << u"cfg"_s;
    // The link is what is set aside; the device is never opened blocking, never read, never moved.
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_s << u"cfg"_s;
    // A dotfile manager's link stays; its damaged target is kept beside it.
    QTest::newRow("link to a damaged file") << u"link to a damaged file"_s << u"dotfiles"_s;
}

void TestPlatform::corruptFileIsKeptAside()
{
    QFETCH(QString, kind);
    QFETCH(QString, keptIn);

    TempTree tree;
    const QString file = DamagedSettings::make(tree, u"cfg/defaults.plist"_s, kind);
    QVERIFY(!file.isEmpty());
    const bool throughLink = keptIn != u"cfg";
    const QString damaged = throughLink ? tree.path(u"dotfiles/defaults.plist"_s) : file;
    const QString before = DamagedSettings::describe(damaged);
    const QString linkBefore = DamagedSettings::describe(file);

    StdoutCapture standardError(STDERR_FILENO);
    UserDefaults defaults(file);
    QVERIFY(!defaults.integerForKey(u"firstrun"_s));
    const QString kept = defaults.corruptFileKeptAt();
    const QByteArray log = standardError.text();
    QVERIFY(!defaults.isReadOnly());
    QVERIFY2(kept.startsWith(tree.path(keptIn) + u"/defaults.plist.corrupt-"_s), qPrintable(kept));
    QCOMPARE(DamagedSettings::describe(kept), before);
    // One line says which file and where it went.
    QCOMPARE(log.count('\n'), 1);
    QVERIFY2(log.contains(QFile::encodeName(file)) && log.contains(QFile::encodeName(kept)),
        log.constData());
    // Checked before anything is written: a write through a link to a device would replace it.
    QCOMPARE(DamagedSettings::describe(file), throughLink ? linkBefore : u"nothing"_s);

    // A later write makes a new file and leaves the damaged one alone.
    QVERIFY(defaults.setInteger(u"Algomethod"_s, 2));
    QCOMPARE(DamagedSettings::describe(kept), before);
    if (throughLink)
        QCOMPARE(DamagedSettings::describe(file), linkBefore);
    QVERIFY(DamagedSettings::describe(damaged).startsWith(u"file "_s));
    QCOMPARE(UserDefaults(file).integerForKey(u"Algomethod"_s), std::optional<qint64>(2));
}

void TestPlatform::unwritableFolderFailsButKeepsValue()
{
    TempTree tree;
    // A regular file where the folder should be makes every write fail, even for root.
    tree.writeFile(u"blocker"_s, "x");
    UserDefaults defaults(tree.path(u"blocker/defaults.plist"_s));
    QVERIFY(!defaults.setInteger(u"Algomethod"_s, 2));
    QCOMPARE(defaults.integerForKey(u"Algomethod"_s), std::optional<qint64>(2));
}

void TestPlatform::doubtfulFileMakesStoreReadOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("damaged");

    // Another user's permissions: the owner may write the file but not read it.
    QTest::newRow("write-only file") << u"defaults.plist"_s << false;
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
    const QString folder = tree.makeDir(u"cfg"_s);
    const QString file = tree.path(u"cfg/"_s + name);
    QByteArray original;
    if (damaged) {
        original = "<?xml version=\"1.0\"?><plist><dict><key>Algo";
        QVERIFY(!tree.writeFile(u"cfg/"_s + name, original).isEmpty());
    } else {
        UserDefaults setup(file);
        QVERIFY(setup.setInteger(u"Algomethod"_s, 3));
        QVERIFY(setup.setString(u"lastVersion"_s, u"1.0"_s));
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

    StdoutCapture standardError(STDERR_FILENO);
    // 0 when every expectation holds in the child, else the number of the first that failed.
    const int failed = runUnprivileged([&] {
        UserDefaults defaults(file);
        return firstFailed({!defaults.setInteger(u"Algomethod"_s, 5),
            defaults.integerForKey(u"Algomethod"_s) == std::optional<qint64>(5),
            defaults.isReadOnly(), defaults.corruptFileKeptAt().isEmpty(),
            !defaults.removeObjectForKey(u"lastVersion"_s)});
    });
    const QByteArray log = standardError.text();
    QVERIFY2(failed >= 0, "the unprivileged child could not run");
    QVERIFY2(failed == 0, qPrintable(u"expectation %1 failed in the child"_s.arg(failed)));

    // The user's file is untouched and nothing was left beside it.
    QCOMPARE(::chmod(nativeFile.constData(), 0600), 0);
    QCOMPARE(TempTree::readFile(file), original);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList {name});
    if (!damaged) {
        UserDefaults reread(file);
        QCOMPARE(reread.integerForKey(u"Algomethod"_s), std::optional<qint64>(3));
        QCOMPARE(reread.stringForKey(u"lastVersion"_s), std::optional<QString>(u"1.0"_s));
    }
    // One line tells the user why their changes are not kept.
    QCOMPARE(log.count('\n'), 1);
    QVERIFY2(log.contains(nativeFile), log.constData());
}

void TestPlatform::symbolicLinkIsWrittenThrough_data()
{
    QTest::addColumn<QStringList>("links"); // "name -> target" in cfg/, the first is the settings
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("writes");

    const QString real = u"../dotfiles/defaults.plist"_s;
    QTest::newRow("relative link") << QStringList {real} << true << true;
    QTest::newRow("link to a link") << QStringList {u"second.plist"_s, real} << true << true;
    QTest::newRow("link to a file not made yet") << QStringList {real} << false << true;
    // A loop names no file at all; replacing the link would destroy the user's set-up.
    QTest::newRow("links in a loop")
        << QStringList {u"second.plist"_s, u"defaults.plist"_s} << false << false;
}

void TestPlatform::symbolicLinkIsWrittenThrough()
{
    QFETCH(QStringList, links);
    QFETCH(bool, targetExists);
    QFETCH(bool, writes);

    TempTree tree;
    QVERIFY(tree.isValid());
    const QString target = tree.path(u"dotfiles/defaults.plist"_s);
    tree.makeDir(u"dotfiles"_s);
    if (targetExists)
        QVERIFY(UserDefaults(target).setInteger(u"kept"_s, 1));
    const QStringList names {u"defaults.plist"_s, u"second.plist"_s};
    for (qsizetype i = 0; i < links.size(); ++i)
        QVERIFY(!tree.makeSymlink(u"cfg/"_s + names.at(i), links.at(i)).isEmpty());

    UserDefaults defaults(tree.path(u"cfg/defaults.plist"_s));
    QCOMPARE(defaults.setInteger(u"Algomethod"_s, 2), writes);
    QCOMPARE(defaults.integerForKey(u"Algomethod"_s), std::optional<qint64>(2));

    // Every link is still the same link...
    for (qsizetype i = 0; i < links.size(); ++i)
        QCOMPARE(linkText(tree.path(u"cfg/"_s + names.at(i))), links.at(i));
    QCOMPARE(QDir(tree.path(u"cfg"_s))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
        names.mid(0, links.size()));
    // ...and the file it names got the change, beside what it held.
    if (!writes) {
        QVERIFY(!TempTree::exists(target));
        return;
    }
    UserDefaults reread(target);
    QCOMPARE(reread.integerForKey(u"Algomethod"_s), std::optional<qint64>(2));
    QCOMPARE(reread.contains(u"kept"_s), targetExists);
    QCOMPARE(QDir(tree.path(u"dotfiles"_s)).entryList(QDir::Files | QDir::Hidden),
        QStringList {u"defaults.plist"_s});
}

void TestPlatform::defaultPathFollowsXdgConfigHome()
{
    // Set, it is what every other test's settings go by; unset, the home folder's .config.
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(
        UserDefaults::defaultFilePath(), QDir::homePath() + u"/.config/corvane/defaults.plist"_s);
    qputenv("XDG_CONFIG_HOME", saved);
}

void TestPlatform::optionValueMayBeLeftOut_data()
{
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("value"); // of --wipe, or the error
    QTest::addColumn<QByteArrayList>("operands");
    QTest::newRow("left out: the next word stays an operand")
        << QByteArrayList {"--wipe", "x"} << QByteArray() << QByteArrayList {"x"};
    QTest::newRow("given after '='")
        << QByteArrayList {"--wipe=d", "x"} << QByteArray("d") << QByteArrayList {"x"};
    QTest::newRow("by a prefix, last")
        << QByteArrayList {"x", "--wi"} << QByteArray() << QByteArrayList {"x"};
    QTest::newRow("a required value is still required")
        << QByteArrayList {"x", "--method"} << QByteArray("option '--method' requires an argument")
        << QByteArrayList {"x"};
}

void TestPlatform::optionValueMayBeLeftOut()
{
    QFETCH(QByteArrayList, arguments);
    QFETCH(QByteArray, value);
    QFETCH(QByteArrayList, operands);
    static constexpr OptionGrammar::Option kOptions[]
        = {{"method", 'm', true}, {"wipe", 0, true, true}};
    const OptionGrammar::Parsed parsed = OptionGrammar::parse(kOptions, arguments);
    QCOMPARE(parsed.operands, operands);
    if (value.startsWith("option ")) {
        QCOMPARE(parsed.error, value);
        return;
    }
    QVERIFY(parsed.error.isEmpty());
    QCOMPARE(parsed.options.size(), 1);
    QCOMPARE(QByteArray(parsed.options.first().first->longName), QByteArray("wipe"));
    QCOMPARE(parsed.options.first().second, value);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
