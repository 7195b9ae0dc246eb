#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

/// One Corvane per user session. The first instance listens on a socket in the user's runtime
/// folder; a later start hands its arguments to it and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    /// `socketPath` empty: defaultSocketPath(). When that is empty too, the application runs
    /// without single-instance: it neither hands over nor listens.
    explicit SingleInstance(QString socketPath = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    /// $XDG_RUNTIME_DIR/corvane.socket, or else corvane.socket in a private per-user folder in
    /// the temp folder (corvane-UID, mode 0700, made when missing). Empty when that folder is
    /// not ours alone: another user could then receive the paths handed over.
    static QString defaultSocketPath();

    /// True when another instance took `arguments`; this process should then end. A socket
    /// that belongs to another user is never connected to.
    bool handOverToRunningInstance(const QStringList& arguments, int timeoutMs = 2000);
    /// Starts listening; false when the socket cannot be made (the application still runs).
    /// A socket file left behind is removed only when nobody answers on it.
    bool listen();

    /// A connection that sends this much without a complete message is dropped.
    static constexpr qsizetype maxMessageBytes = 1024 * 1024;

signals:
    /// Arguments a later start handed over (absolute paths, in their order).
    void argumentsReceived(const QStringList& arguments);

private:
    void readConnection();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};
