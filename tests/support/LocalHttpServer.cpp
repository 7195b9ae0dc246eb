// SPDX-License-Identifier: GPL-3.0-or-later
#include "LocalHttpServer.h"

#include <QTcpSocket>

LocalHttpServer::LocalHttpServer(QObject* parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void LocalHttpServer::setResponse(int status, QByteArray body)
{
    m_status = status;
    m_body = std::move(body);
}

void LocalHttpServer::setRoute(
    const QByteArray& path, QByteArray body, int status, qint64 stallAfter)
{
    m_routes.insert(path, Route {status, std::move(body), stallAfter});
}

quint16 LocalHttpServer::deadPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LocalHttpServer::readFrom(QTcpSocket* socket)
{
    // The bytes of a request may arrive in pieces: keep them until it is complete.
    QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
    for (;;) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            break;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        Request request;
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        qsizetype length = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon < 0)
                continue;
            if (lines.at(i).left(colon).trimmed().toLower() == "content-length")
                length = lines.at(i).mid(colon + 1).trimmed().toLongLong();
        }
        if (buffer.size() < headEnd + 4 + length)
            break;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        m_requests.append(request);
        const qsizetype query = request.target.indexOf('?');
        const QByteArray path = query < 0 ? request.target : request.target.left(query);
        if (!m_silent && m_routes.contains(path)) {
            const Route& route = m_routes.value(path);
            socket->write("HTTP/1.1 " + QByteArray::number(route.status) + " Answer\r\n"
                + "Content-Type: application/octet-stream\r\nContent-Length: "
                + QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n");
            if (route.stallAfter >= 0) {
                socket->write(route.body.left(route.stallAfter));
            } else {
                socket->write(route.body);
                socket->disconnectFromHost();
            }
        } else if (!m_silent) {
            socket->write("HTTP/1.1 " + QByteArray::number(m_status) + " Answer\r\n"
                + "Content-Type: application/json\r\nContent-Length: "
                + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
            socket->disconnectFromHost();
        }
        emit requestReceived();
    }
    socket->setProperty("pending", buffer);
}
