// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileRowLayout.h"
#include "FileRowPainter.h"
#include "TableRowViewResult.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QRegion>

class QAbstractItemView;
class QTimer;

/// The row of the files list (a FileListModel row): painted by FileRowPainter, laid out by
/// FileRowLayout, with the row's buttons: remove (top-level rows only) and reveal (on the row
/// under the pointer only). This class follows the pointer, turns clicks on the parts into
/// actions and animates the busy mark. Everything is painted; there are no per-row widgets, so
/// 100,000 rows cost no more than the visible ones.
///
/// While a scan runs (IsPendingRole) a row shows a spinning busy mark instead of its size, a
/// disabled empty check box and no buttons, and ignores clicks.
class tblcell_shredderFiles : public TableRowViewResult
{
    Q_OBJECT

public:
    /// Row height at 1x: two lines of text (name and path) with some air.
    static constexpr int kRowHeight = 44;

    explicit tblcell_shredderFiles(QObject* parent = nullptr);

    /// Makes this the delegate of `view` and turns on what it relies on: mouse tracking on the
    /// viewport (the reveal button follows the pointer) and, for a tree view, uniform row heights
    /// (laying out 100,000 rows then never asks every row for its height).
    void install(QAbstractItemView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

    /// Where the row's parts are for a row painted with `option` (its rect in viewport
    /// coordinates). The button rects are empty where the row offers no such button: remove on
    /// child rows, both while pending.
    QRect checkBoxRect(const QStyleOptionViewItem& option) const;
    QRect removeButtonRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    QRect revealButtonRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    /// The icon for a MIME type name, from the icon theme, else the platform's generic file or
    /// folder icon. Resolved once per name and kept.
    QIcon iconForMimeType(const QString& mimeTypeName, bool isFolder) const
    {
        return m_painter.iconForMimeType(mimeTypeName, isFolder);
    }

    /// The row under the pointer, as last seen on the installed view's viewport.
    QModelIndex hoveredIndex() const { return m_hovered; }

signals:
    void removeRequested(qint64 tag);
    void revealRequested(qint64 tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Part = FileRowLayout::Part;

    QStyleOptionViewItem optionFor(const QModelIndex& index) const;
    void setHovered(const QModelIndex& index, const QPoint& pos);
    void updateRow(const QModelIndex& index);
    void toggleCheck(QAbstractItemModel* model, const QModelIndex& index);
    void advanceSpinner();

    FileRowPainter m_painter;
    QPointer<QAbstractItemView> m_view;
    QPersistentModelIndex m_hovered;
    QPoint m_pointer;
    // The busy mark turns while pending rows are painted; the timer stops on its own once a
    // tick finds none painted since the last one.
    QTimer* m_spinnerTimer = nullptr;
    int m_spinnerFrame = 0;
    mutable QRegion m_spinnerRegion;
};
