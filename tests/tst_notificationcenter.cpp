// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotificationCenter.h"

#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class TestNotificationCenter : public QObject
{
    Q_OBJECT

private slots:
    void deliversSynchronouslyInOrderWithValues();
    void filtersByNameAndAllowsEmptyNameForAll();
    void observerRemovedWhenOwnerIsDestroyed();
    void callbackMayRemoveItselfAndPost();
    void deliversOnThePostingWorkerThread();
    void destroyingOwnerWaitsForRunningCallback();
};

void TestNotificationCenter::deliversSynchronouslyInOrderWithValues()
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

void TestNotificationCenter::filtersByNameAndAllowsEmptyNameForAll()
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

void TestNotificationCenter::observerRemovedWhenOwnerIsDestroyed()
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

void TestNotificationCenter::callbackMayRemoveItselfAndPost()
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

void TestNotificationCenter::deliversOnThePostingWorkerThread()
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

void TestNotificationCenter::destroyingOwnerWaitsForRunningCallback()
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

QTEST_GUILESS_MAIN(TestNotificationCenter)
#include "tst_notificationcenter.moc"
