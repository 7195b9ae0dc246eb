// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

/// A screen or pane: the widget is its own view. The hooks run once when the view is first
/// loaded (viewDidLoad) and on every show (viewWillAppear before, viewDidAppear after).
class BaseViewController : public QWidget
{
    Q_OBJECT

public:
    explicit BaseViewController(QWidget* parent = nullptr);

    /// Loads the view if needed (running viewDidLoad once) and returns it.
    QWidget* view();
    bool isViewLoaded() const { return m_viewLoaded; }
    /// Showing the view loads it first, so a screen never comes up without its widgets.
    void setVisible(bool visible) override;

protected:
    /// Builds the widgets from the controller's form; called once, before viewDidLoad.
    virtual void loadView() { }
    virtual void viewDidLoad() { }
    virtual void viewWillAppear() { }
    virtual void viewDidAppear() { }

    void showEvent(QShowEvent* event) override;

private:
    bool m_viewLoaded = false;
};
