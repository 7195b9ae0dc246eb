// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlatButtonLayout.h"

#include "SYFlatButton.h"

#include <cmath>

using enum SYFlatButton::ImagePosition;

FlatButtonLayout FlatButtonLayout::place(const QSizeF& bounds, const QSizeF& imageSize,
    const QSizeF& titleSize, double spacing, int position, bool hugsTitle,
    Qt::LayoutDirection direction)
{
    const bool hasImage = position != NoImage && !imageSize.isEmpty();
    const bool hasTitle = position != ImageOnly && !titleSize.isEmpty();
    const double W = bounds.width();
    const double H = bounds.height();
    const double iw = hasImage ? imageSize.width() : 0.0;
    const double ih = hasImage ? imageSize.height() : 0.0;
    const double tw = hasTitle ? titleSize.width() : 0.0;
    const double th = hasTitle ? titleSize.height() : 0.0;
    const double s = spacing;
    const bool rtl = direction == Qt::RightToLeft;

    int pos = position;
    if (pos == ImageLeading)
        pos = rtl ? ImageRight : ImageLeft;
    else if (pos == ImageTrailing)
        pos = rtl ? ImageLeft : ImageRight;

    // Positions are in Qt's top-down coordinates, so "above" has the smaller y.
    FlatButtonLayout result;
    if (hasImage) {
        double x = 0.0;
        double y = 0.0;
        switch (pos) {
        case ImageOnly:
        case ImageOverlaps:
            x = (W - iw) / 2;
            y = (H - ih) / 2;
            break;
        case ImageLeft:
            x = hugsTitle ? (W - iw - tw) / 2 - s : s;
            y = (H - ih) / 2;
            break;
        case ImageRight:
            x = hugsTitle ? (W - iw + tw) / 2 + s : W - iw - s;
            y = (H - ih) / 2;
            break;
        case ImageBelow:
            x = (W - iw) / 2;
            y = hugsTitle ? (H - ih + th) / 2 + s : H - ih - s;
            break;
        case ImageAbove:
            x = (W - iw) / 2;
            y = hugsTitle ? (H - ih - th) / 2 - s : s;
            break;
        default:
            break;
        }
        result.image = QRectF(std::round(x), std::round(y), iw, ih);
    }
    if (hasTitle) {
        double x = 0.0;
        double y = 0.0;
        switch (pos) {
        case NoImage:
        case ImageOverlaps:
            x = (W - tw) / 2;
            y = (H - th) / 2;
            break;
        case ImageLeft:
            x = hugsTitle ? (W + iw - tw) / 2 + s : W - tw - s;
            y = (H - th) / 2;
            break;
        case ImageRight:
            x = hugsTitle ? (W - iw - tw) / 2 - s : s;
            y = (H - th) / 2;
            break;
        case ImageBelow:
            x = (W - tw) / 2;
            y = hugsTitle ? (H - ih - th) / 2 - s : s;
            break;
        case ImageAbove:
            x = (W - tw) / 2;
            y = hugsTitle ? (H + ih - th) / 2 + s : H - th - s;
            break;
        default:
            break;
        }
        result.title = QRectF(std::round(x), std::round(y), std::ceil(tw), std::ceil(th));
    }
    return result;
}

QSize FlatButtonLayout::sizeHint(const QSizeF& image, const QSizeF& title, double spacing,
    int position, double cornerRadius, double borderWidth)
{
    const double gap = image.isEmpty() || title.isEmpty() ? 0.0 : 2 * spacing;
    QSizeF content;
    switch (position) {
    case ImageLeft:
    case ImageRight:
    case ImageLeading:
    case ImageTrailing:
        content = QSizeF(image.width() + gap + title.width(), qMax(image.height(), title.height()));
        break;
    case ImageBelow:
    case ImageAbove:
        content = QSizeF(qMax(image.width(), title.width()), image.height() + gap + title.height());
        break;
    default:
        content = image.expandedTo(title);
        break;
    }
    // Room for the edges: the spacing (where the layout puts unhugged content), the border,
    // and enough for the rounded corners not to cut into the content.
    const double edge = spacing + borderWidth;
    const double padX = qMax(edge, qMax(12.0, cornerRadius / 2));
    const double padY = qMax(edge, qMax(6.0, cornerRadius / 4));
    return QSize(
        int(std::ceil(content.width() + 2 * padX)), int(std::ceil(content.height() + 2 * padY)));
}

QSize FlatButtonLayout::minimumSizeHint(
    const QSizeF& image, const QSizeF& title, double borderWidth)
{
    const QSizeF content = image.expandedTo(title);
    const double edge = 2 * (borderWidth + 1);
    return QSize(int(std::ceil(content.width() + edge)), int(std::ceil(content.height() + edge)));
}
