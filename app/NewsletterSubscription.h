// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QUrl>
#include <QVariantMap>
#include <optional>

class QNetworkAccessManager;

/// Sends an e-mail address to the newsletter service a distributor wrote into the build, and
/// hands back the number the service answers. A build without a service has no newsletter.
/// GUI thread only; nothing waits for the answer.
class NewsletterSubscription : public QObject
{
    Q_OBJECT

public:
    struct Configuration
    {
        QUrl endpoint; ///< scheme, host and path, up to the query; empty: no newsletter
        QString key; ///< the service's access key, 10 characters

        /// From the Info.plist keys "CorvaneNewsletterURL" and "CorvaneNewsletterKey".
        static Configuration fromInfoDictionary(const QVariantMap& info);
        bool isEnabled() const { return !endpoint.isEmpty() && key.size() == 10; }
    };

    explicit NewsletterSubscription(Configuration configuration, QObject* parent = nullptr);

    const Configuration& configuration() const { return m_configuration; }
    /// How long a request may go without any data; 60 s unless a test shortens it.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }

    /// The request's address: the endpoint and "?nl=3&nk=KEY&ne=EMAIL&nn=", each value in
    /// standard Base64 of its UTF-8 bytes. An empty URL when it would not be valid.
    QUrl requestUrl(const QString& email) const;
    /// Starts the request and returns at once; finished() follows.
    void subscribe(const QString& email);

    /// The number in a reply body that is JSON with an integer at its top level; else nothing.
    static std::optional<qint64> replyNumber(const QByteArray& body);

signals:
    /// The request ended: with the service's number, or nothing (no answer, no number).
    void finished(std::optional<qint64> number);

private:
    Configuration m_configuration;
    QNetworkAccessManager* m_network = nullptr; ///< made with the first request
    int m_timeoutMs = 60 * 1000;
};
