// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

class QLabel;

/// The Support pane: where to get help, how to read Corvane's log and how to report a problem.
class supportVc : public BaseViewController
{
    Q_OBJECT

public:
    explicit supportVc(QWidget* parent = nullptr);

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    QLabel* m_lbl1 = nullptr;
    QLabel* m_lbl2 = nullptr;
    QLabel* m_lbl3 = nullptr;
    QLabel* m_lbl4 = nullptr;
    QLabel* m_lbl5 = nullptr;
    QLabel* m_iconsupport = nullptr;
    QLabel* m_imgview_callicon = nullptr;
};
