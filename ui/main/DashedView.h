// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

/// Draws a dashed rectangle around its area: the frame of the home screen's drop zone. The
/// dashes keep their length, gap and width whatever the view's size, and run on round the
/// corners of one closed path.
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

    /// The line the stroke is centred on: the view's rectangle inset by half the line width,
    /// so that the whole stroke stays inside the view instead of half of it being cut off.
    QRectF borderRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
