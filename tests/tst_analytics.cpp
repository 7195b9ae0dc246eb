#include "LocalHttpServer.h"
#include "NewsletterSubscription.h"
#include "PropertyList.h"
#include "TempTree.h"
#include "UsageAnalytics.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const char* kRouteHeader
    = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray plist(const QVariantMap& dictionary)
{
    return PropertyList::toXml(dictionary).value_or(QByteArray());
}

} // namespace

class TestAnalytics : public QObject
{
    Q_OBJECT

private slots:
    void eventBodyFollowsTheReceiversOrder_data();
    void eventBodyFollowsTheReceiversOrder();
    void hardwareAddressOfTheDefaultRoute_data();
    void hardwareAddressOfTheDefaultRoute();
    void osVersionFromOsRelease_data();
    void osVersionFromOsRelease();
    void campaignSourceIsTrimmed_data();
    void campaignSourceIsTrimmed();
    void eventIsPostedToTheCollectAddress();
    void onlyHttpsOrLoopbackIsTaken_data();
    void onlyHttpsOrLoopbackIsTaken();

private:
    /// Sources inside `tree`: a default route on eth0 with `address`, Debian 12.
    UsageAnalytics::Sources sourcesIn(TempTree& tree, const QByteArray& address);
};

UsageAnalytics::Sources TestAnalytics::sourcesIn(TempTree& tree, const QByteArray& address)
{
    tree.writeFile(QStringLiteral("route"),
        QByteArray(kRouteHeader)
            + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
    tree.writeFile(QStringLiteral("net/eth0/address"), address + '\n');
    tree.writeFile(QStringLiteral("os-release"), "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\n");
    UsageAnalytics::Sources sources = UsageAnalytics::Sources::system();
    sources.procNetRoute = tree.path(QStringLiteral("route"));
    sources.sysClassNet = tree.path(QStringLiteral("net"));
    sources.osRelease = {tree.path(QStringLiteral("os-release"))};
    sources.campaignFile = tree.path(QStringLiteral("track.plist"));
    return sources;
}

void TestAnalytics::eventBodyFollowsTheReceiversOrder_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QVariant>("campaign"); // invalid: no campaign file
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("install, no campaign")
        << QByteArray("00:1A:2b:3c:4d:5e") << QVariant() << QStringLiteral("install")
        << QStringLiteral("install")
        << QByteArray("v=1&tid=UA-1-1&cid=00:1a:2b:3c:4d:5e&t=event&ec=install&ea=install"
                      "&el=_00:1a:2b:3c:4d:5e&pa=click&pal=&pr1id=&pr1nm=12.0.0");
    QTest::newRow("no hardware address: el is just _")
        << QByteArray("none") << QVariant() << QStringLiteral("install")
        << QStringLiteral("install")
        << QByteArray("v=1&tid=UA-1-1&cid=&t=event&ec=install&ea=install&el=_&pa=click&pal="
                      "&pr1id=&pr1nm=12.0.0");
    QTest::newRow("upgrade with a campaign")
        << QByteArray("02:00:00:00:00:01") << QVariant(QStringLiteral("mail"))
        << QStringLiteral("kqupdated") << QStringLiteral("1.1")
        << QByteArray("v=1&tid=UA-1-1&cid=02:00:00:00:00:01&t=event&ec=kqupdated&ea=1.1"
                      "&el=mail_02:00:00:00:00:01&pa=click&pal=mail&pr1id=mail&pr1nm=12.0.0");
    QTest::newRow("values are not escaped")
        << QByteArray("02:00:00:00:00:01") << QVariant(QStringLiteral("a&b=c"))
        << QStringLiteral("install") << QStringLiteral("install")
        << QByteArray("v=1&tid=UA-1-1&cid=02:00:00:00:00:01&t=event&ec=install&ea=install"
                      "&el=a&b=c_02:00:00:00:00:01&pa=click&pal=a&b=c&pr1id=a&b=c&pr1nm=12.0.0");
}

void TestAnalytics::eventBodyFollowsTheReceiversOrder()
{
    QFETCH(QByteArray, address);
    QFETCH(QVariant, campaign);
    QFETCH(QString, category);
    QFETCH(QString, action);
    QFETCH(QByteArray, expected);

    TempTree tree;
    const UsageAnalytics::Sources sources = sourcesIn(tree, address);
    if (campaign.isValid())
        tree.writeFile(
            QStringLiteral("track.plist"), plist({{QStringLiteral("utm_source"), campaign}}));
    UsageAnalytics analytics({QUrl(), QStringLiteral("UA-1-1")}, sources);
    analytics.prepareAnalytics();
    QCOMPARE(analytics.eventBody(category, action), expected);
}

