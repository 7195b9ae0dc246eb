// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

/// Item delegate that shows a selected row as a solid dark grey band behind the cell content.
///
/// Use it for every column of a view with SelectRows behaviour. A delegate that paints its own
/// cells derives from this class and either calls TableRowViewResult::paint() for the standard
/// look, or calls paintSelectionBand() first and then draws its content on top. The band only
/// covers the cells: a tree view that shows branch indicators paints the indentation itself,
/// so its drawBranches() should call paintSelectionBand() for selected rows too.
class TableRowViewResult : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TableRowViewResult(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;

    /// The colour of a selected row.
    static QColor selectionColor();
    /// Fills rect with the selection colour when option is selected; returns whether it did.
    static bool paintSelectionBand(
        QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect);
};
