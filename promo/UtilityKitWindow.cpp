// SPDX-License-Identifier: GPL-3.0-or-later
#include "UtilityKitWindow.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "utilityKitvc.h"

#include <QVBoxLayout>

UtilityKitWindow::UtilityKitWindow(QObject* parent)
    : WindowController(parent)
{ }

void UtilityKitWindow::registerControllers(Storyboard& storyboard)
{
    storyboard.registerController(
        QStringLiteral("UtilityKitWindow"), [] { return new UtilityKitWindow; });
    storyboard.registerController(QStringLiteral("utilityKitvc"), [] { return new utilityKitvc; });
}

QWidget* UtilityKitWindow::loadWindow()
{
    auto* window = new QWidget;
    window->setObjectName(QStringLiteral("UtilityKitWindow"));
    window->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_300")));
    // Two 430-wide cards and their insets always fit beside the scroll bar.
    window->setMinimumSize(920, 520);
    window->resize(1000, 680);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    return window;
}

void UtilityKitWindow::windowDidLoad()
{
    closeOnEscape();
    m_content = Storyboard::mainStoryboard().sharedController<utilityKitvc>(
        QStringLiteral("utilityKitvc"));
    if (!m_content)
        return;
    m_content->setParent(window());
    window()->layout()->addWidget(m_content->view());
}
