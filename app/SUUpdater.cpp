// SPDX-License-Identifier: GPL-3.0-or-later
#include "SUUpdater.h"

#include "Alert.h"
#include "Bundle.h"
#include "ConfiguredEndpoint.h"
#include "LanguageTable.h"
#include "SUUpdaterDelegate.h"
#include "UpdateInstaller.h"
#include "UpdateSession.h"
#include "UpdateSignature.h"
#include "UpdateWindow.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QStandardPaths>

namespace {

UpdateSession::Configuration configurationOf(const Bundle& bundle)
{
    const QVariantMap info = bundle.infoDictionary();
    UpdateSession::Configuration configuration;
    const QString feed = info.value(QStringLiteral("SUFeedURL")).toString();
    if (!feed.isEmpty()) {
        configuration.feedUrl = ConfiguredEndpoint::fromText(feed);
        configuration.publicKey = UpdateSignature::publicKeyFromBase64(
            info.value(QStringLiteral("SUPublicEDKey")).toString());
        if (configuration.publicKey.isEmpty())
            qWarning("Not checking for updates: SUPublicEDKey is not a Base64 Ed25519 public key");
    }
    configuration.runningVersion = info.value(QStringLiteral("CFBundleVersion")).toString();
    configuration.stagingRoot
        = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/corvane";
    return configuration;
}

} // namespace

SUUpdater::SUUpdater(const Bundle& bundle, QObject* parent)
    : QObject(parent)
    , m_bundle(bundle)
    , m_session(new UpdateSession(configurationOf(bundle), this))
    , m_executablePath(QCoreApplication::applicationFilePath())
{
    connect(m_session, &UpdateSession::updateFound, this, &SUUpdater::updateFound);
    connect(m_session, &UpdateSession::noUpdateFound, this, &SUUpdater::noUpdateFound);
    connect(m_session, &UpdateSession::failed, this, &SUUpdater::updateFailed);
    connect(m_session, &UpdateSession::updateStaged, this, &SUUpdater::updateStaged);
    connect(
        m_session, &UpdateSession::downloadProgress, this, [this](qint64 received, qint64 total) {
            if (!m_automaticDownload && m_window)
                m_window->showProgress(m_item, received, total);
        });
    if (!isConfigured())
        return;
    // Whatever quits the application installs what is staged: the menu, the tray, a logout.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
        [this] { installStagedUpdate(); });
    const UpdateInstaller installer(m_executablePath);
    if (installer.kind() == UpdateInstaller::Kind::UserPrefix) {
        if (const UpdateError error = installer.finishInterruptedInstall())
            qWarning("Could not finish the interrupted update: %s", qPrintable(error.detail));
    }
}

SUUpdater::SUUpdater(QObject* parent)
    : SUUpdater(Bundle::mainBundle(), parent)
{ }

SUUpdater::~SUUpdater()
{
    delete m_alert.data();
    delete m_window.data();
}

QString SUUpdater::feedURL(const Bundle& bundle)
{
    return bundle.infoDictionary().value(QStringLiteral("SUFeedURL")).toString();
}

bool SUUpdater::isConfigured() const
{
    return m_session->isConfigured();
}

void SUUpdater::setStallTimeout(int milliseconds)
{
    m_session->setStallTimeout(milliseconds);
}

void SUUpdater::checkForUpdatesInBackground()
{
    ++m_backgroundChecks;
    if (!isConfigured() || m_session->isBusy() || hasStagedUpdate())
        return;
    m_userStarted = false;
    m_session->checkForUpdates();
}

void SUUpdater::checkForUpdates(QWidget* window)
{
    if (!isConfigured()) {
        // Without a feed address there is nowhere to look: say so rather than pretend.
        delete m_alert.data();
        m_alert = new Alert(window);
        m_alert->setMessageText(localizedText(QStringLiteral("IDS_KQ_311")));
        m_alert->setInformativeText(localizedText(QStringLiteral("IDS_KQ_312")));
        QPushButton* ok = m_alert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_12")));
        m_alert->setEscapeButton(ok);
        connect(ok, &QAbstractButton::clicked, m_alert.data(), &Alert::endSheet);
        m_alert->beginSheetModal(window);
        return;
    }
    UpdateWindow* shown = this->window(window);
    if (hasStagedUpdate()) {
        shown->showReady(m_item);
        return;
    }
    if (m_downloading) {
        // A download is under way, perhaps an automatic one: the user now watches it.
        m_automaticDownload = false;
        m_userStarted = true;
        shown->showProgress(m_item, 0, m_item.length);
        return;
    }
    m_userStarted = true;
    shown->showChecking();
    if (!m_session->isBusy())
        m_session->checkForUpdates();
}

