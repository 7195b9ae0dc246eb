// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"
#include "BaseViewController.h"
#include "NewsletterSubscription.h"

#include <QPointer>
class PromotedApplications;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class SYFlatButton;

/// The first-run welcome: three points about Corvane, one of our recommended applications not
/// installed yet, the newsletter (only in a build that has a newsletter service), launch at
/// login, and Get Started, which leaves it for the main window for good.
class startupVC : public BaseViewController
{
    Q_OBJECT

public:
    explicit startupVC(QWidget* parent = nullptr);

    /// Which applications count as installed; the process-wide check unless a test says.
    static void setPromotedApplications(PromotedApplications* applications);
    /// The newsletter service of views loaded from now on; the build's own unless a test says.
    static void setNewsletterConfiguration(std::optional<NewsletterSubscription::Configuration>);

    /// The e-mail address matches the newsletter's pattern as a whole.
    static bool isValidEmail(const QString& text);

    void btnGetStarted();
    void btnSubscribe();
    void btnAppStore();
    void btncheckbox();

    QString apppath() const { return m_apppath; }
    NewsletterSubscription* newsletter() const { return m_newsletter; }
    /// The alert on show, or null.
    Alert* alert() const { return m_alert; }

signals:
    /// Get Started wants the main window, now: between closing this window and storing
    /// "firstrun".
    void mainWindowRequested();

protected:
    void loadView() override;
    void viewDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showAlert(const QString& messageKey, const QString& informativeText);
    void newsletterFinished(std::optional<qint64> number);

    QLabel* m_lblThankuforDownload = nullptr;
    QFrame* m_Corvaneinfobox = nullptr;
    QLabel* m_lblrecommended = nullptr;
    QLabel* m_lbljoinnewslatter = nullptr;
    QLabel* m_imgview = nullptr;
    SYFlatButton* m_btnSubscribe = nullptr;
    QLabel* m_lblkqpoint1 = nullptr;
    QLabel* m_lblkqpoint2 = nullptr;
    QLabel* m_lblkqpoint3 = nullptr;
    QLabel* m_lbltopratedTitle = nullptr;
    QLabel* m_lbllaunchatstartup = nullptr;
    QLabel* m_lbltoprated = nullptr;
    QLabel* m_lbltitleappname = nullptr;
    SYFlatButton* m_btnAppstore = nullptr;
    SYFlatButton* m_btnGetstarted = nullptr;
    QLineEdit* m_txtfield = nullptr;
    QCheckBox* m_btncheckbox = nullptr;
    QString m_apppath;
    QLabel* m_lblAppname = nullptr;

    QLabel* m_infoText = nullptr;
    QFrame* m_newsletterBox = nullptr;
    NewsletterSubscription* m_newsletter = nullptr;
    QPointer<Alert> m_alert;
};
