// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsWindowController.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "aboutVc.h"
#include "generalVC.h"
#include "supportVc.h"
#include "tabViewSettings.h"

#include <QVBoxLayout>

settingsWindowController::settingsWindowController(QObject* parent)
    : WindowController(parent)
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
    auto* window = new QWidget;
    window->setObjectName(QStringLiteral("settingsWindow"));
    window->resize(620, 500);
    window->setMinimumSize(560, 460);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(12, 12, 12, 12);
    return window;
}

void settingsWindowController::windowDidLoad()
{
    window()->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_36")));
    closeOnEscape();
    m_tabs = Storyboard::mainStoryboard().sharedController<tabViewSettings>(
        QStringLiteral("tabViewSettings"));
    if (!m_tabs)
        return;
    m_tabs->setParent(window());
    window()->layout()->addWidget(m_tabs->view());
}

void settingsWindowController::showWindow()
{
    // A hidden window applies the request as it appears; one on show has no such moment.
    const bool alreadyShown = isWindowLoaded() && window()->isVisible();
    WindowController::showWindow();
    if (alreadyShown && m_tabs)
        m_tabs->applyRequestedTab();
}
