#include "ViewController.h"

#include "LanguageTable.h"
#include "Pictures.h"
#include "ScreenStyle.h"
#include "ui_ViewController.h"


ViewController::ViewController(QWidget* parent)
    : BaseViewController(parent)
{
}

ViewController::~ViewController() = default;

void ViewController::loadView()
{
    m_ui = std::make_unique<Ui::ViewController>();
    m_ui->setupUi(this);
}

void ViewController::viewDidLoad()
{
    ScreenStyle::styleAppName(m_ui->lblappname);
    ScreenStyle::styleTitle(m_ui->lbldragdrop);
    ScreenStyle::styleCaption(m_ui->lbldragdropDescription);
    ScreenStyle::stylePrimaryButton(m_ui->btnAddFiles);
    m_ui->imgview_drop->setPixmap(
        Pictures::pixmap(Pictures::Picture::HomeDrop, {}, devicePixelRatioF()));
    m_ui->lbldragdrop->setText(localizedText(QStringLiteral("IDS_KQ_4")));
    m_ui->lbldragdropDescription->setText(localizedText(QStringLiteral("IDS_KQ_5")));
    m_ui->lblappname->setText(localizedText(QStringLiteral("IDS_KQ_6")));
    m_ui->btnAddFiles->setText(localizedText(QStringLiteral("IDS_KQ_10")));
    // Dropping and picking items arrive with the drop target; until then nothing is accepted.
    m_ui->btnAddFiles->setEnabled(false);
}
