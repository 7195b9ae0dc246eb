// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashedView.h"

#include "ScreenStyle.h"

#include <QLineF>
#include <QPainter>
#include <QPen>

QColor DashedView::strokeColor()
{
    return QColor(130, 130, 130);
}

DashedView::DashedView(QWidget* parent)
    : QWidget(parent)
{ }

void DashedView::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

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

    QColor stroke = strokeColor();
    if (m_highlighted) {
        stroke = ScreenStyle::accentColor();
        QColor tint = stroke;
        tint.setAlphaF(0.08f);
        painter.fillRect(border, tint);
    }

    QPen pen(stroke, lineWidth, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
    // Qt measures dash patterns in line widths.
    pen.setDashPattern({dashLength / lineWidth, gapLength / lineWidth});
    painter.setPen(pen);

    // Each side is its own stroke that starts with a dash at its corner, so every corner is
    // drawn square whatever the size; one stroke round the rectangle leaves some corners open.
    // Starting at whole pixels keeps the dash ends crisp.
    const QRectF outer = rect();
    const qreal half = lineWidth / 2;
    painter.drawLine(QLineF(outer.left(), outer.top() + half, outer.right(), outer.top() + half));
    painter.drawLine(
        QLineF(outer.right() - half, outer.top(), outer.right() - half, outer.bottom()));
    painter.drawLine(
        QLineF(outer.right(), outer.bottom() - half, outer.left(), outer.bottom() - half));
    painter.drawLine(QLineF(outer.left() + half, outer.bottom(), outer.left() + half, outer.top()));
}
