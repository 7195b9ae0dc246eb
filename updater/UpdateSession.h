// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"
#include "UpdateDownload.h"
#include "UpdateError.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <memory>

class QNetworkAccessManager;
class QTemporaryDir;

/// The steps of one update, each reported by a signal on the thread that owns the session:
/// read the feed and pick the newest version above the running one; download its archive into
/// a private folder; check its signature; only then unpack it and check that it is the version
/// the feed announced, and newer than the running one, ready to install. The check and
/// the unpacking run on a worker thread, so the window stays responsive.
class UpdateSession : public QObject
{
    Q_OBJECT

public:
    struct Configuration
    {
        QUrl feedUrl;
        QByteArray publicKey; ///< 32 bytes
        QString runningVersion;
        QString stagingRoot; ///< where private download folders are made ($XDG_CACHE_HOME/corvane)
        int stallTimeoutMs = 30000;
    };

    explicit UpdateSession(Configuration configuration, QObject* parent = nullptr);
    ~UpdateSession() override;

    /// A feed address that is allowed, and a public key.
    bool isConfigured() const;
    const Configuration& configuration() const { return m_configuration; }
    /// Takes effect with the next check or download.
    void setStallTimeout(int milliseconds) { m_configuration.stallTimeoutMs = milliseconds; }
    /// A check or a download is under way.
    bool isBusy() const { return m_download || m_unpacking; }

    /// Reads the feed: updateFound(), noUpdateFound() or failed() follows.
    void checkForUpdates();
    /// The request downloadUpdate() would send for `item`, for the caller to adjust.
    QNetworkRequest requestFor(const AppcastItem& item) const;
    /// Downloads, verifies and unpacks `item` with `request`: downloadProgress() as it comes,
    /// then updateStaged() or failed().
    void downloadUpdate(const AppcastItem& item, const QNetworkRequest& request);
    /// Stops what is under way, without a signal.
    void cancel();

    /// The unpacked tree of the last update staged, or empty.
    QString stagedTree() const;
    /// Forgets the staged update and removes its folder.
    void discardStagedUpdate();

signals:
    void updateFound(const AppcastItem& item);
    void noUpdateFound();
    void downloadProgress(qint64 received, qint64 total);
    void updateStaged(const AppcastItem& item);
    void failed(const UpdateError& error);

private:
    void feedArrived(const UpdateError& error);
    void archiveArrived(const AppcastItem& item, const UpdateError& error);
    void fail(const UpdateError& error);
    void removeStaleFolders() const;

    Configuration m_configuration;
    QNetworkAccessManager* m_network;
    QPointer<UpdateDownload> m_download;
    QPointer<QFutureWatcher<UpdateError>>
        m_unpacking; ///< signature check and unpacking, on a worker
    std::unique_ptr<QTemporaryDir> m_folder; ///< the download under way or the staged update
    bool m_staged = false;
};
