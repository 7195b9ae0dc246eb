// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

class QTabWidget;

/// The settings window's tabs: General, About and Support. Each show opens the tab last
/// requested (About asks for tab 1) and then forgets the request.
class tabViewSettings : public BaseViewController
{
    Q_OBJECT

public:
    explicit tabViewSettings(QWidget* parent = nullptr);

    /// The tab the next show opens; 0 at start.
    static int requestedTab();
    static void setRequestedTab(int index);

    QTabWidget* tabView() const { return m_tabs; }
    /// Selects the requested tab and resets the request to 0.
    void applyRequestedTab();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    QTabWidget* m_tabs = nullptr;
};
