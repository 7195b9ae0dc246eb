#include "mainContainerVc.h"

#include "NotificationCenter.h"
#include "Storyboard.h"
#include "ViewController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QVBoxLayout>

mainContainerVc::mainContainerVc(QWidget* parent)
    : BaseViewController(parent)
{
}

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
}

void mainContainerVc::viewDidLoad()
{
    gotoHome();
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(QStringLiteral("showData"), this, [this](const Notification&) { updateUi(); });
    center.addObserver(QStringLiteral("ShredData"), this, [this](const Notification&) { ShredData(); });
    center.addObserver(QStringLiteral("ShredComplete"), this, [this](const Notification&) { result(); });
    center.addObserver(QStringLiteral("GotoHome"), this, [this](const Notification&) { gotoHome(); });
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
