// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QModelIndex>
#include <QStyleOptionViewItem>

class QPainter;

/// Paints one files list row the way a native list row looks: the check box, the type icon,
/// the name over the full path, the size or a busy mark, and the row's buttons. The delegate
/// (tblcell_shredderFiles) decides where the pointer is and animates the busy mark.
class FileRowPainter
{
public:
    /// Where the pointer is, as the delegate last saw it.
    struct Pointer
    {
        /// The pointer is over this row.
        bool overRow = false;
        QPoint position;
    };

    FileRowPainter();

    /// Paints `index`'s row; returns the rect of the busy mark painted (empty when none).
    QRect paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
        const Pointer& pointer, int spinnerFrame) const;
    /// The icon for a MIME type name, from the icon theme, else the platform's generic file or
    /// folder icon. Resolved once per name and kept.
    QIcon iconForMimeType(const QString& mimeTypeName, bool isFolder) const;

    static constexpr int kSpinnerFrames = 12;

private:
    void paintButton(QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect,
        const QIcon& icon, bool underPointer) const;
    void paintSpinner(
        QPainter* painter, const QStyleOptionViewItem& option, const QRect& rect, int frame) const;
    void paintFocusRing(QPainter* painter, const QStyleOptionViewItem& option) const;

    QIcon m_removeIcon;
    QIcon m_revealIcon;
    QFileIconProvider m_iconProvider;
    mutable QHash<QString, QIcon> m_icons;
};
