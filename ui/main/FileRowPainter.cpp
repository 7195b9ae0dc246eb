// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRowPainter.h"

#include "FileListModel.h"
#include "FileRowLayout.h"
#include "PathText.h"
#include "ScreenStyle.h"
#include "TableRowViewResult.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>

namespace {

constexpr int kSpinnerSize = 16;

QIcon themeIcon(std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull())
            return icon;
    }
    return {};
}

QIcon themeIcon(std::initializer_list<const char*> names, QStyle::StandardPixmap fallback)
{
    const QIcon icon = themeIcon(names);
    return icon.isNull() ? QApplication::style()->standardIcon(fallback) : icon;
}

QPalette::ColorGroup colorGroupOf(const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

} // namespace

FileRowPainter::FileRowPainter()
    // "Remove" takes the row out of the list only; a cross says that, a bin would suggest the
    // file itself is thrown away. Without an icon theme the cross is drawn (paintButton).
    : m_removeIcon(themeIcon({"window-close", "edit-clear"}))
    , m_revealIcon(themeIcon({"system-file-manager", "folder-open"}, QStyle::SP_DirOpenIcon))
{ }

QIcon FileRowPainter::iconForMimeType(const QString& mimeTypeName, bool isFolder) const
{
    const QString key
        = mimeTypeName.isEmpty() && isFolder ? QStringLiteral("inode/directory") : mimeTypeName;
    const auto cached = m_icons.constFind(key);
    if (cached != m_icons.cend())
        return *cached;

    QIcon icon;
    const bool folder = isFolder || key == u"inode/directory";
    if (folder)
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    if (icon.isNull() && !key.isEmpty()) {
        const QMimeType type = QMimeDatabase().mimeTypeForName(key);
        if (type.isValid()) {
            icon = QIcon::fromTheme(type.iconName());
            if (icon.isNull())
                icon = QIcon::fromTheme(type.genericIconName());
        }
    }
    if (icon.isNull()) {
        icon = m_iconProvider.icon(
            folder ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
    }
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(
            folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    m_icons.insert(key, icon);
    return icon;
}

QRect FileRowPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
    const QModelIndex& index, const Pointer& pointer, int spinnerFrame) const
{
    if (!index.isValid())
        return {};
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const FileRowLayout layout = FileRowLayout::of(option);
    const bool pending = index.data(FileListModel::IsPendingRole).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    const bool underPointer = pointer.overRow;

    painter->save();
    if (!TableRowViewResult::paintSelectionBand(painter, option, option.rect)) {
        QStyleOptionViewItem background(option);
        background.state &= ~QStyle::State_HasFocus;
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, option.widget);
    }

    QStyleOptionButton check;
    check.rect = layout.check;
    check.palette = ScreenStyle::checkBoxPalette(option.palette);
    check.direction = option.direction;
    check.fontMetrics = option.fontMetrics;
    if (pending) {
        check.state = QStyle::State_Off;
    } else {
        check.state = QStyle::State_Enabled;
        switch (static_cast<Qt::CheckState>(index.data(Qt::CheckStateRole).toInt())) {
        case Qt::Checked:
            check.state |= QStyle::State_On;
            break;
        case Qt::PartiallyChecked:
            check.state |= QStyle::State_NoChange;
            break;
        case Qt::Unchecked:
            check.state |= QStyle::State_Off;
            break;
        }
        if (underPointer && layout.check.contains(pointer.position))
            check.state |= QStyle::State_MouseOver;
    }
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &check, painter, option.widget);

    const QIcon icon = iconForMimeType(index.data(FileListModel::MimeTypeRole).toString(),
        index.data(FileListModel::IsFolderRole).toBool());
    icon.paint(painter, layout.icon, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
    if (!index.data(FileListModel::StorageWarningRole).toString().isEmpty()
        || !index.data(FileListModel::CannotEraseRole).toString().isEmpty()) {
        // A small mark on the file's icon; the tooltip says why.
        const int side = qMax(10, layout.icon.width() / 2 + 2);
        const QRect badge(
            layout.icon.right() + 3 - side, layout.icon.bottom() + 3 - side, side, side);
        style->standardIcon(QStyle::SP_MessageBoxWarning, &option, option.widget)
            .paint(painter, badge, Qt::AlignCenter);
    }

    const QPalette::ColorGroup group = colorGroupOf(option);
    // The selection band is dark grey whatever the palette says, so its text is always light.
    QColor titleColor = selected ? QColor(Qt::white) : option.palette.color(group, QPalette::Text);
    QColor mutedColor = titleColor;
    mutedColor.setAlphaF(selected ? 0.8f : 0.6f);
    const Qt::Alignment leading
        = QStyle::visualAlignment(option.direction, Qt::AlignLeft | Qt::AlignVCenter);

    painter->setFont(option.font);
    painter->setPen(titleColor);
    // The texts are elided to their width; not clipping keeps glyphs that reach past the font's
    // ascent or descent whole (an underscore clipped away reads as a space).
    painter->drawText(layout.title, int(leading) | Qt::TextDontClip,
        option.fontMetrics.elidedText(
            index.data(Qt::DisplayRole).toString(), Qt::ElideRight, layout.title.width()));

    const QFont smallFont = FileRowLayout::pathFont(option.font);
    painter->setFont(smallFont);
    painter->setPen(mutedColor);
    painter->drawText(layout.path, int(leading) | Qt::TextDontClip,
        QFontMetrics(smallFont).elidedText(
            PathText::displayText(index.data(FileListModel::PathRole).toString()), Qt::ElideMiddle,
            layout.path.width()));

    const Qt::Alignment trailing
        = QStyle::visualAlignment(option.direction, Qt::AlignRight | Qt::AlignVCenter);
    QRect spinner;
    if (pending) {
        spinner = QStyle::alignedRect(
            option.direction, trailing, QSize(kSpinnerSize, kSpinnerSize), layout.size);
        paintSpinner(painter, option, spinner, spinnerFrame);
    } else {
        painter->setFont(option.font);
        painter->setPen(mutedColor);
        painter->drawText(
            layout.size, int(trailing), index.data(FileListModel::SizeTextRole).toString());
        if (index.data(FileListModel::IsMainParentRole).toBool())
            paintButton(painter, option, layout.remove, m_removeIcon,
                underPointer && layout.remove.contains(pointer.position));
        if (underPointer)
            paintButton(painter, option, layout.reveal, m_revealIcon,
                layout.reveal.contains(pointer.position));
    }
    if (option.state & QStyle::State_HasFocus)
        paintFocusRing(painter, option);
    painter->restore();
    return spinner;
}

