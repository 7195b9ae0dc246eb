// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BaseViewController.h"

#include <QList>
#include <QVariantMap>
#include <array>
#include <functional>

class PromotedApplications;
class QLabel;
class QScrollArea;
class collectionView_cell;

/// The other-apps panel: a grid of cards, two per row, for the promoted applications not
/// installed here, in one of ten fixed orders drawn anew every time the panel is shown.
class utilityKitvc : public BaseViewController
{
    Q_OBJECT

public:
    using Ordering = std::array<int, 23>;

    explicit utilityKitvc(QWidget* parent = nullptr);

    /// The ten orders of entry numbers; the first is 1 to 23.
    static const std::array<Ordering, 10>& orderings();

    /// Where the installed check looks; the process-wide list when never set.
    void setPromotedApplications(PromotedApplications* applications);
    /// Draws the index (0 to 9) of the next ordering; uniform random when never set.
    void setOrderingDraw(std::function<int()> draw);

    const QList<QVariantMap>& allappsDic() const { return m_allappsDic; }
    const QList<int>& randomPrmotarr() const { return m_randomPrmotarr; }
    double space() const { return m_space; }
    QList<collectionView_cell*> cells() const { return m_cells; }
    QLabel* lblotherapps() const { return m_lblotherapps; }
    QScrollArea* scrollview() const { return m_scrollview; }

    /// Lays the cards out for the width the grid has now.
    void configureCollectionView();
    /// Opens the page of the card whose position is the sender's "tag".
    void btnAppStoreClickedWithSender(QObject* sender);

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void reloadData();

    QLabel* m_lblotherapps = nullptr;
    QScrollArea* m_scrollview = nullptr;
    QWidget* m_collectionView = nullptr;
    QList<collectionView_cell*> m_cells;
    QList<QVariantMap> m_allappsDic;
    bool m_isfirstTimeLodded = false;
    QList<int> m_randomPrmotarr;
    double m_numberofitemsinOneRow = 2;
    double m_space = 0;
    PromotedApplications* m_applications = nullptr;
    std::function<int()> m_drawOrdering;
};
