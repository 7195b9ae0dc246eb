// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainContainerVc.h"

#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "SharedState.h"
#include "Storyboard.h"
#include "ViewController.h"
#include "WindowController.h"
#include "buttoncursor.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QVBoxLayout>

mainContainerVc::mainContainerVc(QWidget* parent)
    : BaseViewController(parent)
{ }

mainContainerVc::~mainContainerVc()
{
    NotificationCenter::defaultCenter().removeObservers(this);
    // Screens out of the container have no parent to take them along: the slots own them.
    delete m_vc.data();
    delete m_listvc.data();
    delete m_shreeddingvc.data();
    delete m_resultvc.data();
}

void mainContainerVc::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_customview = new QWidget(this);
    m_customview->setObjectName(QStringLiteral("customview"));
    auto* pin = new QVBoxLayout(m_customview);
    pin->setContentsMargins(0, 0, 0, 0);
    pin->setSpacing(0);
    layout->addWidget(m_customview);

    // Over the home screen's free top-right corner; the other screens keep their corner.
    m_btnUtilityKit = new buttoncursor(this);
    m_btnUtilityKit->setObjectName(QStringLiteral("btnUtilityKit"));
    m_btnUtilityKit->setFlat(true);
    connect(
        m_btnUtilityKit, &QAbstractButton::clicked, this, &mainContainerVc::btnUtilityKitClicked);
}

void mainContainerVc::resizeEvent(QResizeEvent* event)
{
    BaseViewController::resizeEvent(event);
    placeUtilityKitButton();
}

void mainContainerVc::placeUtilityKitButton()
{
    if (!m_btnUtilityKit)
        return;
    m_btnUtilityKit->setVisible(m_currentContentView && m_currentContentView == m_vc);
    m_btnUtilityKit->adjustSize();
    m_btnUtilityKit->move(width() - m_btnUtilityKit->width() - 16, 10);
    m_btnUtilityKit->raise();
}

void mainContainerVc::btnUtilityKitClicked()
{
    if (auto* panel = Storyboard::mainStoryboard().sharedController<WindowController>(
            QStringLiteral("UtilityKitWindow")))
        panel->showWindow();
}

bool mainContainerVc::canAddFiles() const
{
    if (!m_currentContentView)
        return false;
    if (m_currentContentView == m_vc)
        return true;
    return m_currentContentView == m_listvc && !SharedState::instance().isAddingFiles;
}

void mainContainerVc::addFiles()
{
    if (!canAddFiles())
        return;
    if (m_currentContentView == m_vc)
        m_vc->btnAddFiles();
    else
        m_listvc->btnAddMoreFiles();
}

void mainContainerVc::viewDidLoad()
{
    m_btnUtilityKit->setText(localizedText(QStringLiteral("IDS_KQ_300")));
    gotoHome();
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        QStringLiteral("showData"), this, [this](const Notification&) { updateUi(); });
    center.addObserver(
        QStringLiteral("ShredData"), this, [this](const Notification&) { ShredData(); });
    center.addObserver(
        QStringLiteral("ShredComplete"), this, [this](const Notification&) { result(); });
    center.addObserver(
        QStringLiteral("GotoHome"), this, [this](const Notification&) { gotoHome(); });
}

template<typename T>
void mainContainerVc::switchTo(const QString& identifier, QPointer<T>& slot)
{
    if (m_currentContentView) {
        m_customview->layout()->removeWidget(m_currentContentView);
        m_currentContentView->hide();
        m_currentContentView->setParent(nullptr);
    }
    T* controller = Storyboard::mainStoryboard().instantiateController<T>(identifier);
    Q_ASSERT(controller);
    // The screen that held this slot stops hearing notifications now, before the new one
    // loads, so an old progress screen never counts the new run's files. It is destroyed
    // later: it may be the very screen whose notification brought us here.
    if (slot) {
        NotificationCenter::defaultCenter().removeObservers(slot.data());
        slot->hide();
        slot->deleteLater();
    }
    slot = controller;
    controller->setParent(m_customview);
    controller->view();
    m_customview->layout()->addWidget(controller);
    controller->show();
    m_currentContentView = controller;
    placeUtilityKitButton();
}

void mainContainerVc::gotoHome()
{
    switchTo(QStringLiteral("ViewController"), m_vc);
}

void mainContainerVc::updateUi()
{
    switchTo(QStringLiteral("shredderFilesvc"), m_listvc);
}

void mainContainerVc::ShredData()
{
    switchTo(QStringLiteral("shreddingFilesVC"), m_shreeddingvc);
}

void mainContainerVc::result()
{
    switchTo(QStringLiteral("shredderResultVC"), m_resultvc);
}
