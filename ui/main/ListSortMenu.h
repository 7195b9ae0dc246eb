// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QMenu;
class QTreeView;
class QWidget;

/// The files list's sort menu: smallest first or largest first, the current order checked,
/// popped up under the sort button; and bringing the view up to date after a sort.
class ListSortMenu : public QObject
{
    Q_OBJECT

public:
    /// The menu belongs to `owner`.
    explicit ListSortMenu(QWidget* owner);

    QMenu* menu() const { return m_menu; }
    /// Rebuilds the items with `current` checked and pops the menu up under `button`.
    void popUpUnder(QWidget* button, Qt::SortOrder current);

    /// Collapses every expanded top-level row of `view` (the rows below keep their own state),
    /// so the list shows the new order from the top; with nothing to collapse, lays out and
    /// paints every row anew.
    static void refreshAfterSort(QTreeView* view);

signals:
    void ascendingChosen();
    void descendingChosen();

private:
    QMenu* m_menu;
};
