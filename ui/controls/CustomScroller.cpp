// SPDX-License-Identifier: GPL-3.0-or-later
#include "CustomScroller.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionSlider>

CustomScroller::CustomScroller(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
    // Painted over entirely; nothing of the style's own bar shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CustomScroller::CustomScroller(QWidget* parent)
    : CustomScroller(Qt::Vertical, parent)
{ }

QColor CustomScroller::knobColor()
{
    return QColor(44, 43, 51);
}

QColor CustomScroller::trackColor()
{
    return QColor(85, 85, 85);
}

QRectF CustomScroller::knobRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    QRectF knob
        = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    if (orientation() == Qt::Vertical) {
        knob.setX(3.0);
        knob.setWidth(9.0);
    } else {
        knob.setY(4.0);
        knob.setHeight(20.0);
    }
    return knob;
}

QSize CustomScroller::sizeHint() const
{
    // 15 across: the 9-wide knob keeps 3 free on each side.
    const QSize base = QScrollBar::sizeHint();
    return orientation() == Qt::Vertical ? QSize(15, base.height()) : QSize(base.width(), 15);
}

void CustomScroller::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), trackColor());
    drawKnob(painter);
}

void CustomScroller::drawKnob(QPainter& painter) const
{
    // A bar with nothing to scroll has no knob.
    if (maximum() <= minimum())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(knobRect(), 5.0, 5.0);
    painter.fillPath(path, knobColor());
}
