// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"
#include "ViewController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QPointer>

class buttoncursor;

/// The main window's content: holds the current screen in `customview` and swaps screens when
/// "GotoHome", "showData", "ShredData" or "ShredComplete" is posted. Each switch makes a fresh
/// screen; the one it replaces in its slot is destroyed.
class mainContainerVc : public BaseViewController
{
    Q_OBJECT

public:
    explicit mainContainerVc(QWidget* parent = nullptr);
    ~mainContainerVc() override;

    void gotoHome();
    void updateUi();
    void ShredData();
    void result();

    /// Shows the other-apps window.
    void btnUtilityKitClicked();
    /// Whether the screen on show takes more files (home, or the files list), and adds them
    /// the way that screen's own button does.
    bool canAddFiles() const;
    void addFiles();

    QWidget* customview() const { return m_customview; }
    QWidget* currentContentView() const { return m_currentContentView; }
    ViewController* vc() const { return m_vc; }
    shredderFilesvc* listvc() const { return m_listvc; }
    shreddingFilesVC* shreeddingvc() const { return m_shreeddingvc; }
    shredderResultVC* resultvc() const { return m_resultvc; }

protected:
    void loadView() override;
    void viewDidLoad() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    template<typename T>
    void switchTo(const QString& identifier, QPointer<T>& slot);
    void placeUtilityKitButton();

    QWidget* m_customview = nullptr;
    buttoncursor* m_btnUtilityKit = nullptr;
    QPointer<QWidget> m_currentContentView;
    QPointer<ViewController> m_vc;
    QPointer<shredderFilesvc> m_listvc;
    QPointer<shreddingFilesVC> m_shreeddingvc;
    QPointer<shredderResultVC> m_resultvc;
};
