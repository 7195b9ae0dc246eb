// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportVc.h"

#include "LanguageTable.h"
#include "Pictures.h"

#include <QGridLayout>
#include <QLabel>

namespace {

QLabel* textLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    // Addresses in the texts are meant to be copied.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QLabel* pictureLabel(QWidget* parent, const char* name, int side)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFixedSize(side, side);
    return label;
}

} // namespace

supportVc::supportVc(QWidget* parent)
    : BaseViewController(parent)
{ }

void supportVc::loadView()
{
    m_iconsupport = pictureLabel(this, "iconsupport", 96);
    m_imgview_callicon = pictureLabel(this, "imgview_callicon", 64);
    m_lbl1 = textLabel(this, "lbl1");
    QFont heading = m_lbl1->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    heading.setWeight(QFont::DemiBold);
    m_lbl1->setFont(heading);
    m_lbl2 = textLabel(this, "lbl2");
    m_lbl3 = textLabel(this, "lbl3");
    m_lbl3->setTextFormat(Qt::PlainText);
    m_lbl4 = textLabel(this, "lbl4");
    m_lbl5 = textLabel(this, "lbl5");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(24, 20, 24, 20);
    grid->setHorizontalSpacing(20);
    grid->setVerticalSpacing(10);
    grid->addWidget(m_iconsupport, 0, 0, 3, 1, Qt::AlignTop | Qt::AlignHCenter);
    grid->addWidget(m_lbl1, 0, 1);
    grid->addWidget(m_lbl2, 1, 1);
    grid->addWidget(m_lbl3, 2, 1);
    grid->addWidget(m_imgview_callicon, 3, 0, 2, 1, Qt::AlignTop | Qt::AlignHCenter);
    grid->addWidget(m_lbl4, 3, 1);
    grid->addWidget(m_lbl5, 4, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
}

void supportVc::viewDidLoad()
{
    const qreal ratio = devicePixelRatioF();
    m_imgview_callicon->setPixmap(
        Pictures::pixmap(Pictures::Picture::SupportCall, m_imgview_callicon->size(), ratio));
    m_iconsupport->setPixmap(
        Pictures::pixmap(Pictures::Picture::SupportHelp, m_iconsupport->size(), ratio));
    m_lbl1->setText(localizedText(QStringLiteral("IDS_KQ_50")));
    m_lbl2->setText(localizedText(QStringLiteral("IDS_KQ_51")));
    m_lbl3->setText(localizedText(QStringLiteral("IDS_KQ_8")));
    m_lbl4->setText(localizedText(QStringLiteral("IDS_KQ_52")));
    m_lbl5->setText(localizedText(QStringLiteral("IDS_KQ_9")));
}