void TestAnalytics::hardwareAddressOfTheDefaultRoute_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QStringList>("interfaces"); // NAME=ADDRESS, ADDRESS "-" for no file
    QTest::addColumn<QString>("expected");

    const QByteArray header(kRouteHeader);
    const QByteArray twoRoutes = header
        + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
          "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
    QTest::newRow("the default route's interface, not the first one")
        << twoRoutes << QStringList {u"eth0=02:00:00:00:00:0a"_s, u"wlan0=02:00:00:00:00:0b"_s}
        << u"02:00:00:00:00:0b"_s;
    QTest::newRow("upper case is lowered")
        << twoRoutes << QStringList {u"wlan0=AA:BB:CC:DD:EE:FF"_s} << u"aa:bb:cc:dd:ee:ff"_s;
    QTest::newRow("a default route that is down does not count")
        << header + "wlan0\t00000000\t0102A8C0\t0002\t0\t0\t600\t00000000\t0\t0\t0\n"
        << QStringList {u"eth0=02:00:00:00:00:0a"_s, u"wlan0=02:00:00:00:00:0b"_s}
        << u"02:00:00:00:00:0a"_s;
    QTest::newRow("offline: first interface by name, loopback and zeros skipped")
        << header
        << QStringList {u"lo=00:00:00:00:00:00"_s, u"a0=00:00:00:00:00:00"_s, u"b0=-"_s,
               u"c0=02:00:00:00:00:0c"_s, u"d0=02:00:00:00:00:0d"_s}
        << u"02:00:00:00:00:0c"_s;
    QTest::newRow("default route's interface has no address: fall back")
        << twoRoutes << QStringList {u"eth0=02:00:00:00:00:0a"_s, u"wlan0=garbage"_s}
        << u"02:00:00:00:00:0a"_s;
    QTest::newRow("nothing readable")
        << QByteArray() << QStringList {u"lo=00:00:00:00:00:00"_s} << QString();
}

void TestAnalytics::hardwareAddressOfTheDefaultRoute()
{
    QFETCH(QByteArray, route);
    QFETCH(QStringList, interfaces);
    QFETCH(QString, expected);

    TempTree tree;
    if (!route.isEmpty())
        tree.writeFile(QStringLiteral("route"), route);
    tree.makeDir(QStringLiteral("net"));
    for (const QString& interface : interfaces) {
        const QString name = interface.section(u'=', 0, 0);
        const QString address = interface.section(u'=', 1);
        tree.makeDir(u"net/" + name);
        if (address != u"-")
            tree.writeFile(u"net/" + name + u"/address", address.toLatin1() + '\n');
    }
    QCOMPARE(UsageAnalytics::hardwareAddress(
                 tree.path(QStringLiteral("route")), tree.path(QStringLiteral("net"))),
        expected);
}

void TestAnalytics::osVersionFromOsRelease_data()
{
    QTest::addColumn<QByteArray>("etc"); // "-": no such file
    QTest::addColumn<QByteArray>("usrLib");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Debian 12") << QByteArray("ID=debian\nVERSION_ID=\"12\"\n") << QByteArray("-")
                               << u"12.0.0"_s;
    QTest::newRow("leading zero, unquoted")
        << QByteArray("VERSION_ID=22.04\n") << QByteArray("-") << u"22.4.0"_s;
    QTest::newRow("three numbers, single quotes")
        << QByteArray("VERSION_ID='3.19.1'\n") << QByteArray("-") << u"3.19.1"_s;
    QTest::newRow("a suffix ends the number")
        << QByteArray("VERSION_ID=\"40.1beta\"\n") << QByteArray("-") << u"40.1.0"_s;
    QTest::newRow("testing has no VERSION_ID")
        << QByteArray("ID=debian\n") << QByteArray("VERSION_ID=99\n") << u"0.0.0"_s;
    QTest::newRow("the fallback file when /etc has none")
        << QByteArray("-") << QByteArray("VERSION_ID=\"11\"\n") << u"11.0.0"_s;
    QTest::newRow("neither file") << QByteArray("-") << QByteArray("-") << u"0.0.0"_s;
}

void TestAnalytics::osVersionFromOsRelease()
{
    QFETCH(QByteArray, etc);
    QFETCH(QByteArray, usrLib);
    QFETCH(QString, expected);

    TempTree tree;
    if (etc != "-")
        tree.writeFile(QStringLiteral("etc"), etc);
    if (usrLib != "-")
        tree.writeFile(QStringLiteral("usrlib"), usrLib);
    QCOMPARE(UsageAnalytics::operatingSystemVersion(
                 {tree.path(QStringLiteral("etc")), tree.path(QStringLiteral("usrlib"))}),
        expected);
}

void TestAnalytics::campaignSourceIsTrimmed_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<QString>("expected");

    QTest::newRow("spaces around the key, spaces and a tab around the value")
        << plist({{u" utm_source "_s, u"  mail\t"_s}}) << u"mail"_s;
    QTest::newRow("other space separators are trimmed too")
        << plist({{u"utm_source"_s, u"\u00a0news\u2003"_s}}) << u"news"_s;
    QTest::newRow("line breaks stay") << plist({{u"utm_source"_s, u"mail\n"_s}}) << u"mail\n"_s;
    QTest::newRow("a number is not a source") << plist({{u"utm_source"_s, qint64(5)}}) << QString();
    QTest::newRow("other keys are ignored")
        << plist({{u"utm_medium"_s, u"x"_s}, {u"utm_sources"_s, u"y"_s}}) << QString();
    QTest::newRow("not a dictionary")
        << PropertyList::toXml(QVariantList {u"utm_source"_s}).value() << QString();
    QTest::newRow("not a property list") << QByteArray("utm_source=mail") << QString();
    QTest::newRow("no file") << QByteArray() << QString();
}

