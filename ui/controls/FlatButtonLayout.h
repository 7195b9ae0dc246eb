// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRectF>
#include <QSize>
#include <QSizeF>

/// Where a flat button places its image and title, and how large it wants to be. Independent
/// of any widget; positions are SYFlatButton::ImagePosition values.
struct FlatButtonLayout
{
    /// Image and title rectangles in widget coordinates; a null rectangle when not shown.
    QRectF image;
    QRectF title;

    /// imageSize or titleSize empty means there is no image or no title.
    static FlatButtonLayout place(const QSizeF& bounds, const QSizeF& imageSize,
        const QSizeF& titleSize, double spacing, int position, bool hugsTitle,
        Qt::LayoutDirection direction);

    /// Content plus room for the edges, the border and the rounded corners. The sizes are
    /// those shown (empty when the position hides the part).
    static QSize sizeHint(const QSizeF& image, const QSizeF& title, double spacing, int position,
        double cornerRadius, double borderWidth);
    static QSize minimumSizeHint(const QSizeF& image, const QSizeF& title, double borderWidth);
};
