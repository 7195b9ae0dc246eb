// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateDownload.h"

#include "ConfiguredEndpoint.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <unistd.h>

UpdateDownload::UpdateDownload(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_stall(new QTimer(this))
{
    m_stall->setSingleShot(true);
    connect(m_stall, &QTimer::timeout, this, [this] {
        done({UpdateError::Kind::Timeout,
            QStringLiteral("no data for %1 ms").arg(m_limits.stallTimeoutMs)});
    });
}

UpdateDownload::~UpdateDownload()
{
    abort();
}

void UpdateDownload::start(const QNetworkRequest& request, const QString& filePath, Limits limits)
{
    m_limits = limits;
    m_received = 0;
    m_data.clear();
    const QUrl url = request.url();
    if (!ConfiguredEndpoint::isAllowed(url)) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(0, this, [this, url] {
            done({UpdateError::Kind::AddressRefused, url.toDisplayString(QUrl::RemoveUserInfo)});
        });
        return;
    }
    if (!filePath.isEmpty()) {
        m_file.setFileName(filePath);
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            QTimer::singleShot(0, this, [this] {
                done(
                    {UpdateError::Kind::Install, m_file.fileName() + u": " + m_file.errorString()});
            });
            return;
        }
    }
    QNetworkRequest bounded(request);
    bounded.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    bounded.setMaximumRedirectsAllowed(5);
    // Compressed answers would make the byte count meaningless: ask for the bytes as they are.
    bounded.setRawHeader("Accept-Encoding", "identity");
    m_reply = m_network->get(bounded);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& target) {
        if (ConfiguredEndpoint::isAllowed(target))
            emit m_reply->redirectAllowed();
        else
            done({UpdateError::Kind::AddressRefused,
                u"redirect to " + target.toDisplayString(QUrl::RemoveUserInfo)});
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
        const qint64 limit = m_limits.exactLength >= 0 ? m_limits.exactLength : m_limits.maxLength;
        if (announced.isValid() && announced.toLongLong() > limit)
            done({m_limits.exactLength >= 0 ? UpdateError::Kind::LengthMismatch
                                            : UpdateError::Kind::FeedMalformed,
                QStringLiteral("the server announces %1 bytes, %2 expected at most")
                    .arg(announced.toLongLong())
                    .arg(limit)});
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateDownload::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        if (!m_reply)
            return;
        readAvailable();
        if (!m_reply)
            return;
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_reply->error() != QNetworkReply::NoError)
            done({UpdateError::Kind::Network, m_reply->errorString()});
        else if (status < 200 || status > 299)
            done({UpdateError::Kind::Network, QStringLiteral("HTTP status %1").arg(status)});
        else if (m_limits.exactLength >= 0 && m_received != m_limits.exactLength)
            done({UpdateError::Kind::LengthMismatch,
                QStringLiteral("%1 bytes received, %2 announced")
                    .arg(m_received)
                    .arg(m_limits.exactLength)});
        else
            done(UpdateError::none());
    });
    m_stall->start(m_limits.stallTimeoutMs);
}

void UpdateDownload::readAvailable()
{
    if (!m_reply)
        return;
    const QByteArray chunk = m_reply->readAll();
    if (chunk.isEmpty())
        return;
    m_stall->start(m_limits.stallTimeoutMs);
    m_received += chunk.size();
    const qint64 limit = m_limits.exactLength >= 0 ? m_limits.exactLength : m_limits.maxLength;
    if (m_received > limit) {
        done({m_limits.exactLength >= 0 ? UpdateError::Kind::LengthMismatch
                                        : UpdateError::Kind::FeedMalformed,
            QStringLiteral("more than %1 bytes").arg(limit)});
        return;
    }
    if (m_file.isOpen()) {
        if (m_file.write(chunk) != chunk.size()) {
            done({UpdateError::Kind::Install, m_file.fileName() + u": " + m_file.errorString()});
            return;
        }
    } else {
        m_data += chunk;
    }
    emit progress(m_received, m_limits.exactLength);
}

void UpdateDownload::abort()
{
    m_stall->stop();
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_file.isOpen()) {
        m_file.close();
        m_file.remove();
    }
}

void UpdateDownload::done(UpdateError error)
{
    if (!error && m_file.isOpen()) {
        // The archive is checked and unpacked from this file: it must be whole on disk.
        if (!m_file.flush() || ::fsync(m_file.handle()) != 0)
            error = {UpdateError::Kind::Install, m_file.fileName() + u": " + m_file.errorString()};
        else
            m_file.close();
    }
    if (error)
        abort();
    else {
        m_stall->stop();
        if (m_reply) {
            m_reply->disconnect(this);
            m_reply->deleteLater();
            m_reply = nullptr;
        }
    }
    emit finished(error);
}
