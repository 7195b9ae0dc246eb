#pragma once

#include "BaseViewController.h"

#include <memory>

namespace Ui {
class ViewController;
}

/// The home screen: invites the user to drop or pick the items to erase.
class ViewController : public BaseViewController
{
    Q_OBJECT

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    std::unique_ptr<Ui::ViewController> m_ui;
};
