// SPDX-License-Identifier: GPL-3.0-or-later
#include "startupWindowController.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "startupVC.h"

#include <QCloseEvent>
#include <QVBoxLayout>

startupWindowController::startupWindowController(QObject* parent)
    : WindowController(parent)
{ }

void startupWindowController::registerControllers(Storyboard& storyboard)
{
    storyboard.registerController(
        QStringLiteral("startupWindowController"), [] { return new startupWindowController; });
    storyboard.registerController(QStringLiteral("startupVC"), [] { return new startupVC; });
}

QWidget* startupWindowController::loadWindow()
{
    auto* window = new QWidget;
    window->setObjectName(QStringLiteral("startupWindow"));
    // As tall as its content: the newsletter box is there only in some builds.
    window->setMinimumWidth(600);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    window->installEventFilter(this);
    return window;
}

void startupWindowController::windowDidLoad()
{
    window()->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_6")));
    m_content
        = Storyboard::mainStoryboard().sharedController<startupVC>(QStringLiteral("startupVC"));
    if (m_content) {
        m_content->setParent(window());
        window()->layout()->addWidget(m_content->view());
    }
    showWindow();
}

bool startupWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && m_closeHandler && isWindowLoaded()
        && watched == window()) {
        event->ignore();
        m_closeHandler();
        return true;
    }
    return WindowController::eventFilter(watched, event);
}
