// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewsletterSubscription.h"
#include "PropertyList.h"
#include "TempTree.h"
#include "UsageAnalytics.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestAnalytics : public QObject
{
    Q_OBJECT

private slots:
    void preparationReadsTheMachine_data();
    void preparationReadsTheMachine();
    void eventBodyIsNotEscaped();
    void onlyHttpsOrLoopbackIsTaken_data();
    void onlyHttpsOrLoopbackIsTaken();
};

namespace {

const QByteArray kHeader = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
const QByteArray kWlanDefault = kHeader + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n"
    + "wlan0\t00000000\t0102A8C0\t0003\t0\t0\t600\t00000000\n";

QByteArray track(const QString& key, const QVariant& value)
{
    return PropertyList::toXml(QVariantMap {{key, value}}).value_or(QByteArray());
}

} // namespace

void TestAnalytics::preparationReadsTheMachine_data()
{
    QTest::addColumn<QByteArray>("route");
    QTest::addColumn<QStringList>("interfaces"); // NAME=ADDRESS, "-" for no address file
    QTest::addColumn<QByteArray>("osRelease"); // of /etc; empty: none there, /usr/lib has 11
    QTest::addColumn<QByteArray>("campaign"); // empty: no file
    QTest::addColumn<QString>("expected"); // clientId|osVersionText|campaignSource

    const QStringList both {u"eth0=02:00:00:00:00:0a"_s, u"wlan0=02:00:00:00:00:0B"_s};
    const QByteArray debian = "ID=debian\nVERSION_ID=\"12\"\n";
    QTest::newRow("default route's interface, lower-cased")
        << kWlanDefault << both << debian << QByteArray() << u"02:00:00:00:00:0b|12.0.0|"_s;
    QTest::newRow("a default route that is down does not count")
        << QByteArray(kHeader + "wlan0\t00000000\t0102A8C0\t0002\t0\t0\t0\t0\n") << both << debian
        << QByteArray() << u"02:00:00:00:00:0a|12.0.0|"_s;
    QTest::newRow("offline: first by name, loopback, zeros and garbage skipped")
        << QByteArray()
        << QStringList {u"lo=00:00:00:00:00:01"_s, u"a0=00:00:00:00:00:00"_s, u"b0=-"_s, u"c0=zz"_s,
               u"d0=02:00:00:00:00:0d"_s}
        << QByteArray("VERSION_ID=22.04\n") << QByteArray() << u"02:00:00:00:00:0d|22.4.0|"_s;
    QTest::newRow("no address at all, three-part version")
        << kWlanDefault << QStringList {u"wlan0=-"_s} << QByteArray("VERSION_ID='3.19.1'\n")
        << QByteArray() << u"|3.19.1|"_s;
    QTest::newRow("VERSION_ID missing in /etc: no fallback")
        << kWlanDefault << both << QByteArray("ID=debian\n") << QByteArray()
        << u"02:00:00:00:00:0b|0.0.0|"_s;
    QTest::newRow("no /etc/os-release: /usr/lib's")
        << kWlanDefault << both << QByteArray() << QByteArray() << u"02:00:00:00:00:0b|11.0.0|"_s;
    QTest::newRow("campaign: key and value trimmed of spaces and tabs")
        << kWlanDefault << both << debian << track(u" utm_source "_s, u"  mail\t"_s)
        << u"02:00:00:00:00:0b|12.0.0|mail"_s;
    QTest::newRow("campaign: other space separators trimmed, line breaks kept")
        << kWlanDefault << both << debian << track(u"utm_source"_s, u"\u00a0news\n\u2003"_s)
        << u"02:00:00:00:00:0b|12.0.0|news\n"_s;
    QTest::newRow("campaign: a number is no source")
        << kWlanDefault << both << debian << track(u"utm_source"_s, qint64(5))
        << u"02:00:00:00:00:0b|12.0.0|"_s;
    QTest::newRow("campaign: another key")
        << kWlanDefault << both << debian << track(u"utm_sources"_s, u"x"_s)
        << u"02:00:00:00:00:0b|12.0.0|"_s;
    QTest::newRow("campaign: not a property list")
        << kWlanDefault << both << debian << QByteArray("utm_source=mail")
        << u"02:00:00:00:00:0b|12.0.0|"_s;
}

void TestAnalytics::preparationReadsTheMachine()
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
    if (!campaign.isEmpty())
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

void TestAnalytics::eventBodyIsNotEscaped()
{
    TempTree tree;
    tree.writeFile(u"net/eth0/address"_s, "00:1a:2b:3c:4d:5e\n");
    tree.writeFile(u"os"_s, "VERSION_ID=10.15.7\n");
    UsageAnalytics analytics({QUrl(), u"UA-1-1"_s},
        {tree.path(u"none"_s), tree.path(u"net"_s), {tree.path(u"os"_s)}, tree.path(u"none"_s)});
    analytics.prepareAnalytics();
    QCOMPARE(analytics.eventBody(u"install"_s, u"install"_s),
        "v=1&tid=UA-1-1&cid=00:1a:2b:3c:4d:5e&t=event&ec=install&ea=install"
        "&el=_00:1a:2b:3c:4d:5e&pa=click&pal=&pr1id=&pr1nm=10.15.7");

    // A source holding "&" splits the field for the receiver, as it stands.
    tree.writeFile(u"track.plist"_s, track(u"utm_source"_s, u"a&b=c"_s));
    UsageAnalytics withCampaign({QUrl(), u"T"_s},
        {tree.path(u"none"_s), tree.path(u"none"_s), {}, tree.path(u"track.plist"_s)});
    withCampaign.prepareAnalytics();
    QCOMPARE(withCampaign.eventBody(u"kqupdated"_s, u"1.1"_s),
        "v=1&tid=T&cid=&t=event&ec=kqupdated&ea=1.1&el=a&b=c_&pa=click&pal=a&b=c&pr1id=a&b=c"
        "&pr1nm=0.0.0");
}

void TestAnalytics::onlyHttpsOrLoopbackIsTaken_data()
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
    QTest::newRow("not an address") << u"collect"_s << false << false;
}

void TestAnalytics::onlyHttpsOrLoopbackIsTaken()
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

QTEST_GUILESS_MAIN(TestAnalytics)
#include "tst_analytics.moc"
