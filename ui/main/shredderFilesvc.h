#pragma once

#include "BaseViewController.h"

/// The files list screen: the items to erase as a tree with check boxes.
class shredderFilesvc : public BaseViewController
{
    Q_OBJECT

public:
    explicit shredderFilesvc(QWidget* parent = nullptr);

protected:
    void loadView() override;
};
