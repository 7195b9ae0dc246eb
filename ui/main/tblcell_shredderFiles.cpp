// SPDX-License-Identifier: GPL-3.0-or-later
#include "tblcell_shredderFiles.h"

#include "PathText.h"

#include "FileListModel.h"
#include "LanguageTable.h"
#include "ScreenStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>

namespace {

constexpr int kMargin = 6;
constexpr int kGap = 8;
constexpr int kIconSize = 32;
constexpr int kButtonSize = 24;
constexpr int kButtonIconSize = 16;
constexpr int kSpinnerSize = 16;
constexpr int kSpinnerFrames = 12;
constexpr int kSpinnerIntervalMs = 80;

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

QFont pathFont(const QFont& base)
{
    QFont font(base);
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * 0.85);
    else if (base.pixelSize() > 0)
        font.setPixelSize(qMax(8, base.pixelSize() * 85 / 100));
    return font;
}

QPalette::ColorGroup colorGroupOf(const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

} // namespace

tblcell_shredderFiles::tblcell_shredderFiles(QObject* parent)
    : TableRowViewResult(parent)
    // "Remove" takes the row out of the list only; a cross says that, a bin would suggest the
    // file itself is thrown away. Without an icon theme the cross is drawn (paintButton).
    , m_removeIcon(themeIcon({"window-close", "edit-clear"}))
    , m_revealIcon(themeIcon({"system-file-manager", "folder-open"}, QStyle::SP_DirOpenIcon))
    , m_spinnerTimer(new QTimer(this))
{
    m_spinnerTimer->setInterval(kSpinnerIntervalMs);
    connect(m_spinnerTimer, &QTimer::timeout, this, &tblcell_shredderFiles::advanceSpinner);
}

void tblcell_shredderFiles::install(QAbstractItemView* view)
{
    if (m_view)
        m_view->viewport()->removeEventFilter(this);
    m_view = view;
    view->setItemDelegate(this);
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    if (auto* tree = qobject_cast<QTreeView*>(view))
        tree->setUniformRowHeights(true);
    // Scrolling moves rows under a pointer that did not move.
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (m_view && m_hovered.isValid())
            setHovered(m_view->indexAt(m_pointer), m_pointer);
    });
}

tblcell_shredderFiles::Layout tblcell_shredderFiles::layoutFor(
    const QStyleOptionViewItem& option) const
{
    const QRect rect = option.rect;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const int centre = rect.top() + rect.height() / 2;
    Layout logical;

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
    Layout layout;
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

QRect tblcell_shredderFiles::checkBoxRect(const QStyleOptionViewItem& option) const
{
    return layoutFor(option).check;
}

QRect tblcell_shredderFiles::removeButtonRect(
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.data(FileListModel::IsPendingRole).toBool()
        || !index.data(FileListModel::IsMainParentRole).toBool())
        return {};
    return layoutFor(option).remove;
}

QRect tblcell_shredderFiles::revealButtonRect(
    const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.data(FileListModel::IsPendingRole).toBool())
        return {};
    return layoutFor(option).reveal;
}

tblcell_shredderFiles::Part tblcell_shredderFiles::partAt(
    const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos) const
{
    if (!index.isValid() || index.data(FileListModel::IsPendingRole).toBool())
        return Part::None;
    const Layout layout = layoutFor(option);
    if (layout.check.contains(pos))
        return Part::CheckBox;
    if (layout.remove.contains(pos) && index.data(FileListModel::IsMainParentRole).toBool())
        return Part::Remove;
    if (layout.reveal.contains(pos))
        return Part::Reveal;
    return Part::None;
}

QIcon tblcell_shredderFiles::iconForMimeType(const QString& mimeTypeName, bool isFolder) const
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

void tblcell_shredderFiles::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!index.isValid())
        return;
    const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const Layout layout = layoutFor(option);
    const bool pending = index.data(FileListModel::IsPendingRole).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    const bool underPointer
        = m_view ? QModelIndex(m_hovered) == index : bool(option.state & QStyle::State_MouseOver);

    painter->save();
    if (!paintSelectionBand(painter, option, option.rect)) {
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
        if (underPointer && layout.check.contains(m_pointer))
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

    const QFont smallFont = pathFont(option.font);
    painter->setFont(smallFont);
    painter->setPen(mutedColor);
    painter->drawText(layout.path, int(leading) | Qt::TextDontClip,
        QFontMetrics(smallFont).elidedText(
            PathText::displayText(index.data(FileListModel::PathRole).toString()), Qt::ElideMiddle,
            layout.path.width()));

    const Qt::Alignment trailing
        = QStyle::visualAlignment(option.direction, Qt::AlignRight | Qt::AlignVCenter);
    if (pending) {
        const QRect spinner = QStyle::alignedRect(
            option.direction, trailing, QSize(kSpinnerSize, kSpinnerSize), layout.size);
        paintSpinner(painter, option, spinner);
    } else {
        painter->setFont(option.font);
        painter->setPen(mutedColor);
        painter->drawText(
            layout.size, int(trailing), index.data(FileListModel::SizeTextRole).toString());
        if (index.data(FileListModel::IsMainParentRole).toBool())
            paintButton(painter, option, layout.remove, m_removeIcon,
                underPointer && layout.remove.contains(m_pointer));
        if (underPointer)
            paintButton(
                painter, option, layout.reveal, m_revealIcon, layout.reveal.contains(m_pointer));
    }
    if (option.state & QStyle::State_HasFocus) {
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
    painter->restore();
}

void tblcell_shredderFiles::paintButton(QPainter* painter, const QStyleOptionViewItem& option,
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
    const QRect iconRect = QStyle::alignedRect(
        option.direction, Qt::AlignCenter, QSize(kButtonIconSize, kButtonIconSize), rect);
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

void tblcell_shredderFiles::paintSpinner(
    QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect) const
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
    const int start = -m_spinnerFrame * (360 / kSpinnerFrames) * 16;
    painter->drawArc(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), start, 270 * 16);

    m_spinnerRegion += rect;
    if (m_view && !m_spinnerTimer->isActive())
        m_spinnerTimer->start();
}

