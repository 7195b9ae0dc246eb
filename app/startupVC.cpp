// SPDX-License-Identifier: GPL-3.0-or-later
#include "startupVC.h"

#include "Alert.h"
#include "Bundle.h"
#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "Pictures.h"
#include "PromotedApplications.h"
#include "SYFlatButton.h"
#include "ScreenStyle.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

namespace {

PromotedApplications* g_applications = nullptr;
std::optional<NewsletterSubscription::Configuration> g_newsletterConfiguration;

constexpr int iconSide = 96;

QLabel* label(QWidget* parent, const char* name, bool wrap = true)
{
    auto* made = new QLabel(parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setWordWrap(wrap);
    return made;
}

QFrame* box(QWidget* parent, const char* name)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameShape(QFrame::StyledPanel);
    return frame;
}

SYFlatButton* flatButton(QWidget* parent, const char* name, bool primary)
{
    auto* button = new SYFlatButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumSize(120, 34);
    button->setCursor(Qt::PointingHandCursor);
    if (primary)
        ScreenStyle::stylePrimaryButton(button);
    else
        ScreenStyle::styleSecondaryButton(button);
    return button;
}

} // namespace

startupVC::startupVC(QWidget* parent)
    : BaseViewController(parent)
{ }

void startupVC::setPromotedApplications(PromotedApplications* applications)
{
    g_applications = applications;
}

void startupVC::setNewsletterConfiguration(
    std::optional<NewsletterSubscription::Configuration> configuration)
{
    g_newsletterConfiguration = std::move(configuration);
}

bool startupVC::isValidEmail(const QString& text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,}")));
    return pattern.match(text).hasMatch();
}

