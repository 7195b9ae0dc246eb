// SPDX-License-Identifier: GPL-3.0-or-later
#include "NotErasedDialog.h"

#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "PathText.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// A tree view asks a delegate for a row's height without the column's width, so a wrapped
// text would keep one line: this one measures the text at the column's width.
class WrappingDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingDelegate(QTreeView* view)
        : QStyledItemDelegate(view)
        , m_view(view)
    { }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const int width = m_view->columnWidth(index.column());
        // The style's text margins, on both sides, with room to spare.
        const int margin
            = 2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1)
            + 4;
        const QRect text = item.fontMetrics.boundingRect(
            QRect(0, 0, std::max(1, width - margin), 1 << 20), Qt::TextWordWrap, item.text);
        return {width,
            std::max(QStyledItemDelegate::sizeHint(option, index).height(), text.height() + 4)};
    }

private:
    QTreeView* m_view;
};

} // namespace

NotErasedDialog::NotErasedDialog(const QList<NotErasedItem>& items, QWidget* parent,
    const QString& titleKey, const QString& introKey)
    : QDialog(parent)
    , m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("notErasedDialog"));
    setWindowTitle(localizedText(titleKey));
    setWindowModality(Qt::WindowModal);
    resize(640, 360);

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(localizedText(introKey), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_list->setRootIsDecorated(false);
    // Rows grow to hold a reason that wraps; nothing hides behind a horizontal scroll bar.
    m_list->setUniformRowHeights(false);
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({localizedText(QStringLiteral("IDS_KQ_318")),
        localizedText(QStringLiteral("IDS_KQ_319")), localizedText(QStringLiteral("IDS_KQ_208"))});
    // The name tells two rows apart, so it is never elided; the folder gives way in its middle
    // (its tool tip has the whole path) and the reason takes the rest, wrapped.
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Interactive);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(1, 180);
    m_list->setItemDelegateForColumn(2, new WrappingDelegate(m_list));
    // A tree view keeps each row's height until its next layout: a column that changes width
    // must lay the rows out again, or a wrapped reason is cut.
    connect(m_list->header(), &QHeaderView::sectionResized, m_list, &QTreeView::doItemsLayout,
        Qt::QueuedConnection);
    m_list->setAccessibleName(localizedText(titleKey));
    for (const NotErasedItem& item : items) {
        const qsizetype slash = item.path.lastIndexOf(u'/');
        const QString folder = slash == 0 ? QStringLiteral("/") : item.path.left(slash);
        // The title says what these items are; each reason says only why.
        const QString reason = ErasureTexts::withoutNotErasedMark(item.reason);
        auto* row = new QTreeWidgetItem(m_list,
            {PathText::displayText(item.path.mid(slash + 1)), PathText::displayText(folder),
                reason});
        const QString shown = PathText::displayText(item.path);
        row->setToolTip(0, shown);
        row->setToolTip(1, shown);
        row->setToolTip(2, reason);
    }
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(localizedText(QStringLiteral("IDS_KQ_205")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
