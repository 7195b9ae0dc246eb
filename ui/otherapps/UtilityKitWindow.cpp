// SPDX-License-Identifier: GPL-3.0-or-later
#include "UtilityKitWindow.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "utilityKitvc.h"

UtilityKitWindow::UtilityKitWindow(QObject* parent)
    : ContentWindowController(parent)
{ }

void UtilityKitWindow::registerControllers(Storyboard& storyboard)
{
    storyboard.registerController(
        QStringLiteral("UtilityKitWindow"), [] { return new UtilityKitWindow; });
    storyboard.registerController(QStringLiteral("utilityKitvc"), [] { return new utilityKitvc; });
}

QWidget* UtilityKitWindow::loadWindow()
{
    QWidget* window = makeWindow(QStringLiteral("UtilityKitWindow"), 0);
    window->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_300")));
    // Two 430-wide cards and their insets always fit beside the scroll bar.
    window->setMinimumSize(920, 520);
    window->resize(1000, 680);
    return window;
}

void UtilityKitWindow::windowDidLoad()
{
    closeOnEscape();
    m_content = embedContent<utilityKitvc>(QStringLiteral("utilityKitvc"));
}
