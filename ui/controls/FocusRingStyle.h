// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProxyStyle>

/// The application's style with a focus ring that can be seen: the stock frame is a faint
/// tint (well under 3:1 against the window) on check boxes, combo boxes and flat buttons.
/// The ring is two pixels in the highlight colour, or in the text colour where the highlight
/// does not stand out from the background, and is drawn only after keyboard navigation.
class FocusRingStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    /// Makes it the application's style, over whatever style the desktop chose.
    static void install();

    /// A focus ring colour that stands out at least 3:1 from `behind`.
    static QColor ringColor(const QPalette& palette, const QColor& behind);
    /// WCAG's contrast ratio of two colours, from 1 to 21.
    static double contrast(const QColor& a, const QColor& b);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
        QPainter* painter, const QWidget* widget = nullptr) const override;
};
