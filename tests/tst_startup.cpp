// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"
#include "Bundle.h"
#include "DamagedSettings.h"
#include "EventLoop.h"
#include "ForkedChild.h"
#include "InfoPlist.h"
#include "LocalHttpServer.h"
#include "NetworkSockets.h"
#include "NewsletterSubscription.h"
#include "PropertyList.h"
#include "SUUpdater.h"
#include "SharedState.h"
#include "StoredValue.h"
#include "Storyboard.h"
#include "TempTree.h"
#include "UsageAnalytics.h"
#include "UserDefaults.h"
#include "VisibleWindows.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "startupVC.h"
#include "startupWindowController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kHeader = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
const QByteArray kWlanDefault = kHeader + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
    + "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\n";

QByteArray track(const QString& key, const QVariant& value)
{
    return PropertyList::toXml(QVariantMap {{key, value}}).value_or(QByteArray());
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // First: each start is a forked copy of this process before it has read its own settings.
    void damagedSettingsStillStartTheWindow_data();
    void damagedSettingsStillStartTheWindow();
    void firstLaunchShowsOnlyTheWelcomeWindow();
    void closingTheWelcomeWindowQuits();
    void getStartedLeadsToTheMainWindowForGood();
    void upgradeIsToldOnce_data();
    void upgradeIsToldOnce();
    void updateModeSchedulesOneCall_data();
    void updateModeSchedulesOneCall();
    void unconfiguredBuildOpensNoSocket();

    // What the usage events and the newsletter take from the machine and the build.
    void preparationReadsTheMachine_data();
    void preparationReadsTheMachine();
    void onlyHttpsOrLoopbackIsTaken_data();
    void onlyHttpsOrLoopbackIsTaken();

private:
    /// A launch of a new delegate, as main() does it, with `version` as the current version.
    std::unique_ptr<AppDelegate> launch(const QString& version);
    /// Whether the server holds `expected` requests in all after a short wait (events are sent
    /// asynchronously, and one too many must have time to arrive).
    bool settlesAt(qsizetype expected);

    TempTree m_home;
    LocalHttpServer m_server;
    std::unique_ptr<UsageAnalytics> m_analytics;
    std::unique_ptr<Bundle> m_bundle;
    std::unique_ptr<AppDelegate> m_first;
};

void TestStartup::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path(u"config"_s)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path(u"data"_s)));
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(m_server.listen());
    UsageAnalytics::Sources sources = UsageAnalytics::Sources::system();
    sources.procNetRoute = m_home.path(u"none"_s);
    sources.sysClassNet = m_home.makeDir(u"net"_s);
    m_home.writeFile(u"net/eth0/address"_s, "02:00:00:00:00:01\n");
    sources.osRelease = {m_home.writeFile(u"os-release"_s, "VERSION_ID=\"12\"\n")};
    m_analytics = std::make_unique<UsageAnalytics>(
        UsageAnalytics::Configuration {m_server.url(u"/collect"_s), u"UA-TEST-1"_s}, sources);
}

