// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

class QNetworkAccessManager;

/// The two usage events (first launch, first launch after an upgrade), sent fire and forget to
/// a Measurement Protocol collect address a distributor wrote into the build. A build without
/// one sends nothing and never opens a connection. GUI thread only.
class UsageAnalytics : public QObject
{
    Q_OBJECT

public:
    struct Configuration
    {
        QUrl collectUrl; ///< empty: nothing is ever sent
        QString trackingId;

        /// From the Info.plist keys "CorvaneAnalyticsURL" and "CorvaneAnalyticsTrackingID".
        static Configuration fromInfoDictionary(const QVariantMap& info);
        bool isEnabled() const { return !collectUrl.isEmpty() && !trackingId.isEmpty(); }
    };

    /// Where the preparation reads the machine's facts.
    struct Sources
    {
        QString procNetRoute;
        QString sysClassNet;
        QStringList osRelease; ///< the first file that exists is read
        QString campaignFile;

        /// The real system files and the user's campaign file.
        static Sources system();
    };

    explicit UsageAnalytics(Configuration configuration, QObject* parent = nullptr);
    UsageAnalytics(Configuration configuration, Sources sources, QObject* parent = nullptr);

    /// Configured from the application's Info.plist.
    static UsageAnalytics& shared();
    /// $XDG_DATA_HOME/corvane/track.plist (~/.local/share when unset).
    static QString defaultCampaignFile();

    void setConfiguration(Configuration configuration)
    {
        m_configuration = std::move(configuration);
    }
    const Configuration& configuration() const { return m_configuration; }
    void setSources(Sources sources) { m_sources = std::move(sources); }

    /// Fills clientId, osVersionText and campaignSource; reads files only, no network.
    void prepareAnalytics();
    /// Posts the event and returns at once; the answer, or its absence, is ignored.
    void sendAnalyticsEvent(const QString& category, const QString& action);

    QString clientId() const { return m_clientId; }
    QString osVersionText() const { return m_osVersionText; }
    QString campaignSource() const { return m_campaignSource; }

    /// The body of one event, fields in the receiver's order and not escaped.
    QByteArray eventBody(const QString& category, const QString& action) const;

    /// The hardware address of the default-route interface, else of the first other interface
    /// that has one, as six lowercase hex pairs joined by ':'; empty when none can be read.
    static QString hardwareAddress(const QString& procNetRoute, const QString& sysClassNet);
    /// VERSION_ID of the first os-release file that has one, as three integers ("12" gives
    /// 12.0.0, "22.04" gives 22.4.0); 0.0.0 when none is readable.
    static QString operatingSystemVersion(const QStringList& osReleaseFiles);
    /// "utm_source" of the campaign file, keys and values trimmed; empty when there is none.
    static QString campaignSourceFromFile(const QString& path);
    /// Removes tabs and space separators at both ends; line breaks stay.
    static QString trimmedSpaces(const QString& text);

signals:
    /// An event's request has ended, however; only tests listen.
    void eventFinished();

private:
    Configuration m_configuration;
    Sources m_sources;
    QNetworkAccessManager* m_network = nullptr; ///< made on the first event of a configured build
    QString m_clientId;
    QString m_osVersionText;
    QString m_campaignSource;
};
