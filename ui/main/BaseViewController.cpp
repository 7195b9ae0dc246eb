// SPDX-License-Identifier: GPL-3.0-or-later
#include "BaseViewController.h"

#include <QTimer>

BaseViewController::BaseViewController(QWidget* parent)
    : QWidget(parent)
{ }

QWidget* BaseViewController::view()
{
    if (!m_viewLoaded) {
        m_viewLoaded = true;
        loadView();
        viewDidLoad();
    }
    return this;
}

void BaseViewController::setVisible(bool visible)
{
    if (visible)
        view();
    QWidget::setVisible(visible);
}

void BaseViewController::showEvent(QShowEvent* event)
{
    view();
    viewWillAppear();
    QWidget::showEvent(event);
    // After the show has been processed, as "did appear" promises.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            viewDidAppear();
    });
}