void tblcell_shredderFiles::advanceSpinner()
{
    if (m_spinnerRegion.isEmpty() || !m_view) {
        m_spinnerTimer->stop();
        return;
    }
    m_spinnerFrame = (m_spinnerFrame + 1) % kSpinnerFrames;
    const QRegion dirty = m_spinnerRegion;
    m_spinnerRegion = QRegion();
    m_view->viewport()->update(dirty);
}

QSize tblcell_shredderFiles::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const int textHeight
        = option.fontMetrics.height() + QFontMetrics(pathFont(option.font)).height() + 2;
    return QSize(kIconSize * 10, qMax(kRowHeight, textHeight + 8));
}

void tblcell_shredderFiles::toggleCheck(QAbstractItemModel* model, const QModelIndex& index)
{
    if (!(index.flags() & Qt::ItemIsUserCheckable))
        return;
    model->setData(index, int(FileListModel::stateAfterClick(index)), Qt::CheckStateRole);
}

bool tblcell_shredderFiles::editorEvent(QEvent* event, QAbstractItemModel* model,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const Part part = partAt(option, index, mouse->position().toPoint());
        if (part == Part::None)
            return false;
        // Presses on a part are taken so a double click there neither expands nor collapses
        // the folder; the part acts on release, like a button.
        if (event->type() != QEvent::MouseButtonRelease)
            return true;
        const qint64 tag = index.data(FileListModel::TagRole).toLongLong();
        switch (part) {
        case Part::CheckBox:
            toggleCheck(model, index);
            break;
        case Part::Remove:
            emit removeRequested(tag);
            break;
        case Part::Reveal:
            emit revealRequested(tag);
            break;
        case Part::None:
            break;
        }
        return true;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Space && key->key() != Qt::Key_Select)
            || index.data(FileListModel::IsPendingRole).toBool())
            return false;
        toggleCheck(model, index);
        return true;
    }
    default:
        return false;
    }
}

bool tblcell_shredderFiles::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip) {
        const Part part = partAt(option, index, event->pos());
        if (part == Part::Remove || part == Part::Reveal) {
            const QString text = localizedText(
                part == Part::Reveal ? QStringLiteral("IDS_KQ_111") : QStringLiteral("IDS_KQ_112"));
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(event->globalPos(), text, view->viewport(),
                    part == Part::Reveal ? layoutFor(option).reveal : layoutFor(option).remove);
            return true;
        }
    }
    return TableRowViewResult::helpEvent(event, view, option, index);
}

QStyleOptionViewItem tblcell_shredderFiles::optionFor(const QModelIndex& index) const
{
    QStyleOptionViewItem option;
    if (!m_view)
        return option;
    option.initFrom(m_view);
    option.font = m_view->font();
    option.fontMetrics = m_view->fontMetrics();
    option.widget = m_view;
    option.rect = m_view->visualRect(index);
    return option;
}

void tblcell_shredderFiles::updateRow(const QModelIndex& index)
{
    if (!m_view || !index.isValid())
        return;
    const QRect rect = m_view->visualRect(index);
    if (rect.isValid())
        m_view->viewport()->update(
            QRect(0, rect.top(), m_view->viewport()->width(), rect.height()));
}

void tblcell_shredderFiles::setHovered(const QModelIndex& index, const QPoint& pos)
{
    const QModelIndex previous = m_hovered;
    const Part before = partAt(optionFor(previous), previous, m_pointer);
    // While a scan runs no row shows its buttons, so the pointer has nothing to reveal.
    const QModelIndex now = index.isValid() && !index.data(FileListModel::IsPendingRole).toBool()
        ? index
        : QModelIndex();
    m_hovered = now;
    m_pointer = pos;
    const Part after = partAt(optionFor(now), now, pos);
    if (previous != now) {
        updateRow(previous);
        updateRow(now);
    } else if (before != after) {
        updateRow(now);
    }
    if (m_view) {
        if (after == Part::Remove || after == Part::Reveal)
            m_view->viewport()->setCursor(Qt::PointingHandCursor);
        else
            m_view->viewport()->unsetCursor();
    }
}

bool tblcell_shredderFiles::eventFilter(QObject* watched, QEvent* event)
{
    if (m_view && watched == m_view->viewport()) {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
            setHovered(m_view->indexAt(pos), pos);
            break;
        }
        case QEvent::Leave:
            setHovered({}, {});
            break;
        default:
            break;
        }
    }
    return TableRowViewResult::eventFilter(watched, event);
}
