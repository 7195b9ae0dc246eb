// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ContentWindowController.h"

class Storyboard;
class tabViewSettings;

/// The settings window, made once and kept after it is closed. Its content is the process-wide
/// `tabViewSettings`.
class settingsWindowController : public ContentWindowController
{
    Q_OBJECT

public:
    explicit settingsWindowController(QObject* parent = nullptr);

    /// Registers the settings window, its tab controller and its three panes with `storyboard`.
    static void registerControllers(Storyboard& storyboard);

    tabViewSettings* contentViewController() const { return m_tabs; }
    /// Also turns a window already on show to the tab last requested.
    void showWindow() override;

protected:
    QWidget* loadWindow() override;
    void windowDidLoad() override;

private:
    tabViewSettings* m_tabs = nullptr;
};
