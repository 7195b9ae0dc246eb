// SPDX-License-Identifier: GPL-3.0-or-later
#include "SUUpdater.h"

#include "Alert.h"
#include "Bundle.h"
#include "LanguageTable.h"

#include <QPushButton>

SUUpdater::SUUpdater(QObject* parent)
    : QObject(parent)
{ }

SUUpdater::~SUUpdater()
{
    delete m_alert.data();
}

QString SUUpdater::feedURL()
{
    return Bundle::mainBundle().infoDictionary().value(QStringLiteral("SUFeedURL")).toString();
}

void SUUpdater::checkForUpdatesInBackground()
{
    ++m_backgroundChecks;
    if (feedURL().isEmpty())
        return;
    // Reading a feed comes with the updater itself; a build with a feed address needs it.
    qInfo("Update feed %s is not read by this version", qPrintable(feedURL()));
}

void SUUpdater::checkForUpdates(QWidget* window)
{
    // Reading the feed and installing come with the updater itself; until a build carries a
    // feed address, the honest answer is that there is nowhere to look.
    delete m_alert.data();
    m_alert = new Alert(window);
    m_alert->setMessageText(localizedText(QStringLiteral("IDS_KQ_311")));
    m_alert->setInformativeText(localizedText(QStringLiteral("IDS_KQ_312")));
    QPushButton* ok = m_alert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_12")));
    m_alert->setEscapeButton(ok);
    connect(ok, &QAbstractButton::clicked, m_alert.data(), &Alert::endSheet);
    m_alert->beginSheetModal(window);
}
