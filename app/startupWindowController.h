// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ContentWindowController.h"

#include <functional>

class Storyboard;
class startupVC;

/// The first-run welcome window, made once per process. Its content is the process-wide
/// `startupVC`. Loading the window shows it.
class startupWindowController : public ContentWindowController
{
    Q_OBJECT

public:
    explicit startupWindowController(QObject* parent = nullptr);

    /// Registers the welcome window and its content with `storyboard`.
    static void registerControllers(Storyboard& storyboard);

    startupVC* contentViewController() const { return m_content; }
    /// What the window's close button does instead of closing it; the application quits
    /// there, since no other window could bring a windowless process back.
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }

protected:
    QWidget* loadWindow() override;
    void windowDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    startupVC* m_content = nullptr;
    std::function<void()> m_closeHandler;
};
