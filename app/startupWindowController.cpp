// SPDX-License-Identifier: GPL-3.0-or-later
#include "startupWindowController.h"

#include "LanguageTable.h"
#include "Storyboard.h"
#include "startupVC.h"

#include <QCloseEvent>

startupWindowController::startupWindowController(QObject* parent)
    : ContentWindowController(parent)
{ }

void startupWindowController::registerControllers(Storyboard& storyboard)
{
    storyboard.registerController(
        QStringLiteral("startupWindowController"), [] { return new startupWindowController; });
    storyboard.registerController(QStringLiteral("startupVC"), [] { return new startupVC; });
}

QWidget* startupWindowController::loadWindow()
{
    QWidget* window = makeWindow(QStringLiteral("startupWindow"), 0);
    // As tall as its content: the newsletter box is there only in some builds.
    window->setMinimumWidth(600);
    window->installEventFilter(this);
    return window;
}

void startupWindowController::windowDidLoad()
{
    window()->setWindowTitle(localizedText(QStringLiteral("IDS_KQ_6")));
    m_content = embedContent<startupVC>(QStringLiteral("startupVC"));
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
    return ContentWindowController::eventFilter(watched, event);
}