std::unique_ptr<AppDelegate> TestStartup::launch(const QString& version)
{
    m_home.writeFile(
        u"bundle/Info.plist"_s, infoPlist({{"CFBundleShortVersionString", version.toUtf8()}}));
    m_bundle = std::make_unique<Bundle>(m_home.path(u"bundle"_s));
    auto delegate = std::make_unique<AppDelegate>(nullptr, [] { return true; });
    delegate->setBundle(m_bundle.get());
    delegate->setAnalytics(m_analytics.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    return delegate;
}

bool TestStartup::settlesAt(qsizetype expected)
{
    QTest::qWait(300);
    (void)QTest::qWaitFor([&] { return m_server.requests().size() >= expected; }, 5000);
    return m_server.requests().size() == expected;
}

void TestStartup::damagedSettingsStillStartTheWindow_data()
{
    QTest::addColumn<QString>("kind"); // of DamagedSettings; every kind is kept aside alike
    // A read that must not block, and a write that must not go through the link.
    QTest::newRow("FIFO") << u"FIFO"_s;
    QTest::newRow("link to /dev/zero") << u"link to /dev/zero"_s;
}

void TestStartup::damagedSettingsStillStartTheWindow()
{
    QFETCH(QString, kind);
    TempTree home;
    const QString file = DamagedSettings::make(home, u"config/corvane/defaults.plist"_s, kind);
    QVERIFY(!file.isEmpty());
    const QByteArray log = QFile::encodeName(home.path(u"stderr.txt"_s));

    // 0 when the start went as it should, else the number of the first expectation that failed.
    const int failed = runForked(
        [&] {
            ::dup2(::open(log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path(u"config"_s)));
            UserDefaults& defaults = UserDefaults::standardUserDefaults();
            if (defaults.filePath() != file)
                return 1; // this process had read its own settings before the fork
            // Before anything is written: a write through a link to a device would replace it.
            if (defaults.corruptFileKeptAt().isEmpty() || TempTree::exists(file))
                return 2;
            AppDelegate delegate(nullptr, [] { return true; });
            delegate.applicationWillFinishLaunching();
            delegate.applicationDidFinishLaunching();
            // Empty settings: a first start, so the welcome window comes up and nothing else.
            if (visibleWindowNames() != QStringList {u"startupWindow"_s})
                return 3;
            const QString version = Bundle::mainBundle().shortVersionString();
            if (defaults.stringForKey(u"lastVersion"_s) != version)
                return 4;
            return 0;
        },
        30000);
    QVERIFY2(failed >= 0, "the start crashed or hung");
    QVERIFY2(failed == 0, qPrintable(u"expectation %1 failed in the start"_s.arg(failed)));

    // One line on standard error for the whole start, and fresh settings in the file's place;
    // how the damaged entry is kept aside is UserDefaults' own business.
    QCOMPARE(TempTree::readFile(QFile::decodeName(log)).count('\n'), 1);
    UserDefaults fresh(file);
    QCOMPARE(fresh.stringForKey(u"lastVersion"_s), Bundle::mainBundle().shortVersionString());
    QVERIFY(fresh.corruptFileKeptAt().isEmpty());
}

void TestStartup::firstLaunchShowsOnlyTheWelcomeWindow()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    QVERIFY(!QFile::exists(defaults.filePath()));
    m_first = launch(u"1.1"_s);

    QVERIFY(settlesAt(1));
    const QList<LocalHttpServer::Request> requests = m_server.requests();
    QCOMPARE(requests.first().method, QByteArray("POST"));
    QCOMPARE(requests.first().target, QByteArray("/collect"));
    QVERIFY2(requests.first().body.contains("&ec=install&ea=install&"), requests.first().body);

    QCOMPARE(visibleWindowNames(), QStringList {u"startupWindow"_s});
    QCOMPARE(defaults.stringForKey(u"lastVersion"_s), std::optional<QString>(u"1.1"_s));
    QVERIFY(!defaults.contains(u"firstrun"_s));
    QCOMPARE(m_first->scheduledUpdateCall(), AppDelegate::UpdateCall::None);

    // The Show command and a reopen leave the main window alone until Get Started; paths given
    // to this start (main() hands them over the same way) or to a later one are kept.
    m_first->btnShowWindow();
    QVERIFY(m_first->applicationShouldHandleReopen(false));
    m_first->handleArguments({m_home.makeDir(u"chosen/Old stuff"_s)});
    m_first->handleArguments(
        {m_home.makeDir(u"chosen/more"_s), m_home.path(u"chosen/Old stuff"_s)});
    QCOMPARE(visibleWindowNames(), QStringList {u"startupWindow"_s});
}

void TestStartup::closingTheWelcomeWindowQuits()
{
    auto* welcome = Storyboard::mainStoryboard().sharedController<startupWindowController>(
        u"startupWindowController"_s);
    QVERIFY(welcome && welcome->isWindowLoaded());
    QWidget* window = welcome->window();
    QCOMPARE(execAfter(window, [window] { window->close(); }), 0);
    QVERIFY(!UserDefaults::standardUserDefaults().contains(u"firstrun"_s));
}