void TestAnalytics::campaignSourceIsTrimmed()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    TempTree tree;
    if (!content.isEmpty())
        tree.writeFile(QStringLiteral("corvane/track.plist"), content);
    QCOMPARE(
        UsageAnalytics::campaignSourceFromFile(tree.path(QStringLiteral("corvane/track.plist"))),
        expected);
}

void TestAnalytics::eventIsPostedToTheCollectAddress()
{
    LocalHttpServer server;
    QVERIFY(server.listen());
    TempTree tree;
    UsageAnalytics analytics({server.url(QStringLiteral("/collect")), QStringLiteral("UA-9-9")},
        sourcesIn(tree, "02:00:00:00:00:01"));
    analytics.prepareAnalytics();
    QSignalSpy finished(&analytics, &UsageAnalytics::eventFinished);
    analytics.sendAnalyticsEvent(QStringLiteral("install"), QStringLiteral("install"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/collect"));
    QCOMPARE(request.body, analytics.eventBody(u"install"_s, u"install"_s));
    QVERIFY(request.body.startsWith("v=1&tid=UA-9-9&cid=02:00:00:00:00:01&t=event"));

    // A receiver that is gone loses the event, and nothing else happens.
    UsageAnalytics lost({QUrl(u"http://127.0.0.1:%1/collect"_s.arg(LocalHttpServer::deadPort())),
                            QStringLiteral("UA-9-9")},
        sourcesIn(tree, "02:00:00:00:00:01"));
    QSignalSpy lostFinished(&lost, &UsageAnalytics::eventFinished);
    lost.sendAnalyticsEvent(QStringLiteral("install"), QStringLiteral("install"));
    QVERIFY(lostFinished.wait(10000));
    QCOMPARE(server.requests().size(), 1);
}

void TestAnalytics::onlyHttpsOrLoopbackIsTaken_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("trackingId");
    QTest::addColumn<bool>("analyticsEnabled");
    QTest::addColumn<bool>("newsletterEnabled"); // with a 10-character key

    QTest::newRow("unconfigured") << QString() << QString() << false << false;
    QTest::newRow("https") << u"https://collect.example.org/collect"_s << u"UA-1"_s << true << true;
    QTest::newRow("https without a tracking id")
        << u"https://collect.example.org/collect"_s << QString() << false << true;
    QTest::newRow("plain http elsewhere")
        << u"http://collect.example.org/c"_s << u"UA-1"_s << false << false;
    QTest::newRow("http to 127.0.0.1") << u"http://127.0.0.1:8080/c"_s << u"UA-1"_s << true << true;
    QTest::newRow("http to ::1") << u"http://[::1]:8080/c"_s << u"UA-1"_s << true << true;
    QTest::newRow("http to a name that may resolve anywhere")
        << u"http://localhost:8080/c"_s << u"UA-1"_s << false << false;
    QTest::newRow("another scheme") << u"ftp://127.0.0.1/c"_s << u"UA-1"_s << false << false;
    QTest::newRow("user info") << u"https://me:pw@example.org/c"_s << u"UA-1"_s << false << false;
    QTest::newRow("a newsletter address with its own query")
        << u"https://example.org/add.php?x=1"_s << u"UA-1"_s << true << false;
    QTest::newRow("not an address") << u"collect"_s << u"UA-1"_s << false << false;
}

void TestAnalytics::onlyHttpsOrLoopbackIsTaken()
{
    QFETCH(QString, address);
    QFETCH(QString, trackingId);
    QFETCH(bool, analyticsEnabled);
    QFETCH(bool, newsletterEnabled);

    const QVariantMap info {{u"CorvaneAnalyticsURL"_s, address},
        {u"CorvaneAnalyticsTrackingID"_s, trackingId}, {u"CorvaneNewsletterURL"_s, address},
        {u"CorvaneNewsletterKey"_s, u"0123456789"_s}};
    QCOMPARE(UsageAnalytics::Configuration::fromInfoDictionary(info).isEnabled(), analyticsEnabled);
    QCOMPARE(NewsletterSubscription::Configuration::fromInfoDictionary(info).isEnabled(),
        newsletterEnabled);
    if (newsletterEnabled) {
        QVariantMap shortKey = info;
        shortKey.insert(u"CorvaneNewsletterKey"_s, u"012345678"_s);
        QVERIFY(!NewsletterSubscription::Configuration::fromInfoDictionary(shortKey).isEnabled());
    }
}

QTEST_GUILESS_MAIN(TestAnalytics)
#include "tst_analytics.moc"
