// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutVc.h"

#include "Bundle.h"
#include "LanguageTable.h"
#include "Pictures.h"
#include "WebAddress.h"
#include "buttoncursor.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

namespace {

buttoncursor* linkButton(QWidget* parent, const char* name)
{
    auto* button = new buttoncursor(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

buttoncursor* pictureButton(QWidget* parent, const char* name, Pictures::Picture picture)
{
    buttoncursor* button = linkButton(parent, name);
    button->setFlat(true);
    button->setIcon(QIcon(Pictures::pixmap(picture, {}, parent->devicePixelRatioF())));
    button->setIconSize(Pictures::naturalSize(picture));
    return button;
}

} // namespace

aboutVc::aboutVc(QWidget* parent)
    : BaseViewController(parent)
{ }

QString aboutVc::pagesFolder()
{
    return QDir::cleanPath(
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/corvane"));
}

QString aboutVc::versionLine()
{
    return localizedFormat(QStringLiteral("IDS_KQ_49"), Bundle::mainBundle().shortVersionString());
}

void aboutVc::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(6);
    m_CorvaneIcon = new QLabel(this);
    m_CorvaneIcon->setObjectName(QStringLiteral("CorvaneIcon"));
    m_CorvaneIcon->setAlignment(Qt::AlignCenter);
    m_lblappname = new QLabel(this);
    m_lblappname->setObjectName(QStringLiteral("lblappname"));
    m_lblappname->setAlignment(Qt::AlignCenter);
    QFont nameFont = m_lblappname->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setWeight(QFont::DemiBold);
    m_lblappname->setFont(nameFont);
    m_lblversion = new QLabel(this);
    m_lblversion->setObjectName(QStringLiteral("lblversion"));
    m_lblversion->setAlignment(Qt::AlignCenter);
    m_lblversion->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblcopyright = new QLabel(this);
    m_lblcopyright->setObjectName(QStringLiteral("lblcopyright"));
    m_lblcopyright->setAlignment(Qt::AlignCenter);

    m_btnprivacypolicy = linkButton(this, "btnprivacypolicy");
    m_btnEULA = linkButton(this, "btnEULA");
    m_btnuninstallinstruction = linkButton(this, "btnuninstallinstruction");
    auto* pages = new QHBoxLayout;
    pages->addStretch(1);
    pages->addWidget(m_btnprivacypolicy);
    pages->addWidget(m_btnEULA);
    pages->addWidget(m_btnuninstallinstruction);
    pages->addStretch(1);

    m_btnWeb = pictureButton(this, "btnWeb", Pictures::Picture::WebLink);
    m_btnTwitter = pictureButton(this, "btnTwitter", Pictures::Picture::TwitterLink);
    m_btnFacebook = pictureButton(this, "btnFacebook", Pictures::Picture::FacebookLink);
    auto* links = new QHBoxLayout;
    links->addStretch(1);
    links->addWidget(m_btnWeb);
    links->addWidget(m_btnTwitter);
    links->addWidget(m_btnFacebook);
    // Pictures only: screen readers need their names said.
    for (const auto& [button, key] : {std::pair {m_btnWeb, "IDS_KQ_530"},
             std::pair {m_btnTwitter, "IDS_KQ_531"}, std::pair {m_btnFacebook, "IDS_KQ_532"}}) {
        button->setAccessibleName(localizedText(QString::fromLatin1(key)));
        button->setToolTip(button->accessibleName());
        button->setAccessibleDescription(localizedText(QStringLiteral("IDS_KQ_533")));
    }
    links->addStretch(1);

    layout->addStretch(1);
    layout->addWidget(m_CorvaneIcon);
    layout->addSpacing(6);
    layout->addWidget(m_lblappname);
    layout->addWidget(m_lblversion);
    layout->addSpacing(6);
    layout->addWidget(m_lblcopyright);
    layout->addSpacing(14);
    layout->addLayout(pages);
    layout->addLayout(links);
    layout->addStretch(1);

    connect(m_btnprivacypolicy, &QAbstractButton::clicked, this, &aboutVc::btnPrivacyPolicy);
    connect(m_btnEULA, &QAbstractButton::clicked, this, &aboutVc::btnEULA);
    connect(m_btnuninstallinstruction, &QAbstractButton::clicked, this,
        &aboutVc::btnUninstallInstructions);
    connect(m_btnWeb, &QAbstractButton::clicked, this, &aboutVc::btnWeb);
    connect(m_btnTwitter, &QAbstractButton::clicked, this, &aboutVc::btnTwitter);
    connect(m_btnFacebook, &QAbstractButton::clicked, this, &aboutVc::btnFacebook);
}

void aboutVc::viewDidLoad()
{
    m_btnprivacypolicy->setText(localizedText(QStringLiteral("IDS_KQ_640")));
    // The GPL is a licence granted to the user, not an agreement the user enters.
    m_btnEULA->setText(localizedText(QStringLiteral("IDS_KQ_641")));
    m_btnuninstallinstruction->setText(localizedText(QStringLiteral("IDS_KQ_642")));
    m_lblappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_lblversion->setText(versionLine());
    m_lblcopyright->setText(QStringLiteral("Copyright \u00a9 2026 the Corvane developers.\n")
        + localizedText(QStringLiteral("IDS_KQ_643")));
    m_CorvaneIcon->setPixmap(
        Pictures::pixmap(Pictures::Picture::ApplicationIcon, QSize(128, 128), devicePixelRatioF()));

    // A page with no address in this build has no button to lead nowhere.
    const QVariantMap info = Bundle::mainBundle().infoDictionary();
    m_btnFacebook->setVisible(
        !info.value(QStringLiteral("CorvaneFacebookURL")).toString().isEmpty());
    m_btnTwitter->setVisible(!info.value(QStringLiteral("CorvaneTwitterURL")).toString().isEmpty());
    m_btnWeb->setVisible(!info.value(QStringLiteral("CorvaneWebURL")).toString().isEmpty());
}

void aboutVc::openShippedPage(const QString& fileName)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(pagesFolder() + u'/' + fileName));
}

void aboutVc::openConfiguredAddress(const QString& infoKey)
{
    WebAddress::open(Bundle::mainBundle().infoDictionary().value(infoKey).toString());
}

void aboutVc::btnUninstallInstructions()
{
    openShippedPage(QStringLiteral("uninstall.html"));
}

void aboutVc::btnEULA()
{
    openShippedPage(QStringLiteral("license.html"));
}

void aboutVc::btnPrivacyPolicy()
{
    openShippedPage(QStringLiteral("privacy.html"));
}

void aboutVc::btnWeb()
{
    openConfiguredAddress(QStringLiteral("CorvaneWebURL"));
}

void aboutVc::btnTwitter()
{
    openConfiguredAddress(QStringLiteral("CorvaneTwitterURL"));
}

void aboutVc::btnFacebook()
{
    openConfiguredAddress(QStringLiteral("CorvaneFacebookURL"));
}