void TestStartup::getStartedLeadsToTheMainWindowForGood()
{
    auto* welcome = Storyboard::mainStoryboard().sharedController<startupWindowController>(
        u"startupWindowController"_s);
    QVERIFY(welcome && welcome->contentViewController());
    welcome->contentViewController()->findChild<QAbstractButton*>(u"btnGetstarted"_s)->click();
    QVERIFY(!welcome->window()->isVisible());
    QWidget* main = mainWindowController::shared().window();
    QVERIFY(main->isVisible());
    // What the welcome window kept is on the files list now, each path once.
    const mainContainerVc* content = mainWindowController::shared().contentViewController();
    QTRY_COMPARE(content->currentContentView(), static_cast<QWidget*>(content->listvc()));
    QStringList listed;
    for (const FileDirectory& record : std::as_const(SharedState::instance().arrPendingItems))
        listed << (record.url ? record.url->toLocalFile() : QString());
    QCOMPARE(
        listed, (QStringList {m_home.path(u"chosen/Old stuff"_s), m_home.path(u"chosen/more"_s)}));
    QTRY_VERIFY(!SharedState::instance().isAddingFiles);

    // Closed, the main window comes back through the Show command now.
    main->hide();
    m_first->btnShowWindow();
    QVERIFY(main->isVisible());

    // The next launch goes straight to the main window, and the same version tells nothing.
    m_first.reset();
    std::unique_ptr<AppDelegate> next = launch(u"1.1"_s);
    QVERIFY(main->isVisible());
    QVERIFY(!welcome->window()->isVisible());
    QVERIFY(settlesAt(1));
}

void TestStartup::upgradeIsToldOnce_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("sent");

    QTest::newRow("1.0 to 1.1") << QVariant(u"1.0"_s) << u"1.1"_s << true;
    QTest::newRow("1.10 to 1.5 is a single-number rise") << QVariant(u"1.10"_s) << u"1.5"_s << true;
    QTest::newRow("1.2.3 to 1.2.4 is no number") << QVariant(u"1.2.3"_s) << u"1.2.4"_s << false;
    QTest::newRow("2.0 to 1.9, a downgrade") << QVariant(u"2.0"_s) << u"1.9"_s << false;
    QTest::newRow("ABC and abc are equal") << QVariant(u"ABC"_s) << u"abc"_s << false;
    QTest::newRow("nothing stored") << QVariant() << u"1.1"_s << false;
}

void TestStartup::upgradeIsToldOnce()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, current);
    QFETCH(bool, sent);

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(u"firstrun"_s, 1);
    storeValue(defaults, u"lastVersion"_s, stored);
    const qsizetype before = m_server.requests().size();

    std::unique_ptr<AppDelegate> delegate = launch(current);
    QVERIFY(settlesAt(before + (sent ? 1 : 0)));
    const QList<LocalHttpServer::Request> requests = m_server.requests();
    if (sent) {
        QVERIFY(requests.last().body.contains(
            QByteArray("&ec=kqupdated&ea=" + current.toUtf8() + "&el=")));
        QCOMPARE(defaults.stringForKey(u"lastVersion"_s), std::optional<QString>(current));
        // Told once: the next launch of the same version is quiet.
        delegate = launch(current);
        QVERIFY(settlesAt(before + 1));
    } else {
        QCOMPARE(defaults.stringForKey(u"lastVersion"_s),
            stored.isValid() ? std::optional<QString>(stored.toString()) : std::nullopt);
    }
}

void TestStartup::updateModeSchedulesOneCall_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: nothing stored
    QTest::addColumn<int>("expectedCall");
    QTest::addColumn<QVariant>("storedAfter");
    QTest::addColumn<bool>("wait"); // for the call itself

    const int none = int(AppDelegate::UpdateCall::None);
    const int check = int(AppDelegate::UpdateCall::CheckForUpdate);
    const int install = int(AppDelegate::UpdateCall::AutoInstallUpdates);
    QTest::newRow("0 checks") << QVariant(qint64(0)) << check << QVariant(qint64(0)) << true;
    QTest::newRow("1 installs") << QVariant(qint64(1)) << install << QVariant(qint64(1)) << true;
    QTest::newRow("7 does nothing and stays")
        << QVariant(qint64(7)) << none << QVariant(qint64(7)) << false;
    QTest::newRow("missing becomes 1") << QVariant() << install << QVariant(qint64(1)) << false;
    QTest::newRow("a string becomes 1")
        << QVariant(u"0"_s) << install << QVariant(qint64(1)) << false;
}

