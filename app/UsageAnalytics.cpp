// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsageAnalytics.h"

#include "Bundle.h"
#include "ConfiguredEndpoint.h"
#include "PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <cctype>

namespace {

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

// "aa:bb:cc:dd:ee:ff" with six hex pairs, lower-cased; empty for anything else or all zeros.
QString validAddress(const QByteArray& text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9a-f]{2}:){5}[0-9a-f]{2}")));
    const QString address = QString::fromLatin1(text.trimmed()).toLower();
    if (!pattern.match(address).hasMatch() || address == u"00:00:00:00:00:00")
        return {};
    return address;
}

QString defaultRouteInterface(const QString& procNetRoute)
{
    // Iface Destination Gateway Flags ...; the default route has destination 0 and is up.
    const QList<QByteArray> lines = readSmallFile(procNetRoute).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 4 || fields.at(1) != "00000000")
            continue;
        bool ok = false;
        const uint flags = fields.at(3).toUInt(&ok, 16);
        if (ok && (flags & 0x1) != 0)
            return QString::fromLocal8Bit(fields.at(0));
    }
    return {};
}

} // namespace

UsageAnalytics::Configuration UsageAnalytics::Configuration::fromInfoDictionary(
    const QVariantMap& info)
{
    Configuration configuration;
    configuration.collectUrl = ConfiguredEndpoint::fromText(
        info.value(QStringLiteral("CorvaneAnalyticsURL")).toString());
    configuration.trackingId = info.value(QStringLiteral("CorvaneAnalyticsTrackingID")).toString();
    return configuration;
}

UsageAnalytics::Sources UsageAnalytics::Sources::system()
{
    return {QStringLiteral("/proc/net/route"), QStringLiteral("/sys/class/net"),
        {QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")},
        defaultCampaignFile()};
}

UsageAnalytics::UsageAnalytics(Configuration configuration, QObject* parent)
    : UsageAnalytics(std::move(configuration), Sources::system(), parent)
{ }

UsageAnalytics::UsageAnalytics(Configuration configuration, Sources sources, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_sources(std::move(sources))
{ }

UsageAnalytics& UsageAnalytics::shared()
{
    // Owned by the application, so its requests end before the application does.
    static UsageAnalytics* instance = new UsageAnalytics(
        Configuration::fromInfoDictionary(Bundle::mainBundle().infoDictionary()),
        QCoreApplication::instance());
    return *instance;
}

QString UsageAnalytics::defaultCampaignFile()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/corvane/track.plist");
}

void UsageAnalytics::prepareAnalytics()
{
    m_clientId = hardwareAddress(m_sources.procNetRoute, m_sources.sysClassNet);
    m_osVersionText = operatingSystemVersion(m_sources.osRelease);
    m_campaignSource = campaignSourceFromFile(m_sources.campaignFile);
}

QByteArray UsageAnalytics::eventBody(const QString& category, const QString& action) const
{
    const QString body = u"v=1&tid=" + m_configuration.trackingId + u"&cid=" + m_clientId
        + u"&t=event&ec=" + category + u"&ea=" + action + u"&el=" + m_campaignSource + u'_'
        + m_clientId + u"&pa=click&pal=" + m_campaignSource + u"&pr1id=" + m_campaignSource
        + u"&pr1nm=" + m_osVersionText;
    return body.toUtf8();
}

void UsageAnalytics::sendAnalyticsEvent(const QString& category, const QString& action)
{
    if (!m_configuration.isEnabled())
        return;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_configuration.collectUrl);
    request.setTransferTimeout(60 * 1000);
    // What Qt would pick by itself for a POST, said outright so it does not warn each time.
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply* reply = m_network->post(request, eventBody(category, action));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        emit eventFinished();
    });
}

QString UsageAnalytics::hardwareAddress(const QString& procNetRoute, const QString& sysClassNet)
{
    const QString preferred = defaultRouteInterface(procNetRoute);
    if (!preferred.isEmpty() && !preferred.contains(u'/')) {
        const QString address
            = validAddress(readSmallFile(sysClassNet + u'/' + preferred + u"/address"));
        if (!address.isEmpty())
            return address;
    }
    // No default route (offline): the first interface by name that has an address, so the
    // identifier stays the same from one launch to the next.
    const QStringList interfaces
        = QDir(sysClassNet).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : interfaces) {
        if (name == u"lo")
            continue;
        const QString address
            = validAddress(readSmallFile(sysClassNet + u'/' + name + u"/address"));
        if (!address.isEmpty())
            return address;
    }
    return {};
}

QString UsageAnalytics::operatingSystemVersion(const QStringList& osReleaseFiles)
{
    // os-release(5): the first file that exists is the one to read.
    for (const QString& path : osReleaseFiles) {
        if (!QFile::exists(path))
            continue;
        for (const QByteArray& rawLine : readSmallFile(path).split('\n')) {
            const QByteArray line = rawLine.trimmed();
            if (!line.startsWith("VERSION_ID="))
                continue;
            QByteArray value = line.mid(int(sizeof("VERSION_ID=") - 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
                && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            int numbers[3] = {0, 0, 0};
            const QList<QByteArray> parts = value.split('.');
            for (int i = 0; i < 3 && i < parts.size(); ++i) {
                // Leading digits only: "10-beta" still reads as 10.
                qsizetype digits = 0;
                while (digits < parts.at(i).size() && std::isdigit(uchar(parts.at(i).at(digits))))
                    ++digits;
                if (digits == 0)
                    break;
                numbers[i] = parts.at(i).left(digits).toInt();
                if (digits < parts.at(i).size())
                    break;
            }
            return QStringLiteral("%1.%2.%3").arg(numbers[0]).arg(numbers[1]).arg(numbers[2]);
        }
        break;
    }
    return QStringLiteral("0.0.0");
}

QString UsageAnalytics::trimmedSpaces(const QString& text)
{
    const auto isSpace
        = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpace(text.at(begin)))
        ++begin;
    while (end > begin && isSpace(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QString UsageAnalytics::campaignSourceFromFile(const QString& path)
{
    // An installer's file in the user's folder: read as settings are, never blocking on a FIFO.
    const PropertyList::FileResult file = PropertyList::readFile(path);
    if (file.value.typeId() != QMetaType::QVariantMap)
        return {};
    QString source;
    const QVariantMap dictionary = file.value.toMap();
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it) {
        if (it.key().isEmpty() || it.value().typeId() != QMetaType::QString)
            continue;
        if (trimmedSpaces(it.key()) == u"utm_source")
            source = trimmedSpaces(it.value().toString());
    }
    return source;
}
