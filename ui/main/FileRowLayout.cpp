// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRowLayout.h"

#include "FileListModel.h"

#include <QApplication>
#include <QStyle>

namespace {

constexpr int kMargin = 6;
constexpr int kGap = 8;
constexpr int kButtonSize = 24;

} // namespace

QFont FileRowLayout::pathFont(const QFont& base)
{
    QFont font(base);
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * 0.85);
    else if (base.pixelSize() > 0)
        font.setPixelSize(qMax(8, base.pixelSize() * 85 / 100));
    return font;
}

QSize FileRowLayout::sizeHint(const QStyleOptionViewItem& option, int minimum)
{
    const int textHeight
        = option.fontMetrics.height() + QFontMetrics(pathFont(option.font)).height() + 2;
    return QSize(kIconSize * 10, qMax(minimum, textHeight + 8));
}

FileRowLayout FileRowLayout::of(const QStyleOptionViewItem& option)
{
    const QRect rect = option.rect;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int centre = rect.top() + rect.height() / 2;
    FileRowLayout logical;

    const int checkWidth = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, option.widget);
    const int checkHeight = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget);
    logical.check = QRect(rect.left() + kMargin, centre - checkHeight / 2, checkWidth, checkHeight);

    const int iconSize = qMax(0, qMin(kIconSize, rect.height() - 8));
    logical.icon
        = QRect(logical.check.right() + 1 + kGap, centre - iconSize / 2, iconSize, iconSize);

    // Both button slots are always kept, so sizes line up whether or not a row has buttons.
    logical.remove = QRect(rect.right() + 1 - kMargin - kButtonSize, centre - kButtonSize / 2,
        kButtonSize, kButtonSize);
    logical.reveal = logical.remove.translated(-(kButtonSize + 4), 0);

    const int sizeWidth = option.fontMetrics.horizontalAdvance(QStringLiteral("0000.0 MB")) + 4;
    logical.size
        = QRect(logical.reveal.left() - kGap - sizeWidth, rect.top(), sizeWidth, rect.height());

    const int textLeft = logical.icon.right() + 1 + kGap;
    const int textWidth = qMax(0, logical.size.left() - kGap - textLeft);
    const int titleHeight = option.fontMetrics.height();
    const int pathHeight = QFontMetrics(pathFont(option.font)).height();
    const int top = centre - (titleHeight + pathHeight + 2) / 2;
    logical.title = QRect(textLeft, top, textWidth, titleHeight);
    logical.path = QRect(textLeft, top + titleHeight + 2, textWidth, pathHeight);

    // Right-to-left desktops get the mirror image.
    FileRowLayout layout;
    const auto mirror
        = [&](const QRect& r) { return QStyle::visualRect(option.direction, rect, r); };
    layout.check = mirror(logical.check);
    layout.icon = mirror(logical.icon);
    layout.title = mirror(logical.title);
    layout.path = mirror(logical.path);
    layout.size = mirror(logical.size);
    layout.reveal = mirror(logical.reveal);
    layout.remove = mirror(logical.remove);
    return layout;
}

FileRowLayout::Part FileRowLayout::partAt(
    const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos)
{
    if (!index.isValid() || index.data(FileListModel::IsPendingRole).toBool())
        return Part::None;
    const FileRowLayout layout = of(option);
    if (layout.check.contains(pos))
        return Part::CheckBox;
    if (layout.remove.contains(pos) && index.data(FileListModel::IsMainParentRole).toBool())
        return Part::Remove;
    if (layout.reveal.contains(pos))
        return Part::Reveal;
    return Part::None;
}