void startupVC::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 20);
    layout->setSpacing(10);

    m_lbltitleappname = label(this, "lbltitleappname", false);
    ScreenStyle::styleAppName(m_lbltitleappname);
    m_lbltopratedTitle = label(this, "lbltopratedTitle");
    ScreenStyle::styleTitle(m_lbltopratedTitle);
    layout->addWidget(m_lbltitleappname);
    layout->addWidget(m_lbltopratedTitle);

    auto* points = new QVBoxLayout;
    points->setSpacing(4);
    for (QLabel** point : {&m_lblkqpoint1, &m_lblkqpoint2, &m_lblkqpoint3}) {
        const char* name = point == &m_lblkqpoint1 ? "lblkqpoint1"
            : point == &m_lblkqpoint2              ? "lblkqpoint2"
                                                   : "lblkqpoint3";
        auto* row = new QHBoxLayout;
        auto* bullet = new QLabel(QStringLiteral("\u2713"), this);
        QPalette marked = bullet->palette();
        marked.setColor(QPalette::WindowText, ScreenStyle::accentTextColor(marked));
        bullet->setPalette(marked);
        bullet->setAlignment(Qt::AlignTop);
        *point = label(this, name);
        row->addWidget(bullet);
        row->addWidget(*point, 1);
        points->addLayout(row);
    }
    layout->addLayout(points);
    layout->addSpacing(8);

    m_lblThankuforDownload = label(this, "lblThankuforDownload");
    QFont strong = m_lblThankuforDownload->font();
    strong.setWeight(QFont::DemiBold);
    m_lblThankuforDownload->setFont(strong);
    layout->addWidget(m_lblThankuforDownload);

    // The recommendation, or in its place what Corvane itself is about.
    auto* recommendation = box(this, "recommendationBox");
    auto* recommendationRow = new QHBoxLayout(recommendation);
    recommendationRow->setContentsMargins(14, 12, 14, 12);
    recommendationRow->setSpacing(14);
    m_imgview = label(recommendation, "imgview", false);
    m_imgview->setFixedSize(iconSide, iconSide);
    m_imgview->setAlignment(Qt::AlignCenter);
    recommendationRow->addWidget(m_imgview, 0, Qt::AlignTop);
    auto* details = new QVBoxLayout;
    details->setSpacing(2);
    m_lblrecommended = label(recommendation, "lblrecommended");
    ScreenStyle::styleCaption(m_lblrecommended);
    m_lblAppname = label(recommendation, "lblAppname");
    m_lblAppname->setFont(strong);
    m_lbltoprated = label(recommendation, "lbltoprated");
    m_btnAppstore = flatButton(recommendation, "btnAppstore", false);
    details->addWidget(m_lblrecommended);
    details->addWidget(m_lblAppname);
    details->addWidget(m_lbltoprated);
    details->addSpacing(6);
    details->addWidget(m_btnAppstore, 0, Qt::AlignLeft);
    m_Corvaneinfobox = new QFrame(recommendation);
    m_Corvaneinfobox->setObjectName(QStringLiteral("Corvaneinfobox"));
    auto* info = new QVBoxLayout(m_Corvaneinfobox);
    info->setContentsMargins(0, 0, 0, 0);
    m_infoText = label(m_Corvaneinfobox, "lblCorvaneinfo");
    info->addWidget(m_infoText);
    details->addWidget(m_Corvaneinfobox);
    details->addStretch(1);
    recommendationRow->addLayout(details, 1);
    layout->addWidget(recommendation);

    m_newsletterBox = new QFrame(this);
    m_newsletterBox->setObjectName(QStringLiteral("newsletterBox"));
    auto* newsletter = new QVBoxLayout(m_newsletterBox);
    newsletter->setContentsMargins(0, 8, 0, 0);
    m_lbljoinnewslatter = label(m_newsletterBox, "lbljoinnewslatter");
    m_txtfield = new QLineEdit(m_newsletterBox);
    m_txtfield->setObjectName(QStringLiteral("txtfield"));
    m_txtfield->setPlaceholderText(QStringLiteral("name@example.com"));
    m_btnSubscribe = flatButton(m_newsletterBox, "btnSubscribe", false);
    auto* subscribeRow = new QHBoxLayout;
    subscribeRow->addWidget(m_txtfield, 1);
    subscribeRow->addWidget(m_btnSubscribe);
    newsletter->addWidget(m_lbljoinnewslatter);
    newsletter->addLayout(subscribeRow);
    layout->addWidget(m_newsletterBox);

    layout->addStretch(1);
    auto* bottom = new QHBoxLayout;
    m_btncheckbox = new QCheckBox(this);
    m_btncheckbox->setObjectName(QStringLiteral("btncheckbox"));
    // Without it the box has no visible edge on a dark window.
    m_btncheckbox->setPalette(ScreenStyle::checkBoxPalette(m_btncheckbox->palette()));
    m_lbllaunchatstartup = label(this, "lbllaunchatstartup", false);
    // The label is the box's text: clicking it toggles the box, as a box's own text would.
    m_lbllaunchatstartup->installEventFilter(this);
    m_btnGetstarted = flatButton(this, "btnGetstarted", true);
    m_btnGetstarted->setMinimumWidth(150);
    bottom->addWidget(m_btncheckbox);
    bottom->addWidget(m_lbllaunchatstartup);
    bottom->addStretch(1);
    bottom->addWidget(m_btnGetstarted);
    layout->addLayout(bottom);

    connect(m_btnGetstarted, &QAbstractButton::clicked, this, &startupVC::btnGetStarted);
    connect(m_btnSubscribe, &QAbstractButton::clicked, this, &startupVC::btnSubscribe);
    connect(m_txtfield, &QLineEdit::returnPressed, this, &startupVC::btnSubscribe);
    connect(m_btnAppstore, &QAbstractButton::clicked, this, &startupVC::btnAppStore);
    connect(m_btncheckbox, &QAbstractButton::clicked, this, &startupVC::btncheckbox);
}

