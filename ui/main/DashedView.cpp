// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashedView.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

QColor DashedView::strokeColor()
{
    return QColor(130, 130, 130);
}

DashedView::DashedView(QWidget* parent)
    : QWidget(parent)
{ }

QRectF DashedView::borderRect() const
{
    const qreal half = lineWidth / 2;
    return QRectF(rect()).adjusted(half, half, -half, -half);
}

void DashedView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF border = borderRect();
    if (border.isEmpty())
        return;

    QPen pen(strokeColor(), lineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt measures dash patterns in line widths.
    pen.setDashPattern({dashLength / lineWidth, gapLength / lineWidth});
    painter.setPen(pen);
    // One closed path: the pattern runs on round each corner, and the corners are joined.
    QPainterPath path;
    path.addRect(border);
    painter.drawPath(path);
}
