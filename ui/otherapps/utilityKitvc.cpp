// SPDX-License-Identifier: GPL-3.0-or-later
#include "utilityKitvc.h"

#include "CustomScroller.h"
#include "LanguageTable.h"
#include "PromotedApplications.h"
#include "buttoncursor.h"
#include "collectionView_cell.h"

#include <QDesktopServices>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
constexpr double topInset = 10;
constexpr double bottomInset = 20;
} // namespace

utilityKitvc::utilityKitvc(QWidget* parent)
    : BaseViewController(parent)
{ }

const std::array<utilityKitvc::Ordering, 10>& utilityKitvc::orderings()
{
    static const std::array<Ordering, 10> all {{
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23},
        {6, 16, 20, 13, 22, 18, 15, 2, 14, 4, 19, 8, 11, 3, 10, 7, 9, 1, 5, 21, 12, 23, 17},
        {10, 7, 20, 13, 15, 22, 17, 4, 11, 14, 8, 18, 5, 19, 9, 21, 3, 6, 12, 23, 16, 1, 2},
        {17, 8, 14, 3, 20, 9, 16, 6, 13, 5, 15, 1, 21, 11, 12, 4, 23, 18, 19, 22, 10, 2, 7},
        {7, 10, 5, 14, 12, 17, 9, 13, 11, 22, 21, 3, 15, 2, 16, 6, 8, 4, 23, 19, 1, 18, 20},
        {3, 12, 5, 4, 10, 14, 19, 21, 16, 9, 13, 8, 17, 23, 22, 1, 20, 18, 6, 15, 11, 7, 2},
        {7, 14, 4, 9, 21, 12, 1, 5, 11, 22, 18, 23, 16, 2, 8, 13, 3, 17, 15, 20, 19, 10, 6},
        {5, 11, 9, 22, 19, 14, 17, 21, 16, 23, 4, 2, 1, 12, 20, 10, 18, 7, 13, 3, 6, 15, 8},
        {7, 1, 12, 11, 22, 15, 19, 2, 23, 18, 20, 4, 17, 21, 10, 6, 3, 5, 14, 8, 13, 9, 16},
        {10, 7, 18, 12, 11, 20, 3, 23, 22, 16, 2, 1, 4, 17, 6, 15, 5, 19, 14, 8, 13, 21, 9},
    }};
    return all;
}

void utilityKitvc::setPromotedApplications(PromotedApplications* applications)
{
    m_applications = applications;
}

void utilityKitvc::setOrderingDraw(std::function<int()> draw)
{
    m_drawOrdering = std::move(draw);
}

void utilityKitvc::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 16, 0, 0);
    layout->setSpacing(8);
    m_lblotherapps = new QLabel(this);
    m_lblotherapps->setObjectName(QStringLiteral("lblotherapps"));
    QFont heading = m_lblotherapps->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    heading.setWeight(QFont::DemiBold);
    m_lblotherapps->setFont(heading);
    m_lblotherapps->setContentsMargins(24, 0, 24, 0);
    layout->addWidget(m_lblotherapps);

    m_scrollview = new QScrollArea(this);
    m_scrollview->setObjectName(QStringLiteral("scrollview"));
    m_scrollview->setFrameShape(QFrame::NoFrame);
    m_scrollview->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollview->setVerticalScrollBar(new CustomScroller(Qt::Vertical, m_scrollview));
    m_collectionView = new QWidget;
    m_collectionView->setObjectName(QStringLiteral("collectionView"));
    m_scrollview->setWidget(m_collectionView);
    layout->addWidget(m_scrollview, 1);
}

void utilityKitvc::viewDidLoad()
{
    m_lblotherapps->setText(localizedText(QStringLiteral("IDS_KQ_644")));
    // Clear: the window's own background shows between the cards.
    m_scrollview->viewport()->setAutoFillBackground(false);
    m_collectionView->setAutoFillBackground(false);
}

void utilityKitvc::viewWillAppear()
{
    const int drawn
        = m_drawOrdering ? m_drawOrdering() : int(QRandomGenerator::global()->bounded(10));
    const Ordering& ordering = orderings().at(size_t(qBound(0, drawn, 9)));
    m_randomPrmotarr = QList<int>(ordering.begin(), ordering.end());
    m_allappsDic.clear();
    PromotedApplications& applications
        = m_applications ? *m_applications : PromotedApplications::shared();
    applications.checkInstalled();
    for (int number : std::as_const(m_randomPrmotarr)) {
        if (!applications.isInstalled(number))
            m_allappsDic.append(PromotedApplications::card(number));
    }
    reloadData();
    configureCollectionView();
}

void utilityKitvc::viewDidAppear()
{
    if (!m_isfirstTimeLodded) {
        m_isfirstTimeLodded = true;
        // The window's first layout settles the viewport's width only after the show.
        QTimer::singleShot(100, this, &utilityKitvc::configureCollectionView);
    } else {
        configureCollectionView();
    }
}

void utilityKitvc::resizeEvent(QResizeEvent* event)
{
    BaseViewController::resizeEvent(event);
    if (isViewLoaded())
        configureCollectionView();
}

void utilityKitvc::reloadData()
{
    // Cards are reused: at most 23, the same widgets whatever the order.
    while (m_cells.size() < m_allappsDic.size()) {
        auto* cell = new collectionView_cell(m_collectionView);
        connect(cell->btnappstore(), &QAbstractButton::clicked, this,
            [this, button = cell->btnappstore()] { btnAppStoreClickedWithSender(button); });
        m_cells.append(cell);
    }
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        collectionView_cell* cell = m_cells.at(i);
        const bool used = i < m_allappsDic.size();
        cell->setVisible(used);
        if (!used)
            continue;
        cell->setCard(m_allappsDic.at(i));
        cell->btnappstore()->setProperty("tag", int(i));
    }
}

void utilityKitvc::configureCollectionView()
{
    const double width = m_scrollview->viewport()->width();
    const int perRow = int(m_numberofitemsinOneRow);
    m_space = (width - 880.0) / 3;
    // Two cards with `space` free on the left and right; what is left goes between them.
    const double left = qMax(0.0, m_space);
    const double right = qMax(left, width - left - collectionView_cell::width);
    const qsizetype count = m_allappsDic.size();
    for (qsizetype i = 0; i < count && i < m_cells.size(); ++i) {
        const int row = int(i) / perRow;
        const double x = (i % perRow == 0) ? left : right;
        m_cells.at(i)->move(int(x), int(topInset + row * collectionView_cell::height));
    }
    const int rows = int((count + perRow - 1) / perRow);
    m_collectionView->resize(
        int(width), int(topInset + rows * collectionView_cell::height + bottomInset));
}

void utilityKitvc::btnAppStoreClickedWithSender(QObject* sender)
{
    const int position = sender ? sender->property("tag").toInt() : -1;
    if (position < 0 || position >= m_allappsDic.size())
        return;
    QDesktopServices::openUrl(
        QUrl(m_allappsDic.at(position).value(QStringLiteral("apppath")).toString()));
}
