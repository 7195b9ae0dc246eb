// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateSession.h"

#include "Appcast.h"
#include "ArchiveUnpacker.h"
#include "ConfiguredEndpoint.h"
#include "UpdateDownload.h"
#include "UpdateInstaller.h"
#include "UpdateSignature.h"

#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// A feed lists releases, not their contents; a megabyte is far more than any needs.
constexpr qint64 maxFeedBytes = 1 << 20;
constexpr qint64 maxArchiveBytes = qint64(512) << 20;

} // namespace

UpdateSession::UpdateSession(Configuration configuration, QObject* parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_network(new QNetworkAccessManager(this))
{
    // The feed and the archive are what the user was told about, never a cached copy.
    m_network->setCache(nullptr);
}

UpdateSession::~UpdateSession()
{
    cancel();
}

bool UpdateSession::isConfigured() const
{
    return ConfiguredEndpoint::isAllowed(m_configuration.feedUrl)
        && m_configuration.publicKey.size() == 32;
}

void UpdateSession::checkForUpdates()
{
    cancel();
    m_download = new UpdateDownload(m_network, this);
    connect(m_download, &UpdateDownload::finished, this, &UpdateSession::feedArrived);
    UpdateDownload::Limits limits;
    limits.maxLength = maxFeedBytes;
    limits.stallTimeoutMs = m_configuration.stallTimeoutMs;
    QNetworkRequest request(m_configuration.feedUrl);
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    m_download->start(request, QString(), limits);
}

void UpdateSession::feedArrived(const UpdateError& error)
{
    const QByteArray feed = m_download->data();
    m_download->deleteLater();
    m_download = nullptr;
    if (error) {
        fail(error);
        return;
    }
    QList<AppcastItem> items;
    if (UpdateError parsed = Appcast::parse(feed, m_configuration.feedUrl, &items)) {
        fail(parsed);
        return;
    }
    const std::optional<AppcastItem> newest
        = Appcast::newestAbove(items, m_configuration.runningVersion);
    if (newest)
        emit updateFound(*newest);
    else
        emit noUpdateFound();
}

QNetworkRequest UpdateSession::requestFor(const AppcastItem& item) const
{
    QNetworkRequest request(item.url);
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    return request;
}

void UpdateSession::downloadUpdate(const AppcastItem& item, const QNetworkRequest& request)
{
    cancel();
    discardStagedUpdate();
    if (item.length <= 0 || item.length > maxArchiveBytes) {
        fail({UpdateError::Kind::LengthMismatch,
            QStringLiteral("the feed announces %1 bytes").arg(item.length)});
        return;
    }
    // Private to the user (0700), so nobody else can swap the archive between check and unpack.
    if (!QDir().mkpath(m_configuration.stagingRoot)) {
        fail({UpdateError::Kind::Install, m_configuration.stagingRoot + u": cannot be made"});
        return;
    }
    removeStaleFolders();
    m_folder = std::make_unique<QTemporaryDir>(m_configuration.stagingRoot + u"/update-XXXXXX");
    if (!m_folder->isValid()) {
        const QString why = m_folder->errorString();
        m_folder.reset();
        fail({UpdateError::Kind::Install, m_configuration.stagingRoot + u": " + why});
        return;
    }
    m_download = new UpdateDownload(m_network, this);
    connect(m_download, &UpdateDownload::progress, this, &UpdateSession::downloadProgress);
    connect(m_download, &UpdateDownload::finished, this,
        [this, item](const UpdateError& error) { archiveArrived(item, error); });
    UpdateDownload::Limits limits;
    limits.exactLength = item.length;
    limits.stallTimeoutMs = m_configuration.stallTimeoutMs;
    m_download->start(request, m_folder->filePath(QStringLiteral("update.archive")), limits);
}

void UpdateSession::removeStaleFolders() const
{
    // Left by a run that ended before it could install (killed, crashed, power cut). A day's
    // age keeps clear of a download another Corvane of this user may have under way.
    const QDateTime dayAgo = QDateTime::currentDateTimeUtc().addDays(-1);
    const QFileInfoList folders = QDir(m_configuration.stagingRoot)
                                      .entryInfoList({QStringLiteral("update-*")},
                                          QDir::Dirs | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& folder : folders) {
        if (folder.lastModified().toUTC() < dayAgo)
            QDir(folder.filePath()).removeRecursively();
    }
}

namespace {

/// The slow part, on a worker thread: it touches nothing but the files it is given.
UpdateError verifyAndUnpack(const QString& archive, const QString& tree,
    const QByteArray& signature, const QByteArray& publicKey, const QString& source,
    const QString& announced, const QString& running)
{
    // Not one byte of an archive is looked into before its signature holds.
    if (!UpdateSignature::verifyFile(archive, signature, publicKey))
        return {UpdateError::Kind::BadSignature, u"the signature does not match " + source};
    if (!QDir().mkdir(tree))
        return {UpdateError::Kind::Install, tree + u": cannot be made"};
    if (UpdateError error = ArchiveUnpacker::unpack(archive, tree))
        return error;
    if (UpdateError error = UpdateInstaller::checkTree(tree))
        return error;
    if (UpdateError error = UpdateInstaller::checkVersion(tree, announced, running))
        return error;
    QFile::remove(archive);
    return UpdateError::none();
}

} // namespace

void UpdateSession::archiveArrived(const AppcastItem& item, const UpdateError& error)
{
    m_download->deleteLater();
    m_download = nullptr;
    if (error) {
        fail(error);
        return;
    }
    m_unpacking = new QFutureWatcher<UpdateError>(this);
    connect(m_unpacking, &QFutureWatcherBase::finished, this, [this, item] {
        const UpdateError result = m_unpacking->result();
        m_unpacking->deleteLater();
        m_unpacking = nullptr;
        if (result) {
            fail(result);
            return;
        }
        m_staged = true;
        emit updateStaged(item);
    });
    m_unpacking->setFuture(
        QtConcurrent::run(verifyAndUnpack, m_folder->filePath(QStringLiteral("update.archive")),
            m_folder->filePath(QStringLiteral("tree")), item.edSignature, m_configuration.publicKey,
            item.url.toDisplayString(QUrl::RemoveUserInfo), item.version,
            m_configuration.runningVersion));
}

void UpdateSession::cancel()
{
    if (m_download) {
        m_download->abort();
        m_download->deleteLater();
        m_download = nullptr;
    }
    if (m_unpacking) {
        // The worker writes into the folder: it must be done before the folder goes.
        m_unpacking->disconnect(this);
        m_unpacking->waitForFinished();
        m_unpacking->deleteLater();
        m_unpacking = nullptr;
    }
    if (!m_staged)
        m_folder.reset();
}

QString UpdateSession::stagedTree() const
{
    return m_staged && m_folder ? m_folder->filePath(QStringLiteral("tree")) : QString();
}

void UpdateSession::discardStagedUpdate()
{
    m_staged = false;
    m_folder.reset();
}

void UpdateSession::fail(const UpdateError& error)
{
    if (!m_staged)
        m_folder.reset();
    emit failed(error);
}
