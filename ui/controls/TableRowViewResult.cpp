// SPDX-License-Identifier: GPL-3.0-or-later
#include "TableRowViewResult.h"

#include <QPainter>

TableRowViewResult::TableRowViewResult(QObject* parent)
    : QStyledItemDelegate(parent)
{ }

QColor TableRowViewResult::selectionColor()
{
    return QColor(Qt::darkGray);
}

bool TableRowViewResult::paintSelectionBand(
    QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect)
{
    if (!(option.state & QStyle::State_Selected))
        return false;
    painter->fillRect(rect, selectionColor());
    return true;
}

void TableRowViewResult::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!paintSelectionBand(painter, option, option.rect)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The style still draws its own selection background under the text; in the band's
    // colour it cannot show through, whatever shape the style gives it.
    QStyleOptionViewItem banded(option);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        banded.palette.setColor(group, QPalette::Highlight, selectionColor());
    QStyledItemDelegate::paint(painter, banded, index);
}
