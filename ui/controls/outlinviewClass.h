// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeView>

/// Tree view whose items expand at once, never with a sliding animation.
class outlinviewClass : public QTreeView
{
    Q_OBJECT

public:
    explicit outlinviewClass(QWidget* parent = nullptr);

    /// Expands one item, or with expandChildren the item and every item below it. It never
    /// animates, even when setAnimated(true) was called since.
    void expandItem(const QModelIndex& index, bool expandChildren = false);

protected:
    /// A selected row's band runs under the indentation too, not only under its cells.
    void drawBranches(
        QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
};
