// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

/// Draws a dashed rectangle around its area: the frame of the home screen's drop zone. The
/// dashes keep their length, gap and width whatever the view's size. While highlighted (a drag
/// of files hovers) the frame takes the accent colour over a light tint of it.
class DashedView : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal lineWidth = 7.0;
    static constexpr qreal dashLength = 13.0;
    static constexpr qreal gapLength = 13.0;

    /// The frame's grey, rgb(130, 130, 130).
    static QColor strokeColor();

    explicit DashedView(QWidget* parent = nullptr);

    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);

    /// The line the stroke is centred on: the view's rectangle inset by half the line width,
    /// so that the whole stroke stays inside the view instead of half of it being cut off.
    /// The highlight tint fills it.
    QRectF borderRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_highlighted = false;
};
