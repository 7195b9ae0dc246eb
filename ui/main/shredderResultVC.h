// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"
#include "NotErasedDialog.h"

#include <QPointer>

#include <memory>

namespace Ui {
class shredderResultVC;
}

class FreeSpaceWipeDialog;
class PromotedApplications;
class SYFlatButton;

/// The result screen: what the run erased, what it could not erase, the free space left, a
/// recommended application and the way back home.
class shredderResultVC : public BaseViewController
{
    Q_OBJECT

public:
    explicit shredderResultVC(QWidget* parent = nullptr);
    ~shredderResultVC() override;

    /// The promoted applications to check; tests hand in one rooted in a temporary folder.
    static void setPromotedApplications(PromotedApplications* applications);

    void btnHome();
    void btnTweet();
    void btnFacebook();
    void btnAppStore();
    void showNotErased();
    /// Lists the files removed with a storage warning, each with its reason.
    void showWarned();
    /// Offers to wipe the free space where the warnings can be resolved that way.
    void wipeFreeSpace();
    SYFlatButton* wipeFreeSpaceButton() const { return m_wipeButton; }

    QString apppath() const { return m_apppath; }
    NotErasedDialog* notErasedDialog() const { return m_notErasedDialog; }
    NotErasedDialog* warnedDialog() const { return m_warnedDialog; }

protected:
    void loadView() override;
    void viewDidLoad() override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void fillRecommendation();
    void fillNotErased();
    void hideIllustration();
    void fillWarnings();
    /// Files erased, the method, whether they were read back, and the time taken.
    void fillRunSummary();
    static void openAddress(const QString& address);

    std::unique_ptr<Ui::shredderResultVC> m_ui;
    QString m_apppath;
    QPointer<NotErasedDialog> m_notErasedDialog;
    QPointer<NotErasedDialog> m_warnedDialog;
    SYFlatButton* m_wipeButton = nullptr;
    QString m_wipeFolder; ///< on the file system the warnings' files were on
};
