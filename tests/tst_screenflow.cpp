#include "AppDelegate.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "SingleInstance.h"
#include "Storyboard.h"
#include "TempTree.h"
#include "UserDefaults.h"
#include "ViewController.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestScreenFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storyboardMakesEveryScreen();
    void startsOnHomeFilledFromTheLanguageTable();
    void eachNotificationSwapsInAFreshScreen();
    void fullCycleReleasesTheOldScreens();
    void closingTheWindowOnlyHidesIt();
    void secondStartHandsItsArgumentsOver();

private:
    QList<QWidget*> screensIn(const mainContainerVc& container) const;
    TempTree m_config;
};

void TestScreenFlow::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    setLanguageStrings(loadPlistDictionary(QStringLiteral("English")));
    QVERIFY(languageStrings().has_value());
}

QList<QWidget*> TestScreenFlow::screensIn(const mainContainerVc& container) const
{
    return container.customview()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void TestScreenFlow::storyboardMakesEveryScreen()
{
    const Storyboard& board = Storyboard::mainStoryboard();
    for (const char* id : {"ViewController", "shredderFilesvc", "shreddingFilesVC", "shredderResultVC",
                           "mainContainerVc", "mainWindowController"}) {
        std::unique_ptr<QObject> made(board.instantiateController(QString::fromLatin1(id)));
        QVERIFY2(made, id);
        QCOMPARE(made->metaObject()->className(), id);
    }
    QVERIFY(!board.instantiateController(QStringLiteral("NoSuchScreen")));
    // A typed request for the wrong class gives nothing rather than a wrong object.
    QVERIFY(!board.instantiateController<ViewController>(QStringLiteral("shredderFilesvc")));
}

void TestScreenFlow::startsOnHomeFilledFromTheLanguageTable()
{
    mainContainerVc container;
    container.view();
    QVERIFY(container.vc());
    QCOMPARE(screensIn(container), QList<QWidget*>{container.vc()});
    QCOMPARE(container.currentContentView(), container.vc());
    // Pinned to every edge of the container.
    const QMargins margins = container.customview()->layout()->contentsMargins();
    QCOMPARE(margins, QMargins());
    QCOMPARE(container.vc()->findChild<QLabel*>(QStringLiteral("lbldragdrop"))->text(),
             localizedText(QStringLiteral("IDS_KQ_4")));
    QVERIFY(!localizedText(QStringLiteral("IDS_KQ_4")).isEmpty());
}

void TestScreenFlow::eachNotificationSwapsInAFreshScreen()
{
    mainContainerVc container;
    container.view();
    const QPointer<ViewController> home = container.vc();

    NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
    const QPointer<shredderFilesvc> firstList = container.listvc();
    QVERIFY(firstList);
    QCOMPARE(screensIn(container), QList<QWidget*>{firstList.data()});
    QVERIFY(home); // still held by its slot, out of the container

    NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
    QVERIFY(!firstList); // released when its slot was reused
    QVERIFY(container.listvc());
    QCOMPARE(screensIn(container), QList<QWidget*>{container.listvc()});
}

void TestScreenFlow::fullCycleReleasesTheOldScreens()
{
    TempTree nothing;
    mainContainerVc container;
    container.view();
    const QPointer<ViewController> firstHome = container.vc();
    auto& center = NotificationCenter::defaultCenter();
    center.post(QStringLiteral("showData"));
    center.post(QStringLiteral("ShredData"));
    QVERIFY(container.shreeddingvc());
    QCOMPARE(screensIn(container), QList<QWidget*>{container.shreeddingvc()});
    center.post(QStringLiteral("ShredComplete"));
    QVERIFY(container.resultvc());
    center.post(QStringLiteral("GotoHome"));
    QVERIFY(!firstHome);
    QVERIFY(container.vc());
    QCOMPARE(screensIn(container), QList<QWidget*>{container.vc()});
    // Once the container is gone, its observers are gone with it.
    const int observers = center.observerCount();
    {
        mainContainerVc other;
        other.view();
        QCOMPARE(center.observerCount(), observers + 4);
    }
    QCOMPARE(center.observerCount(), observers);
}

void TestScreenFlow::closingTheWindowOnlyHidesIt()
{
    QApplication::setQuitOnLastWindowClosed(false);
    mainWindowController controller;
    controller.windowDidLoad();
    QWidget* window = controller.window();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Corvane"));
    QVERIFY(!window->windowIcon().isNull());
    QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
    QVERIFY(!window->close()); // refused as a close, carried out as a hide
    QVERIFY(!window->isVisible());
    QVERIFY(controller.contentViewController()->vc());
    controller.showWindow();
    QVERIFY(window->isVisible());
    QCoreApplication::processEvents();
    QCOMPARE(quitting.count(), 0);
}

void TestScreenFlow::secondStartHandsItsArgumentsOver()
{
    TempTree runtime;
    const QString socket = runtime.path(QStringLiteral("corvane.socket"));
    SingleInstance first(socket);
    QVERIFY(!first.handOverToRunningInstance({}, 200)); // nobody is running yet
    QVERIFY(first.listen());
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);
    const QStringList paths{QStringLiteral("/tmp/a b"), QStringLiteral("/tmp/ü\nx")};
    // A second start runs its hand-over from another process in real life; a thread stands in.
    std::unique_ptr<QThread> second(QThread::create([&] {
        SingleInstance other(socket);
        QVERIFY(other.handOverToRunningInstance(paths));
    }));
    second->start();
    QTRY_COMPARE(received.count(), 1);
    QVERIFY(second->wait(5000));
    QCOMPARE(received.first().first().toStringList(), paths);

    // A socket left behind by a crashed instance does not block the next start.
    SingleInstance stale(runtime.path(QStringLiteral("stale.socket")));
    runtime.writeFile(QStringLiteral("stale.socket"), "");
    QVERIFY(stale.listen());
}

QTEST_MAIN(TestScreenFlow)
#include "tst_screenflow.moc"
