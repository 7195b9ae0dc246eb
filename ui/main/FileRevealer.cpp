// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRevealer.h"

#include "PathText.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Long enough for a file manager started by bus activation, short enough that a hung one soon
// gives way to the fallback.
constexpr int kCallTimeoutMs = 5000;

void openParentFolder(const QString& path)
{
    QDesktopServices::openUrl(PathText::urlFromPath(FileRevealer::fallbackFolder(path)));
}

} // namespace

QString FileRevealer::fallbackFolder(const QString& path)
{
    // Lexically, without following links: the folder that lists the item itself.
    QString clean = QDir::cleanPath(path);
    if (clean == u"/")
        return clean;
    return QFileInfo(clean).path();
}

void FileRevealer::reveal(const QString& path)
{
    reveal(path, QDBusConnection::sessionBus());
}

void FileRevealer::reveal(const QString& path, const QDBusConnection& bus)
{
    if (path.isEmpty())
        return;
    if (!bus.isConnected()) {
        openParentFolder(path);
        return;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList {PathText::urlFromPath(QDir::cleanPath(path)).toString(QUrl::FullyEncoded)}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(call, kCallTimeoutMs), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
        [path](QDBusPendingCallWatcher* finished) {
            if (finished->isError())
                openParentFolder(path);
            finished->deleteLater();
        });
}
