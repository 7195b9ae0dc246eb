// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdateError.h"

#include <QByteArray>
#include <QFile>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

/// One bounded HTTP GET: the answer goes to memory or to a new file, is cut off when it passes
/// its limit or the server stops sending, and must end at the expected length when one is given.
/// Redirects are followed only to addresses ConfiguredEndpoint allows.
class UpdateDownload : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 exactLength = -1; ///< the only acceptable size; -1 when unknown
        qint64 maxLength = 1 << 20; ///< used when exactLength is -1
        int stallTimeoutMs = 30000; ///< the longest wait for the next bytes
    };

    UpdateDownload(QNetworkAccessManager* network, QObject* parent = nullptr);
    ~UpdateDownload() override;

    /// Starts the transfer into `filePath` (which must not exist yet), or into memory when it is
    /// empty. finished() follows exactly once, unless abort() comes first.
    void start(const QNetworkRequest& request, const QString& filePath, Limits limits);
    /// Stops without a finished() signal; a partial file is removed.
    void abort();

    /// The answer, when it went to memory.
    const QByteArray& data() const { return m_data; }

signals:
    void progress(qint64 received, qint64 total);
    void finished(const UpdateError& error);

private:
    void readAvailable();
    void done(UpdateError error);

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer* m_stall;
    QFile m_file;
    QByteArray m_data;
    Limits m_limits;
    qint64 m_received = 0;
};
