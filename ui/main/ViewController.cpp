// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewController.h"

#include "Alert.h"
#include "DashedView.h"
#include "DropView.h"
#include "LanguageTable.h"
#include "ListBuilder.h"
#include "NotificationCenter.h"
#include "OpenPanel.h"
#include "Pictures.h"
#include "SYFlatButton.h"
#include "ScreenStyle.h"
#include "SharedState.h"
#include "ui_ViewController.h"

#include <QHideEvent>
#include <QPushButton>
#include <QResizeEvent>

ViewController::ViewController(QWidget* parent)
    : BaseViewController(parent)
{ }

ViewController::~ViewController()
{
    NotificationCenter::defaultCenter().removeObservers(this);
    // Their answers would come back to a screen that is gone.
    closePanel();
    delete m_alert;
}

Alert* ViewController::alert() const
{
    return m_alert;
}

OpenPanel* ViewController::openPanel() const
{
    return m_panel;
}

void ViewController::loadView()
{
    m_ui = std::make_unique<Ui::ViewController>();
    m_ui->setupUi(this);

    m_hiddenbox = new QWidget(this);
    m_hiddenbox->setObjectName(QStringLiteral("hiddenbox"));
    QPalette palette = m_hiddenbox->palette();
    QColor veil = palette.color(QPalette::Window);
    veil.setAlphaF(0.6f);
    palette.setColor(QPalette::Window, veil);
    m_hiddenbox->setPalette(palette);
    m_hiddenbox->setAutoFillBackground(true);
    m_hiddenbox->hide();
}

void ViewController::viewDidLoad()
{
    ScreenStyle::styleAppName(m_ui->lblappname);
    ScreenStyle::styleTitle(m_ui->lbldragdrop);
    ScreenStyle::styleCaption(m_ui->lbldragdropDescription);
    ScreenStyle::stylePrimaryButton(m_ui->btnAddFiles);
    m_ui->imgviewAddfiles->setPixmap(
        Pictures::pixmap(Pictures::Picture::HomeDrop, {}, devicePixelRatioF()));
    m_ui->lbldragdrop->setText(localizedText(QStringLiteral("IDS_KQ_4")));
    m_ui->lbldragdropDescription->setText(localizedText(QStringLiteral("IDS_KQ_5")));
    m_ui->lblappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_ui->btnAddFiles->setText(localizedText(QStringLiteral("IDS_KQ_10")));
    m_ui->btnAddFiles->setCursor(Qt::PointingHandCursor);

    connect(m_ui->btnAddFiles, &QAbstractButton::clicked, this, &ViewController::btnAddFiles);

    NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("cannotadded"), this, [this](const Notification&) {
            // A home screen the flow has swapped out stays alive in its slot; only the one on
            // show answers.
            if (isVisible())
                alertforDelete();
        });
}

void ViewController::resizeEvent(QResizeEvent* event)
{
    BaseViewController::resizeEvent(event);
    if (m_hiddenbox)
        m_hiddenbox->setGeometry(rect());
}

void ViewController::hideEvent(QHideEvent* event)
{
    BaseViewController::hideEvent(event);
    // Swapped out by the screen flow (or the window closed): a panel or alert left up would
    // answer for a screen that is no longer there. A minimised window keeps them.
    if (event->spontaneous())
        return;
    closePanel();
    if (m_alert)
        m_alert->endSheet();
    if (m_hiddenbox)
        m_hiddenbox->hide();
}

void ViewController::showCover()
{
    m_hiddenbox->setGeometry(rect());
    m_hiddenbox->raise();
    m_hiddenbox->show();
}

void ViewController::closePanel()
{
    // Cleared first, so a completion that fires on the way out is ignored.
    OpenPanel* panel = m_panel;
    m_panel = nullptr;
    delete panel;
}

void ViewController::btnAddFiles()
{
    if (m_panel)
        return;
    showCover();
    SharedState::instance().arrPendingItems.clear();
    m_panel = OpenPanel::beginSheet(
        window(), [this](bool ok, const QList<QUrl>& urls) { panelEnded(ok, urls); },
        &ListBuilder::panelRefusal);
    // The button adds to the list; Enter on a typed folder only opens it.
    m_panel->setLabelText(QFileDialog::Accept, localizedText(QStringLiteral("IDS_KQ_536")));
}

void ViewController::panelEnded(bool ok, const QList<QUrl>& urls)
{
    if (!m_panel)
        return;
    m_panel = nullptr;
    if (!ok) {
        m_hiddenbox->hide();
        return;
    }
    const bool refused = ListBuilder::acceptHomePanelUrls(urls);
    m_hiddenbox->hide();
    if (refused)
        alertforDelete();
    else
        NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
}

void ViewController::alertforDelete()
{
    // Paths handed over while the panel is up replace what the panel was for.
    closePanel();
    showCover();
    if (m_alert) {
        m_alert->endSheet();
        m_alert->deleteLater();
    }
    m_alert = new Alert(this);
    m_alert->setMessageText(localizedText(QStringLiteral("IDS_KQ_13")));
    m_alert->setInformativeText(localizedText(QStringLiteral("IDS_KQ_14")));
    QPushButton* ok = m_alert->addButtonWithTitle(localizedText(QStringLiteral("IDS_KQ_12")));
    connect(ok, &QPushButton::clicked, this, &ViewController::OKalert);
    m_alert->beginSheetModal(window());
}

void ViewController::OKalert()
{
    m_hiddenbox->hide();
    // The items of the same add that passed still go to the list.
    if (!SharedState::instance().arrPendingItems.isEmpty())
        NotificationCenter::defaultCenter().post(QStringLiteral("showData"));
    if (m_alert)
        m_alert->endSheet();
}