UpdateWindow* SUUpdater::window(QWidget* parent)
{
    if (!m_window) {
        m_window = new UpdateWindow(parent);
        connect(m_window, &UpdateWindow::installRequested, this, [this] { startDownload(false); });
        connect(m_window, &UpdateWindow::restartRequested, this, &SUUpdater::relaunchRequested);
        connect(m_window, &UpdateWindow::cancelRequested, this, [this] {
            m_userStarted = false;
            m_downloading = false;
            m_session->cancel();
        });
    }
    return m_window;
}

QString SUUpdater::displayedVersion() const
{
    // The same kind of number the feed's short version is shown as.
    const QString version = m_bundle.shortVersionString();
    return version.isEmpty() ? m_session->configuration().runningVersion : version;
}

bool SUUpdater::installable() const
{
    return UpdateInstaller(m_executablePath).kind() == UpdateInstaller::Kind::UserPrefix;
}

void SUUpdater::updateFound(const AppcastItem& item)
{
    m_item = item;
    const QString running = displayedVersion();
    if (m_userStarted) {
        window()->showUpdateAvailable(item, running, installable());
        return;
    }
    if (!installable()) {
        // The system's own update tool tells about it; a window at every start would only nag.
        qInfo("Corvane %s is available; it is installed by the package manager, not by Corvane",
            qPrintable(item.displayVersion()));
        return;
    }
    if (m_automaticallyDownloads)
        startDownload(true);
    else
        window()->showUpdateAvailable(item, running, true);
}

void SUUpdater::noUpdateFound()
{
    if (m_userStarted)
        window()->showUpToDate(displayedVersion());
    m_userStarted = false;
}

void SUUpdater::updateFailed(const UpdateError& error)
{
    qWarning("Update failed: %s", qPrintable(error.detail));
    // A background check fails quietly: the next launch tries again.
    if (m_userStarted)
        window()->showError(textFor(error));
    m_userStarted = false;
    m_automaticDownload = false;
    m_downloading = false;
}

void SUUpdater::startDownload(bool automatic)
{
    if (!installable())
        return;
    QNetworkRequest request = m_session->requestFor(m_item);
    m_automaticDownload = automatic;
    if (automatic && m_delegate)
        m_delegate->willDownloadUpdate(this, m_item, request);
    if (!automatic) {
        m_userStarted = true;
        window()->showProgress(m_item, 0, m_item.length);
    }
    m_downloading = true;
    m_session->downloadUpdate(m_item, request);
}

void SUUpdater::updateStaged(const AppcastItem& item)
{
    qInfo("Corvane %s is downloaded and verified; it is installed when Corvane quits",
        qPrintable(item.displayVersion()));
    const bool automatic = m_automaticDownload;
    m_automaticDownload = false;
    m_downloading = false;
    m_userStarted = false;
    if (automatic) {
        if (m_delegate)
            m_delegate->didDownloadUpdate(this, item);
        return;
    }
    window()->showReady(item);
}

bool SUUpdater::hasStagedUpdate() const
{
    return !m_session->stagedTree().isEmpty();
}

UpdateError SUUpdater::installStagedUpdate()
{
    if (!hasStagedUpdate())
        return UpdateError::none();
    const UpdateInstaller installer(m_executablePath);
    const UpdateError error = installer.install(m_session->stagedTree());
    if (error)
        qWarning("Could not install the update: %s", qPrintable(error.detail));
    else
        qInfo("Installed Corvane %s into %s", qPrintable(m_item.displayVersion()),
            qPrintable(installer.prefix()));
    m_session->discardStagedUpdate();
    return error;
}

QString SUUpdater::textFor(const UpdateError& error)
{
    switch (error.kind) {
    case UpdateError::Kind::None:
        return {};
    case UpdateError::Kind::AddressRefused:
        return localizedText(QStringLiteral("IDS_KQ_522"));
    case UpdateError::Kind::Network:
        return localizedText(QStringLiteral("IDS_KQ_515"));
    case UpdateError::Kind::Timeout:
        return localizedText(QStringLiteral("IDS_KQ_516"));
    case UpdateError::Kind::FeedMalformed:
        return localizedText(QStringLiteral("IDS_KQ_517"));
    case UpdateError::Kind::BadSignature:
        return localizedText(QStringLiteral("IDS_KQ_518"));
    case UpdateError::Kind::LengthMismatch:
        return localizedText(QStringLiteral("IDS_KQ_519"));
    case UpdateError::Kind::ArchiveRefused:
    case UpdateError::Kind::ArchiveMalformed:
        return localizedText(QStringLiteral("IDS_KQ_520"));
    case UpdateError::Kind::Install:
        return localizedText(QStringLiteral("IDS_KQ_521"));
    case UpdateError::Kind::VersionMismatch:
        return localizedText(QStringLiteral("IDS_KQ_524"));
    }
    return {};
}
