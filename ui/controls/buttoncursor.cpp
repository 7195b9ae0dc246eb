// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttoncursor.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

buttoncursor::buttoncursor(QWidget* parent)
    : buttoncursor(QString(), parent)
{ }

buttoncursor::buttoncursor(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    // The widget's own cursor is set on enter and restored on leave by Qt itself.
    setCursor(Qt::PointingHandCursor);
}

void buttoncursor::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    // A flat button draws no bevel, and with it the stock styles drop the focus frame.
    if (isFlat() && hasFocus()) {
        QPainter painter(this);
        QStyleOptionFocusRect ring;
        ring.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &ring, &painter, this);
    }
}
