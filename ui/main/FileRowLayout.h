// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QModelIndex>
#include <QRect>
#include <QStyleOptionViewItem>

/// Where the parts of a files list row go, and which part a point hits. Left to right: the check
/// box, the type icon, the name over the full path, the size, and the reveal and remove button
/// slots; mirrored on right-to-left desktops.
struct FileRowLayout
{
    enum class Part
    {
        None,
        CheckBox,
        Remove,
        Reveal
    };

    QRect check;
    QRect icon;
    QRect title;
    QRect path;
    QRect size;
    QRect reveal;
    QRect remove;

    /// The layout of a row painted with `option` (its rect in viewport coordinates).
    static FileRowLayout of(const QStyleOptionViewItem& option);
    /// The part of `index`'s row under `pos`: none while pending, remove on top-level rows only.
    static Part partAt(
        const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& pos);
    /// The smaller font of the path line.
    static QFont pathFont(const QFont& base);
    /// Two lines of text with some air, at least `minimum` high.
    static QSize sizeHint(const QStyleOptionViewItem& option, int minimum);

    static constexpr int kIconSize = 32;
    static constexpr int kButtonIconSize = 16;
};