void FileRowPainter::paintButton(QPainter* painter, const QStyleOptionViewItem& option,
    const QRect& rect, const QIcon& icon, bool underPointer) const
{
    if (underPointer) {
        // The style's own raised tool-button look, as a flat tool button shows it under the
        // pointer.
        QStyleOption panel;
        panel.rect = rect;
        panel.palette = option.palette;
        panel.direction = option.direction;
        panel.state = QStyle::State_Enabled | QStyle::State_Raised | QStyle::State_MouseOver
            | QStyle::State_AutoRaise;
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelButtonTool, &panel, painter, option.widget);
    }
    const QRect iconRect = QStyle::alignedRect(option.direction, Qt::AlignCenter,
        QSize(FileRowLayout::kButtonIconSize, FileRowLayout::kButtonIconSize), rect);
    const bool selected = option.state & QStyle::State_Selected;
    if (!icon.isNull()) {
        icon.paint(painter, iconRect, Qt::AlignCenter, selected ? QIcon::Selected : QIcon::Normal);
        return;
    }
    // The style's own close icon is a boxed title-bar glyph, tiny and out of place in a row; a
    // plain cross in the row's text colour reads in any palette.
    QColor color
        = selected ? QColor(Qt::white) : option.palette.color(colorGroupOf(option), QPalette::Text);
    color.setAlphaF(0.7f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF cross = QRectF(iconRect).adjusted(4, 4, -4, -4);
    painter->drawLine(cross.topLeft(), cross.bottomRight());
    painter->drawLine(cross.topRight(), cross.bottomLeft());
    painter->restore();
}

void FileRowPainter::paintSpinner(
    QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect, int frame) const
{
    QColor color = option.state & QStyle::State_Selected
        ? QColor(Qt::white)
        : option.palette.color(colorGroupOf(option), QPalette::Text);
    color.setAlphaF(0.7f);
    QPen pen(color, 2.0);
    pen.setCapStyle(Qt::RoundCap);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->setRenderHint(QPainter::Antialiasing, true);
    // A three-quarter arc that turns one step per frame; angles are in 1/16 degree.
    const int start = -frame * (360 / kSpinnerFrames) * 16;
    painter->drawArc(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), start, 270 * 16);
}

void FileRowPainter::paintFocusRing(QPainter* painter, const QStyleOptionViewItem& option) const
{
    const QPalette::ColorGroup group = colorGroupOf(option);
    const bool selected = option.state & QStyle::State_Selected;
    // The style's focus frame is taken off with the background; keyboard users still need
    // to see which row Space will check, in a colour that reads on the row.
    const QColor base = option.palette.color(group, QPalette::Base);
    const QColor highlight = option.palette.color(group, QPalette::Highlight);
    const QColor ring = selected ? QColor(Qt::white)
        : ScreenStyle::contrastRatio(highlight, base) >= 3.0
        ? highlight
        : option.palette.color(group, QPalette::Text);
    painter->setPen(QPen(ring, 2));
    painter->setBrush(Qt::NoBrush);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->drawRoundedRect(QRectF(option.rect).adjusted(1, 1, -1, -1), 4, 4);
}
