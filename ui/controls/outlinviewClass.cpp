// SPDX-License-Identifier: GPL-3.0-or-later
#include "outlinviewClass.h"

#include "TableRowViewResult.h"

#include <QPainter>

outlinviewClass::outlinviewClass(QWidget* parent)
    : QTreeView(parent)
{
    // Expanding from the branch indicator or the keyboard is immediate too.
    setAnimated(false);
}

void outlinviewClass::expandItem(const QModelIndex& index, bool expandChildren)
{
    const bool wasAnimated = isAnimated();
    setAnimated(false);
    if (expandChildren)
        expandRecursively(index);
    else
        expand(index);
    setAnimated(wasAnimated);
}

void outlinviewClass::drawBranches(
    QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = rect;
    if (selectionModel() && selectionModel()->isSelected(index))
        option.state |= QStyle::State_Selected;
    if (!TableRowViewResult::paintSelectionBand(painter, option, rect)) {
        QTreeView::drawBranches(painter, rect, index);
        return;
    }
    // On the band only the expand arrow is drawn, light so it shows on the dark grey.
    if (!model()->hasChildren(index))
        return;
    QStyleOption branch;
    branch.initFrom(this);
    const int indent = indentation();
    branch.rect = QRect(rect.right() - indent + 1, rect.top(), indent, rect.height());
    branch.state = QStyle::State_Item | QStyle::State_Children
        | (isExpanded(index) ? QStyle::State_Open : QStyle::State_None);
    branch.palette.setColor(QPalette::WindowText, Qt::white);
    branch.palette.setColor(QPalette::Text, Qt::white);
    style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, painter, this);
}
