// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsWindowController.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "aboutVc.h"
#include "generalVC.h"
#include "supportVc.h"
#include "tabViewSettings.h"

settingsWindowController::settingsWindowController(QObject* parent)
    : ContentWindowController(parent)
{ }

void settingsWindowController::registerControllers(Storyboard& storyboard)
{
    storyboard.registerController(
        QStringLiteral("settingsWindowController"), [] { return new settingsWindowController; });
    storyboard.registerController(
        QStringLiteral("tabViewSettings"), [] { return new tabViewSettings; });
    storyboard.registerController(QStringLiteral("generalVC"), [] { return new generalVC; });
    storyboard.registerController(QStringLiteral("aboutVc"), [] { return new aboutVc; });
    storyboard.registerController(QStringLiteral("supportVc"), [] { return new supportVc; });
}

QWidget* settingsWindowController::loadWindow()
{
    QWidget* window = makeWindow(QStringLiteral("settingsWindow"), 12);
    window->resize(620, 500);
    window->setMinimumSize(560, 460);
    return window;
}

void settingsWindowController::windowDidLoad()
{
    window()->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_36")));
    closeOnEscape();
    m_tabs = embedContent<tabViewSettings>(QStringLiteral("tabViewSettings"));
}

void settingsWindowController::showWindow()
{
    // A hidden window applies the request as it appears; one on show has no such moment.
    const bool alreadyShown = isWindowLoaded() && window()->isVisible();
    ContentWindowController::showWindow();
    if (alreadyShown && m_tabs)
        m_tabs->applyRequestedTab();
}
