// SPDX-License-Identifier: GPL-3.0-or-later
#include "SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fallback folder lives in the shared temp folder, where anyone could have made it first;
// it is used only when it is a real folder of ours that nobody else may enter.
QString privateFallbackFolder()
{
    const QString folder
        = QDir::tempPath() + QStringLiteral("/corvane-") + QString::number(::geteuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "corvane: cannot make %s (%s); running without single-instance\n",
            native.constData(), std::strerror(errno));
        return {};
    }
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 077) != 0) {
        std::fprintf(stderr,
            "corvane: %s is not a private folder of this user; running without "
            "single-instance\n",
            native.constData());
        return {};
    }
    return folder;
}

// Only a socket our own user made may receive the paths we hand over.
bool isOurSocket(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode)
        && st.st_uid == ::geteuid();
}

// One message: the arguments as QDataStream writes a QStringList, then the activation token.
struct Message
{
    QStringList arguments;
    QString activationToken;
};

// One message from the front of `bytes`; `used` gets its length. String by string rather than
// `stream >> list`, which first reserves room for as many strings as the count claims:
// gigabytes, asked for by four bytes from a peer.
std::optional<Message> readMessage(const QByteArray& bytes, qsizetype* used)
{
    QDataStream stream(bytes);
    quint32 count = 0;
    stream >> count;
    Message message;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        QString argument;
        stream >> argument;
        message.arguments.append(argument);
    }
    stream >> message.activationToken;
    if (stream.status() != QDataStream::Ok)
        return std::nullopt;
    *used = qsizetype(stream.device()->pos());
    return message;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(socketPath.isEmpty() ? defaultSocketPath() : std::move(socketPath))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/corvane.socket");
    const QString folder = privateFallbackFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/corvane.socket");
}

QString SingleInstance::activationTokenFromEnvironment()
{
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return token.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : token;
}

bool SingleInstance::handOverToRunningInstance(
    const QStringList& arguments, int timeoutMs, const QString& activationToken)
{
    if (m_socketPath.isEmpty() || !isOurSocket(m_socketPath))
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream << arguments << activationToken;
    socket.write(payload);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    if (m_socketPath.isEmpty())
        return false;
    // With socket options set, QLocalServer binds elsewhere and renames into place, which would
    // silently replace a live instance's socket; so look first. A file is removed only when it
    // is certainly stale (left by a crashed instance): nobody answers on it.
    struct stat st;
    if (::lstat(QFile::encodeName(m_socketPath).constData(), &st) == 0) {
        QLocalSocket probe;
        probe.connectToServer(m_socketPath);
        const bool connected = probe.waitForConnected(1000);
        const QLocalSocket::LocalSocketError error = probe.error();
        probe.abort();
        if (connected
            || (error != QLocalSocket::ConnectionRefusedError
                && error != QLocalSocket::ServerNotFoundError))
            return false;
        QLocalServer::removeServer(m_socketPath);
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readConnection);
    return true;
}

void SingleInstance::readConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        auto readAvailable = [this, socket, buffer] {
            *buffer += socket->readAll();
            qsizetype used = 0;
            while (const std::optional<Message> message = readMessage(*buffer, &used)) {
                buffer->remove(0, used);
                deliver(message->arguments, message->activationToken);
            }
            if (buffer->size() > maxMessageBytes) {
                // No real list of paths is this long; a peer that keeps sending is dropped.
                buffer->clear();
                socket->abort();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, readAvailable);
        if (socket->bytesAvailable() > 0)
            readAvailable();
    }
}

void SingleInstance::deliver(const QStringList& arguments, const QString& activationToken)
{
    if (activationToken.isEmpty()) {
        emit argumentsReceived(arguments);
        return;
    }
    qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    emit argumentsReceived(arguments);
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        qunsetenv("XDG_ACTIVATION_TOKEN");
}
