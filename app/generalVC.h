// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

class QCheckBox;
class QLabel;

/// The General pane: launch at login and automatic updates, each stored as 1 or 0.
class generalVC : public BaseViewController
{
    Q_OBJECT

public:
    explicit generalVC(QWidget* parent = nullptr);

    QCheckBox* checkboxAutolaunch() const { return m_checkboxAutolaunch; }
    QCheckBox* checkbox_autoUpdate() const { return m_checkbox_autoUpdate; }

    void checkbox_startatLogin();
    void checkbox_autoupdate();

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    QCheckBox* m_checkboxAutolaunch = nullptr;
    QCheckBox* m_checkbox_autoUpdate = nullptr;
    QLabel* m_lbltitle = nullptr;
    QLabel* m_lblAppUpdateTitle = nullptr;
};