void startupVC::viewDidLoad()
{
    m_lbltitleappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_lbltopratedTitle->setText(localizedText(QStringLiteral("IDS_KQ_75")));
    m_lblkqpoint1->setText(localizedText(QStringLiteral("IDS_KQ_76")));
    m_lblkqpoint2->setText(localizedText(QStringLiteral("IDS_KQ_77")));
    m_lblkqpoint3->setText(localizedText(QStringLiteral("IDS_KQ_78")));
    m_lbljoinnewslatter->setText(localizedText(QStringLiteral("IDS_KQ_79")));
    m_btnSubscribe->setText(localizedText(QStringLiteral("IDS_KQ_80")));
    m_lbllaunchatstartup->setText(localizedText(QStringLiteral("IDS_KQ_81")));
    m_btncheckbox->setAccessibleName(m_lbllaunchatstartup->text());
    m_btnGetstarted->setText(localizedText(QStringLiteral("IDS_KQ_82")));
    m_btnAppstore->setText(localizedText(QStringLiteral("IDS_KQ_83")));
    m_infoText->setText(localizedText(QStringLiteral("IDS_KQ_400")));

    PromotedApplications& applications
        = g_applications ? *g_applications : PromotedApplications::shared();
    applications.checkInstalled();
    const std::array<bool, 3> installed = applications.candidatesInstalled();
    int chosen = -1;
    for (int candidate = 0; candidate < 3 && chosen < 0; ++candidate) {
        if (!installed[size_t(candidate)])
            chosen = candidate;
    }

    const PromotedApplication* entry = chosen >= 0
        ? PromotedApplications::entry(PromotedApplications::candidates[size_t(chosen)])
        : nullptr;
    if (entry) {
        m_imgview->setPixmap(
            Pictures::renderSvg(entry->iconPath, QSize(iconSide, iconSide), devicePixelRatioF()));
        m_lblrecommended->setText(localizedText(QStringLiteral("IDS_KQ_42")));
        m_lbltoprated->setText(localizedText(PromotedApplications::topRatedKey(chosen)));
        m_lblAppname->setText(entry->title);
        m_Corvaneinfobox->hide();
        m_btnAppstore->show();
        m_lblThankuforDownload->setText(localizedText(QStringLiteral("IDS_KQ_84")));
        m_apppath = entry->apppath;
    } else {
        m_imgview->setPixmap(Pictures::pixmap(
            Pictures::Picture::ApplicationIcon, QSize(iconSide, iconSide), devicePixelRatioF()));
        m_btnAppstore->hide();
        m_Corvaneinfobox->show();
        m_lblThankuforDownload->setText(localizedText(QStringLiteral("IDS_KQ_85")));
    }

    // A Subscribe button that could never reach anyone is worse than none.
    const NewsletterSubscription::Configuration configuration = g_newsletterConfiguration
        ? *g_newsletterConfiguration
        : NewsletterSubscription::Configuration::fromInfoDictionary(
            Bundle::mainBundle().infoDictionary());
    if (configuration.isEnabled()) {
        m_newsletter = new NewsletterSubscription(configuration, this);
        connect(
            m_newsletter, &NewsletterSubscription::finished, this, &startupVC::newsletterFinished);
    }
    m_newsletterBox->setVisible(m_newsletter != nullptr);
}

bool startupVC::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lbllaunchatstartup && event->type() == QEvent::MouseButtonRelease) {
        m_btncheckbox->click();
        return true;
    }
    return BaseViewController::eventFilter(watched, event);
}

void startupVC::btnGetStarted()
{
    // hide(), not close(): closing the welcome window means leaving the application.
    window()->hide();
    emit mainWindowRequested();
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    defaults.setInteger(QStringLiteral("firstrun"), 1);
    const bool on = m_btncheckbox->isChecked();
    defaults.setInteger(QStringLiteral("startloginstatus"), on ? 1 : 0);
    LaunchOnStartup::setLaunchOnStartup(on);
}

void startupVC::btncheckbox()
{
    std::printf("%d\n", m_btncheckbox->isChecked() ? 1 : 0);
    std::fflush(stdout);
}

void startupVC::btnAppStore()
{
    if (!m_apppath.isEmpty())
        QDesktopServices::openUrl(QUrl(m_apppath));
}

void startupVC::btnSubscribe()
{
    if (!m_newsletter)
        return;
    const QString email = m_txtfield->text(); // as typed: nothing is trimmed
    if (email.isEmpty()) {
        showAlert(QStringLiteral("IDS_KQ_86"), localizedText(QStringLiteral("IDS_KQ_87")));
        return;
    }
    if (!isValidEmail(email)) {
        showAlert(QStringLiteral("IDS_KQ_88"), localizedText(QStringLiteral("IDS_KQ_87")));
        return;
    }
    m_newsletter->subscribe(email);
}

void startupVC::newsletterFinished(std::optional<qint64> number)
{
    if (!number)
        return;
    switch (*number) {
    case 0:
        showAlert(QStringLiteral("IDS_KQ_89"), localizedText(QStringLiteral("IDS_KQ_90")));
        break;
    case 1:
        showAlert(QStringLiteral("IDS_KQ_91"),
            localizedFormat(QStringLiteral("IDS_KQ_92"), m_txtfield->text()));
        break;
    case 2:
        showAlert(QStringLiteral("IDS_KQ_93"), localizedText(QStringLiteral("IDS_KQ_94")));
        break;
    default:
        break;
    }
}

void startupVC::showAlert(const QString& messageKey, const QString& informativeText)
{
    delete m_alert.data();
    m_alert = new Alert(window());
    m_alert->setMessageText(localizedText(messageKey));
    m_alert->setInformativeText(informativeText);
    QPushButton* ok = m_alert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_12")));
    m_alert->setEscapeButton(ok);
    connect(ok, &QAbstractButton::clicked, this, [this, alert = m_alert] {
        alert->endSheet();
        alert->deleteLater();
        std::printf("okclicked\n");
        std::fflush(stdout);
        m_txtfield->clear();
    });
    m_alert->beginSheetModal(window());
}
