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
    /// `socketPath` empty: $XDG_RUNTIME_DIR/corvane.socket, or a per-user name in the temp folder.
    explicit SingleInstance(QString socketPath = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultSocketPath();

    /// True when another instance took `arguments`; this process should then end.
    bool handOverToRunningInstance(const QStringList& arguments, int timeoutMs = 2000);
    /// Starts listening; false when the socket cannot be made (the application still runs).
    bool listen();

signals:
    /// Arguments a later start handed over (absolute paths, in their order).
    void argumentsReceived(const QStringList& arguments);

private:
    void readConnection();

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};