void TestStartup::updateModeSchedulesOneCall()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expectedCall);
    QFETCH(QVariant, storedAfter);
    QFETCH(bool, wait);

    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(u"firstrun"_s, 1);
    storeValue(defaults, u"_checkforUpdate_"_s, stored);

    std::unique_ptr<AppDelegate> delegate = launch(u"1.1"_s);
    QCOMPARE(int(delegate->scheduledUpdateCall()), expectedCall);
    auto* timer = delegate->findChild<QTimer*>(u"updateTimer"_s);
    QCOMPARE(timer->isActive(), expectedCall != int(AppDelegate::UpdateCall::None));
    QCOMPARE(defaults.integerForKey(u"_checkforUpdate_"_s),
        std::optional<qint64>(storedAfter.toLongLong()));
    QVERIFY(!delegate->updater()->automaticallyChecksForUpdates()); // not before 5 s
    QCOMPARE(timer->interval(), 5000);
    QVERIFY(timer->isSingleShot());
    if (!wait)
        return;
    // The timer's own connection, fired now rather than 5 seconds on.
    timer->start(0);
    QTRY_COMPARE(delegate->updater()->backgroundChecks(), 1);
    QVERIFY(delegate->updater()->automaticallyChecksForUpdates());
    QCOMPARE(delegate->updater()->automaticallyDownloadsUpdates(),
        expectedCall == int(AppDelegate::UpdateCall::AutoInstallUpdates));
}

void TestStartup::unconfiguredBuildOpensNoSocket()
{
    // The build as it comes from the source has no address at all.
    UsageAnalytics& shared = UsageAnalytics::shared();
    QVERIFY(!shared.configuration().isEnabled());

    const QSet<QByteArray> before = networkSockets();
    QVERIFY(!before.isEmpty()); // the test's own server: the count sees sockets
    // Looked at on every turn of the event loop: a connection may come and go within it.
    QSet<QByteArray> seen;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { seen.unite(networkSockets()); });
    watch.start(0);
    UserDefaults::standardUserDefaults().setInteger(u"firstrun"_s, 1);
    UserDefaults::standardUserDefaults().setString(u"lastVersion"_s, u"0.0"_s);
    {
        AppDelegate delegate(nullptr, [] { return true; });
        delegate.applicationWillFinishLaunching();
        delegate.applicationDidFinishLaunching(); // an upgrade to this build's version
        shared.sendAnalyticsEvent(u"install"_s, u"install"_s);
        startupVC welcome;
        welcome.view();
        QVERIFY(!welcome.newsletter());
        QVERIFY(welcome.findChild<QWidget*>(u"newsletterBox"_s)->isHidden());
        QTest::qWait(300);
        QCOMPARE(UserDefaults::standardUserDefaults().stringForKey(u"lastVersion"_s),
            std::optional<QString>(Bundle::mainBundle().shortVersionString()));
    }
    watch.stop();
    seen.unite(networkSockets());
    QCOMPARE(seen, before);
}

void TestStartup::preparationReadsTheMachine_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QStringList>("interfaces"); // NAME=ADDRESS, "-" for no address file
    QTest::addColumn<QByteArray>("osRelease"); // of /etc; empty: none there, /usr/lib has 11
    QTest::addColumn<QByteArray>("campaign"); // empty: no file; "FIFO": a FIFO
    QTest::addColumn<QString>("expected"); // clientId|osVersionText|campaignSource

    const QStringList both {u"eth0=02:00:00:00:00:0a"_s, u"wlan0=02:00:00:00:00:0B"_s};
    const QByteArray debian = "ID=debian\nVERSION_ID=\"12\"\n";
    const auto row = [&](const char* name, const QString& expected, const QByteArray& campaign,
                         const QByteArray& route = kWlanDefault, const QStringList& interfaces = {},
                         const QByteArray& os = {}) {
        QTest::newRow(name) << route << (interfaces.isEmpty() ? both : interfaces)
                            << (os.isEmpty() ? debian : os) << campaign << expected;
    };
    const QString wlan = u"02:00:00:00:00:0b|12.0.0|"_s;
    row("default route's interface, lower-cased", wlan, {});
    row("a default route that is down does not count", u"02:00:00:00:00:0a|12.0.0|"_s, {},
        kHeader + "wlan0\t00000000\t0102A8C0\t0002\t0\t0\t0\t0\n");
    row("offline: first by name, loopback, zeros and garbage skipped",
        u"02:00:00:00:00:0d|22.4.0|"_s, {}, {},
        {u"lo=00:00:00:00:00:01"_s, u"a0=00:00:00:00:00:00"_s, u"b0=-"_s, u"c0=zz"_s,
            u"d0=02:00:00:00:00:0d"_s},
        "VERSION_ID=22.04\n");
    row("no address at all, three-part version", u"|3.19.1|"_s, {}, kWlanDefault, {u"wlan0=-"_s},
        "VERSION_ID='3.19.1'\n");
    row("VERSION_ID missing in /etc: no fallback", u"02:00:00:00:00:0b|0.0.0|"_s, {}, kWlanDefault,
        {}, "ID=debian\n");
    QTest::newRow("no /etc/os-release: /usr/lib's")
        << kWlanDefault << both << QByteArray() << QByteArray() << u"02:00:00:00:00:0b|11.0.0|"_s;
    row("campaign: key and value trimmed of spaces and tabs", wlan + u"mail"_s,
        track(u" utm_source "_s, u"  mail\t"_s));
    row("campaign: other space separators trimmed, line breaks kept", wlan + u"news\n"_s,
        track(u"utm_source"_s, u"\u00a0news\n\u2003"_s));
    row("campaign: a number is no source", wlan, track(u"utm_source"_s, qint64(5)));
    row("campaign: a FIFO is not waited on", wlan, "FIFO");
    row("campaign: not a property list", wlan, "utm_source=mail");
}

