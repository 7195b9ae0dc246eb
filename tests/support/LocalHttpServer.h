// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

/// A small HTTP/1.1 server on 127.0.0.1 for network tests: it records every request and
/// answers each with the status and body the test set, or never answers at all.
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; ///< path and query, exactly as sent
        QByteArray body;
    };

    explicit LocalHttpServer(QObject* parent = nullptr);

    /// Listens on 127.0.0.1 at a free port; false when it cannot.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    /// http://127.0.0.1:PORT followed by `path`.
    QUrl url(const QString& path = QString()) const;

    void setResponse(int status, QByteArray body);
    /// Answers requests for `path` (the target without its query) with `body`, as
    /// application/octet-stream, instead of the response set above. With `stallAfter` at 0 or
    /// more, sends the headers (announcing the whole body) and that many bytes, then nothing more.
    void setRoute(
        const QByteArray& path, QByteArray body, int status = 200, qint64 stallAfter = -1);
    /// Requests are read and recorded but never answered, the connection left open.
    void setSilent(bool silent) { m_silent = silent; }

    const QList<Request>& requests() const { return m_requests; }

    /// A port on 127.0.0.1 where nothing listens (bound a moment ago, then closed).
    static quint16 deadPort();

signals:
    void requestReceived();

private:
    void readFrom(QTcpSocket* socket);

    struct Route
    {
        int status = 200;
        QByteArray body;
        qint64 stallAfter = -1;
    };

    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    QList<Request> m_requests;
    int m_status = 200;
    QByteArray m_body;
    bool m_silent = false;
};
