// SPDX-License-Identifier: GPL-3.0-or-later
#include "NewsletterSubscription.h"

#include "ConfiguredEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <cmath>

namespace {

QString base64(const QString& text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

} // namespace

NewsletterSubscription::Configuration NewsletterSubscription::Configuration::fromInfoDictionary(
    const QVariantMap& info)
{
    Configuration configuration;
    configuration.endpoint = ConfiguredEndpoint::fromText(
        info.value(QStringLiteral("CorvaneNewsletterURL")).toString());
    configuration.key = info.value(QStringLiteral("CorvaneNewsletterKey")).toString();
    if (!configuration.endpoint.isEmpty() && configuration.key.size() != 10)
        qWarning("The newsletter key must have 10 characters; the newsletter is off");
    if (configuration.endpoint.hasQuery() || configuration.endpoint.hasFragment())
        configuration.endpoint.clear();
    return configuration;
}

NewsletterSubscription::NewsletterSubscription(Configuration configuration, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
{ }

QUrl NewsletterSubscription::requestUrl(const QString& email) const
{
    if (!m_configuration.isEnabled())
        return {};
    // Base64 as it is, not percent-encoded: the service decodes the raw query values.
    const QString text = m_configuration.endpoint.toString() + u"?nl=3&nk="
        + base64(m_configuration.key) + u"&ne=" + base64(email) + u"&nn=" + base64(QString());
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

void NewsletterSubscription::subscribe(const QString& email)
{
    const QUrl url = requestUrl(email);
    if (url.isEmpty())
        return;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError) {
            emit finished(std::nullopt);
            return;
        }
        emit finished(replyNumber(reply->readAll()));
    });
}

std::optional<qint64> NewsletterSubscription::replyNumber(const QByteArray& body)
{
    // QJsonDocument takes only an object or an array at the top, and the service answers with
    // a bare number: read the body as the one element of an array.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson('[' + body + ']', &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    if (array.size() != 1 || !array.first().isDouble())
        return std::nullopt;
    const double value = array.first().toDouble();
    if (std::trunc(value) != value || std::abs(value) > 9.0e15)
        return std::nullopt;
    return static_cast<qint64>(value);
}
