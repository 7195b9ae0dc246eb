// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class SUUpdater;

/// The General pane: launch at login and automatic updates, each stored as 1 or 0.
class generalVC : public BaseViewController
{
    Q_OBJECT

public:
    explicit generalVC(QWidget* parent = nullptr);

    /// The updater whose abilities the pane shows; set by the launch, read at every show.
    /// Without one (or one that cannot install), the update box is off and disabled.
    static void setUpdater(SUUpdater* updater);

    QCheckBox* checkboxAutolaunch() const { return m_checkboxAutolaunch; }
    QCheckBox* checkbox_autoUpdate() const { return m_checkbox_autoUpdate; }
    /// Where updates come from when Corvane cannot install them; hidden when it can.
    QLabel* updateSourceNote() const { return m_updateSourceNote; }

    void checkbox_startatLogin();
    void checkbox_autoupdate();

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;

private:
    void showUpdateChoice();

    QCheckBox* m_checkboxAutolaunch = nullptr;
    QCheckBox* m_checkbox_autoUpdate = nullptr;
    QLabel* m_lbltitle = nullptr;
    QLabel* m_lblAppUpdateTitle = nullptr;
    QLabel* m_updateSourceNote = nullptr;
};
