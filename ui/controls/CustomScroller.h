// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QScrollBar>

/// Scroll bar with a dark track and a thin rounded knob in a fixed dark colour.
class CustomScroller : public QScrollBar
{
    Q_OBJECT

public:
    explicit CustomScroller(Qt::Orientation orientation, QWidget* parent = nullptr);
    explicit CustomScroller(QWidget* parent = nullptr);

    static QColor knobColor();
    static QColor trackColor();

    /// Where the knob is drawn, in widget coordinates: 9 wide, 3 from the left edge of a
    /// vertical bar; 4 from the top and 20 high in a horizontal one.
    QRectF knobRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawKnob(QPainter& painter) const;
};
