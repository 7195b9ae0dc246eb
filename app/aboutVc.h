// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

class QLabel;
class QPushButton;
class buttoncursor;

/// The About pane: name, version, copyright, and links to the pages that ship with Corvane
/// (privacy policy, licence, uninstall instructions) and to the web pages a distributor set.
class aboutVc : public BaseViewController
{
    Q_OBJECT

public:
    explicit aboutVc(QWidget* parent = nullptr);

    /// The folder holding the pages that ship with Corvane: share/corvane beside the
    /// executable's bin folder (installed or in the build tree). Not the documentation folder,
    /// which an administrator may leave out (Debian Policy 12.3).
    static QString pagesFolder();
    /// The version line: "IDS_KQ_49" with the short version string for its "%@".
    static QString versionLine();

    void btnUninstallInstructions();
    void btnEULA();
    void btnPrivacyPolicy();
    void btnWeb();
    void btnTwitter();
    void btnFacebook();

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    void openShippedPage(const QString& fileName);
    void openConfiguredAddress(const QString& infoKey);

    QLabel* m_lblcopyright = nullptr;
    buttoncursor* m_btnprivacypolicy = nullptr;
    buttoncursor* m_btnEULA = nullptr;
    buttoncursor* m_btnuninstallinstruction = nullptr;
    QLabel* m_CorvaneIcon = nullptr;
    buttoncursor* m_btnWeb = nullptr;
    buttoncursor* m_btnTwitter = nullptr;
    buttoncursor* m_btnFacebook = nullptr;
    QLabel* m_lblappname = nullptr;
    QLabel* m_lblversion = nullptr;
};
