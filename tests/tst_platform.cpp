// SPDX-License-Identifier: GPL-3.0-or-later
#include "Bundle.h"
#include "Dispatch.h"
#include "NotificationCenter.h"
#include "PropertyList.h"
#include "SystemLog.h"
#include "TempTree.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bundleCarriesVersionAndLanguageTable();
    void bundleRootedElsewhereFindsNothing();
    void propertyListRoundTrip();
    void propertyListRejectsGarbage_data();
    void propertyListRejectsGarbage();
    void dispatchMainRunsOnGuiThreadInOrder();
    void performAfterWaitsOnGuiThread();
    void systemLogHandsFixedTextToSink();
    void deliversSynchronouslyInOrderWithValues();
    void filtersByNameAndAllowsEmptyNameForAll();
    void observerRemovedWhenOwnerIsDestroyed();
    void callbackMayRemoveItselfAndPost();
    void deliversOnThePostingWorkerThread();
    void destroyingOwnerWaitsForRunningCallback();
};

void TestPlatform::initTestCase()
{
    // Test lines must not end up in the machine's real log.
    SystemLog::setForwardToSyslog(false);
}

void TestPlatform::bundleCarriesVersionAndLanguageTable()
{
    const Bundle& bundle = Bundle::mainBundle();
    QCOMPARE(bundle.shortVersionString(), QStringLiteral(CORVANE_SHORT_VERSION));
    QVERIFY(!bundle.pathForResource(QStringLiteral("English"), QStringLiteral("plist")).isEmpty());
    QVERIFY(bundle.pathForResource(QStringLiteral("French"), QStringLiteral("plist")).isEmpty());
    QVERIFY(bundle.pathForResource(QString(), QStringLiteral("plist")).isEmpty());
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
    QVERIFY(xml->startsWith("<?xml"));
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

void TestPlatform::filtersByNameAndAllowsEmptyNameForAll()
{
    NotificationCenter center;
    int named = 0;
    int all = 0;
    const auto namedId = center.addObserver(QStringLiteral("a"), nullptr, [&](const Notification&) { ++named; });
    center.addObserver(QString(), nullptr, [&](const Notification&) { ++all; });
    center.post(QStringLiteral("a"));
    center.post(QStringLiteral("b"));
    QCOMPARE(named, 1);
    QCOMPARE(all, 2);
    center.removeObserver(namedId);
    center.post(QStringLiteral("a"));
    QCOMPARE(named, 1);
    QCOMPARE(center.observerCount(), 1);
}

void TestPlatform::observerRemovedWhenOwnerIsDestroyed()
{
    NotificationCenter center;
    int calls = 0;
    auto owner = std::make_unique<QObject>();
    center.addObserver(QStringLiteral("x"), owner.get(), [&](const Notification&) { ++calls; });
    center.addObserver(QStringLiteral("x"), owner.get(), [&](const Notification&) { ++calls; });
    center.post(QStringLiteral("x"));
    QCOMPARE(calls, 2);
    owner.reset();
    QCOMPARE(center.observerCount(), 0);
    center.post(QStringLiteral("x"));
    QCOMPARE(calls, 2);
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

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
