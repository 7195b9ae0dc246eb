// SPDX-License-Identifier: GPL-3.0-or-later
#include "collectionView_cell.h"

#include "CustomTextFieldCell.h"
#include "LanguageTable.h"
#include "Pictures.h"
#include "buttoncursor.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>

namespace {
constexpr int iconSide = 96;
// The grid packs cards edge to edge; the painted card leaves a gap to its neighbours.
constexpr int cardInset = 6;
} // namespace

collectionView_cell::collectionView_cell(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("collectionView_cell"));
    setFixedSize(width, height);

    m_imgview = new QLabel(this);
    m_imgview->setObjectName(QStringLiteral("imgview"));
    m_imgview->setFixedSize(iconSide, iconSide);
    m_lbltitle = new QLabel(this);
    m_lbltitle->setObjectName(QStringLiteral("lbltitle"));
    QFont titleFont = m_lbltitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setWeight(QFont::DemiBold);
    m_lbltitle->setFont(titleFont);
    m_lblapptype = new QLabel(this);
    m_lblapptype->setObjectName(QStringLiteral("lblapptype"));
    m_lblsubtitle = new CustomTextFieldCell(this);
    m_lblsubtitle->setObjectName(QStringLiteral("lblsubtitle"));
    m_lblsubtitle->setWordWrap(true);
    m_lblsubtitle->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_btnappstore = new buttoncursor(this);
    m_btnappstore->setObjectName(QStringLiteral("btnappstore"));
    m_btnappstore->setFlat(true);
    m_btnappstore->setIconSize(Pictures::naturalSize(Pictures::Picture::FlathubButton));
    m_btnappstore->setFixedSize(
        Pictures::naturalSize(Pictures::Picture::FlathubButton) + QSize(8, 8));

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(cardInset + 16, cardInset + 14, cardInset + 16, cardInset + 10);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    grid->addWidget(m_imgview, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(m_lbltitle, 0, 1);
    grid->addWidget(m_lblapptype, 1, 1);
    grid->addWidget(m_lblsubtitle, 2, 1);
    grid->addWidget(m_btnappstore, 3, 1, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    applyColours();
}

void collectionView_cell::setCard(const QVariantMap& card)
{
    m_lbltitle->setText(card.value(QStringLiteral("Title")).toString());
    m_imgview->setPixmap(Pictures::renderSvg(card.value(QStringLiteral("icon")).toString(),
        QSize(iconSide, iconSide), devicePixelRatioF()));
    // The user's language where the table has the text, the built-in English otherwise.
    const auto text = [&card](const char* key, const char* english) {
        const QString own = localizedText(card.value(QLatin1String(key)).toString());
        return own.isEmpty() ? card.value(QLatin1String(english)).toString() : own;
    };
    m_lblsubtitle->setText(text("descriptionKey", "description"));
    m_lblapptype->setText(text("categoryKey", "category"));
    const auto picture = card.value(QStringLiteral("isappStore")).toBool()
        ? Pictures::Picture::FlathubButton
        : Pictures::Picture::DownloadButton;
    m_btnappstore->setIcon(QIcon(Pictures::pixmap(picture, {}, devicePixelRatioF())));
    m_btnappstore->setAccessibleName(picture == Pictures::Picture::FlathubButton
            ? localizedText(QStringLiteral("IDS_KQ_645"))
            : localizedText(QStringLiteral("IDS_KQ_646")));
}

void collectionView_cell::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_applyingColours)
        applyColours();
}

void collectionView_cell::paintEvent(QPaintEvent*)
{
    // A card stands out from the window in a light and a dark palette alike.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(cardInset + 0.5, cardInset + 0.5,
                                -cardInset - 0.5, -cardInset - 0.5),
        10, 10);
}

void collectionView_cell::applyColours()
{
    m_applyingColours = true;
    // Between the text and the card colour: quieter than the text, readable on any palette
    // (some themes leave the placeholder colour dark on a dark card).
    const QColor text = palette().color(QPalette::Text);
    const QColor card = palette().color(QPalette::Base);
    QPalette caption = m_lblapptype->palette();
    caption.setColor(QPalette::WindowText,
        QColor::fromRgbF(text.redF() * 0.6f + card.redF() * 0.4f,
            text.greenF() * 0.6f + card.greenF() * 0.4f,
            text.blueF() * 0.6f + card.blueF() * 0.4f));
    m_lblapptype->setPalette(caption);
    m_applyingColours = false;
}
