// SPDX-License-Identifier: GPL-3.0-or-later
#include "FocusRingStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <cmath>

namespace {

void drawRing(QPainter* painter, const QRectF& rect, const QColor& color)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(color, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(rect.adjusted(1, 1, -1, -1), 3, 3);
    painter->restore();
}

bool keyboardFocus(const QStyleOption* option)
{
    return (option->state & QStyle::State_HasFocus)
        && (option->state & QStyle::State_KeyboardFocusChange);
}

} // namespace

void FocusRingStyle::install()
{
    if (!qobject_cast<FocusRingStyle*>(QApplication::style()))
        QApplication::setStyle(new FocusRingStyle);
}

double FocusRingStyle::contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& colour) {
        const auto channel = [](double c) {
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        const QColor rgb = colour.toRgb();
        return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
            + 0.0722 * channel(rgb.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor FocusRingStyle::ringColor(const QPalette& palette, const QColor& behind)
{
    const QColor highlight = palette.color(QPalette::Highlight);
    return contrast(highlight, behind) >= 3.0 ? highlight : palette.color(QPalette::WindowText);
}

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
    QPainter* painter, const QWidget* widget) const
{
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // As the stock frame: for keyboard users only, a mouse click needs no ring.
    if (option->state & State_KeyboardFocusChange)
        drawRing(painter, option->rect,
            ringColor(option->palette, option->palette.color(QPalette::Window)));
}

void FocusRingStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
    QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    // A combo box shows focus only by a tint of its frame: ring the whole box.
    if (control == CC_ComboBox && keyboardFocus(option))
        drawRing(painter, option->rect,
            ringColor(option->palette, option->palette.color(QPalette::Window)));
}
