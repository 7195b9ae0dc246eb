// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <memory>

class Alert;
class OpenPanel;

namespace Ui {
class ViewController;
}

/// The home screen: invites the user to drop or pick the items to erase, runs the acceptance
/// checks and hands over to the files list by posting "showData". Refused items bring up the
/// cannot-add alert (also on "cannotadded", which a drop posts).
class ViewController : public BaseViewController
{
    Q_OBJECT

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    /// Add Files: empties arrPendingItems and opens the open panel as a sheet.
    void btnAddFiles();
    /// Shows a new cannot-add alert as a sheet.
    void alertforDelete();
    /// The alert's OK: goes on with what was accepted, if anything.
    void OKalert();

    /// The cannot-add alert last shown; null before the first.
    Alert* alert() const;
    /// The open panel while it is up.
    OpenPanel* openPanel() const;
    /// The cover over the content while the panel or the alert is up.
    QWidget* hiddenbox() const { return m_hiddenbox; }

protected:
    void loadView() override;
    void viewDidLoad() override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void panelEnded(bool ok, const QList<QUrl>& urls);
    void showCover();
    void closePanel();

    std::unique_ptr<Ui::ViewController> m_ui;
    QWidget* m_hiddenbox = nullptr;
    QPointer<Alert> m_alert;
    QPointer<OpenPanel> m_panel;
};
