// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListSortMenu.h"

#include "LanguageTable.h"

#include <QMenu>
#include <QTreeView>

ListSortMenu::ListSortMenu(QWidget* owner)
    : QObject(owner)
    , m_menu(new QMenu(owner))
{ }

void ListSortMenu::popUpUnder(QWidget* button, Qt::SortOrder current)
{
    m_menu->clear();
    QAction* ascending = new QAction(localizedText(QStringLiteral("IDS_KQ_33")), m_menu);
    QAction* descending = new QAction(localizedText(QStringLiteral("IDS_KQ_34")), m_menu);
    for (QAction* action : {ascending, descending})
        action->setCheckable(true);
    ascending->setChecked(current == Qt::AscendingOrder);
    descending->setChecked(current == Qt::DescendingOrder);
    connect(ascending, &QAction::triggered, this, &ListSortMenu::ascendingChosen);
    connect(descending, &QAction::triggered, this, &ListSortMenu::descendingChosen);
    m_menu->addAction(ascending);
    m_menu->addSeparator();
    m_menu->addAction(descending);
    // Under the button, as a drop-down menu opens on this desktop.
    m_menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

void ListSortMenu::refreshAfterSort(QTreeView* view)
{
    const QAbstractItemModel* model = view->model();
    bool collapsed = false;
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model->index(row, 0);
        if (view->isExpanded(index)) {
            view->collapse(index);
            collapsed = true;
        }
    }
    // The rows already follow the model's sort; the view lays out and paints every row anew.
    if (!collapsed)
        view->doItemsLayout();
}
