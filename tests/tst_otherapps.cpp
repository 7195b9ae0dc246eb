// SPDX-License-Identifier: GPL-3.0-or-later
#include "LanguageTable.h"
#include "PromotedApplications.h"
#include "Storyboard.h"
#include "Strings.h"
#include "TempTree.h"
#include "UrlCatcher.h"
#include "UtilityKitWindow.h"
#include "buttoncursor.h"
#include "collectionView_cell.h"
#include "mainContainerVc.h"
#include "utilityKitvc.h"

#include <QLabel>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOtherApps : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void orderingsArePermutations();
    void installedEntriesAreSkipped_data();
    void installedEntriesAreSkipped();
    void cardButtonOpensItsOwnPageAfterAReorder();
    void mainWindowButtonOpensTheOnePanel();

private:
    void showPanel(int ordering);

    TempTree m_system;
    TempTree m_flatpak;
    std::unique_ptr<PromotedApplications> m_applications;
    UtilityKitWindow* m_window = nullptr;
    utilityKitvc* m_panel = nullptr;
    int m_nextOrdering = 0;
};

void TestOtherApps::initTestCase()
{
    setLanguageStrings(loadPlistDictionary(u"English"_s));
    UtilityKitWindow::registerControllers(Storyboard::mainStoryboard());
    m_applications = std::make_unique<PromotedApplications>(m_system.path(), m_flatpak.path());
    m_window
        = Storyboard::mainStoryboard().sharedController<UtilityKitWindow>(u"UtilityKitWindow"_s);
    QVERIFY(m_window);
    m_window->window();
    m_panel = m_window->contentViewController();
    QVERIFY(m_panel);
    m_panel->setPromotedApplications(m_applications.get());
    m_panel->setOrderingDraw([this] { return m_nextOrdering; });
}

void TestOtherApps::init()
{
    for (const TempTree* dir : {&m_system, &m_flatpak}) {
        for (const QString& name : QDir(dir->path()).entryList(QDir::Files))
            QFile::remove(dir->path() + u'/' + name);
    }
}

void TestOtherApps::showPanel(int ordering)
{
    m_nextOrdering = ordering;
    m_window->window()->hide();
    m_window->showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->window()));
}

void TestOtherApps::orderingsArePermutations()
{
    const auto& orderings = utilityKitvc::orderings();
    QSet<QList<int>> distinct;
    for (const utilityKitvc::Ordering& ordering : orderings) {
        QList<int> sorted(ordering.begin(), ordering.end());
        distinct.insert(sorted);
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < 23; ++i)
            QCOMPARE(sorted.at(i), i + 1);
    }
    QCOMPARE(distinct.size(), 10);
}

void TestOtherApps::installedEntriesAreSkipped_data()
{
    QTest::addColumn<int>("ordering");
    QTest::addColumn<QStringList>("installed"); // folder:entry, folder system or flatpak
    QTest::addColumn<QList<int>>("expectedFirst");
    QTest::addColumn<int>("expectedCount");

    QTest::newRow("2 and 5 installed, ordering 1")
        << 0 << names({"system:2", "system:5"}) << QList<int> {1, 3, 4, 6, 7} << 21;
    QTest::newRow("a system-wide Flatpak counts")
        << 1 << names({"flatpak:6", "system:16"}) << QList<int> {20, 13, 22} << 21;
    QStringList everything;
    for (int n = 1; n <= 23; ++n)
        everything << u"system:%1"_s.arg(n);
    QTest::newRow("everything installed") << 4 << everything << QList<int>() << 0;
}

void TestOtherApps::installedEntriesAreSkipped()
{
    QFETCH(int, ordering);
    QFETCH(QStringList, installed);
    QFETCH(QList<int>, expectedFirst);
    QFETCH(int, expectedCount);

    for (const QString& item : installed) {
        const QString folder = item.section(u':', 0, 0);
        const int number = item.section(u':', 1).toInt();
        TempTree& dir = folder == u"system" ? m_system : m_flatpak;
        QVERIFY(!dir.writeFile(PromotedApplications::entry(number)->desktopId + u".desktop"_s,
                        "[Desktop Entry]\n")
                     .isEmpty());
    }
    showPanel(ordering);

    const QList<QVariantMap>& cards = m_panel->allappsDic();
    QCOMPARE(cards.size(), expectedCount);
    for (qsizetype i = 0; i < expectedFirst.size(); ++i)
        QCOMPARE(cards.at(i).value(u"Title"_s).toString(),
            PromotedApplications::entry(expectedFirst.at(i))->title);
    // The grid shows exactly those cards, the heading even when there are none.
    int shown = 0;
    for (collectionView_cell* cell : m_panel->cells())
        shown += cell->isVisible() ? 1 : 0;
    QCOMPARE(shown, expectedCount);
    QVERIFY(m_panel->lblotherapps()->isVisible());
}

void TestOtherApps::cardButtonOpensItsOwnPageAfterAReorder()
{
    UrlCatcher catcher(u"https"_s);

    showPanel(1); // 6, 16, 20, ...
    QTest::mouseClick(m_panel->cells().at(1)->btnappstore(), Qt::LeftButton);
    showPanel(0); // 1, 2, 3, ...: the same widgets now show other cards
    QTest::mouseClick(m_panel->cells().at(1)->btnappstore(), Qt::LeftButton);
    QTest::mouseClick(m_panel->cells().at(0)->btnappstore(), Qt::LeftButton);

    QCOMPARE(catcher.opened,
        QList<QUrl>({QUrl(PromotedApplications::entry(16)->apppath),
            QUrl(PromotedApplications::entry(2)->apppath),
            QUrl(PromotedApplications::entry(1)->apppath)}));
}

void TestOtherApps::mainWindowButtonOpensTheOnePanel()
{
    m_window->window()->close();
    QVERIFY(!m_window->window()->isVisible());
    mainContainerVc container;
    container.resize(900, 600);
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));
    auto* button = container.findChild<buttoncursor*>(u"btnUtilityKit"_s);
    QVERIFY(button);
    QVERIFY(button->isVisible()); // the home screen is on show
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(m_window->window()->isVisible());
    QCOMPARE(Storyboard::mainStoryboard().sharedController<UtilityKitWindow>(u"UtilityKitWindow"_s),
        m_window);
}

QTEST_MAIN(TestOtherApps)
#include "tst_otherapps.moc"