void TestStartup::preparationReadsTheMachine()
{
    QFETCH(QByteArray, route);
    QFETCH(QStringList, interfaces);
    QFETCH(QByteArray, osRelease);
    QFETCH(QByteArray, campaign);
    QFETCH(QString, expected);

    TempTree tree;
    if (!route.isEmpty())
        tree.writeFile(u"route"_s, route);
    tree.makeDir(u"net"_s);
    for (const QString& interface : interfaces) {
        const QString name = interface.section(u'=', 0, 0);
        tree.makeDir(u"net/"_s + name);
        if (interface.section(u'=', 1) != u"-")
            tree.writeFile(u"net/"_s + name + u"/address"_s, interface.section(u'=', 1).toLatin1());
    }
    if (!osRelease.isEmpty())
        tree.writeFile(u"etc"_s, osRelease);
    tree.writeFile(u"usrlib"_s, "VERSION_ID=11\n");
    if (campaign == "FIFO")
        tree.makeFifo(u"corvane/track.plist"_s);
    else if (!campaign.isEmpty())
        tree.writeFile(u"corvane/track.plist"_s, campaign);

    UsageAnalytics analytics({},
        {tree.path(u"route"_s), tree.path(u"net"_s), {tree.path(u"etc"_s), tree.path(u"usrlib"_s)},
            tree.path(u"corvane/track.plist"_s)});
    analytics.prepareAnalytics();
    QCOMPARE(
        QStringList({analytics.clientId(), analytics.osVersionText(), analytics.campaignSource()})
            .join(u'|'),
        expected);
}

void TestStartup::onlyHttpsOrLoopbackIsTaken_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("analytics"); // with a tracking id
    QTest::addColumn<bool>("newsletter"); // with a 10-character key

    QTest::newRow("unconfigured") << QString() << false << false;
    QTest::newRow("https") << u"https://example.org/collect"_s << true << true;
    QTest::newRow("http elsewhere") << u"http://example.org/c"_s << false << false;
    QTest::newRow("http to 127.0.0.1") << u"http://127.0.0.1:8080/c"_s << true << true;
    QTest::newRow("http to ::1") << u"http://[::1]:8080/c"_s << true << true;
    QTest::newRow("a name may resolve anywhere") << u"http://localhost/c"_s << false << false;
    QTest::newRow("another scheme") << u"ftp://127.0.0.1/c"_s << false << false;
    QTest::newRow("user info") << u"https://me:pw@example.org/c"_s << false << false;
    QTest::newRow("newsletter with a query") << u"https://example.org/a?x=1"_s << true << false;
}

void TestStartup::onlyHttpsOrLoopbackIsTaken()
{
    QFETCH(QString, address);
    QFETCH(bool, analytics);
    QFETCH(bool, newsletter);

    QVariantMap info {{u"CorvaneAnalyticsURL"_s, address},
        {u"CorvaneAnalyticsTrackingID"_s, u"UA-1"_s}, {u"CorvaneNewsletterURL"_s, address},
        {u"CorvaneNewsletterKey"_s, u"0123456789"_s}};
    QCOMPARE(UsageAnalytics::Configuration::fromInfoDictionary(info).isEnabled(), analytics);
    QCOMPARE(
        NewsletterSubscription::Configuration::fromInfoDictionary(info).isEnabled(), newsletter);
    // Each needs its second half as well.
    info.insert(u"CorvaneAnalyticsTrackingID"_s, QString());
    info.insert(u"CorvaneNewsletterKey"_s, u"012345678"_s);
    QVERIFY(!UsageAnalytics::Configuration::fromInfoDictionary(info).isEnabled());
    QVERIFY(!NewsletterSubscription::Configuration::fromInfoDictionary(info).isEnabled());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
