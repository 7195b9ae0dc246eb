// SPDX-License-Identifier: GPL-3.0-or-later
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

    /// The launcher's token for raising our window: XDG_ACTIVATION_TOKEN (Wayland), else
    /// DESKTOP_STARTUP_ID. Empty when started without one.
    static QString activationTokenFromEnvironment();

    static constexpr int handOverTimeoutMs = 2000;
    /// True when another instance took `arguments`, and with them `activationToken`, so that it
    /// may raise its window; this process should then end. A socket that belongs to another
    /// user is never connected to.
    bool handOverToRunningInstance(const QStringList& arguments, int timeoutMs = handOverTimeoutMs,
        const QString& activationToken = QString());
    /// Starts listening; false when the socket cannot be made (the application still runs).
    /// A socket file left behind is removed only when nobody answers on it.
    bool listen();

    /// A connection that sends this much without a complete message is dropped.
    static constexpr qsizetype maxMessageBytes = 1024 * 1024;

signals:
    /// Arguments a later start handed over (absolute paths, in their order). While the signal
    /// is delivered, XDG_ACTIVATION_TOKEN holds the token that start came with, so that a
    /// window a receiver raises (QWidget::activateWindow) may take the focus on Wayland, whose
    /// Qt plugin reads the variable and removes it. On other platforms it is removed after
    /// delivery, so that it does not leak into programs started later.
    void argumentsReceived(const QStringList& arguments);

private:
    void readConnection();
    void deliver(const QStringList& arguments, const QString& activationToken);

    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};
