// SPDX-License-Identifier: GPL-3.0-or-later
#include "buttoncursor.h"

buttoncursor::buttoncursor(QWidget* parent)
    : buttoncursor(QString(), parent)
{ }

buttoncursor::buttoncursor(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    // The widget's own cursor is set on enter and restored on leave by Qt itself.
    setCursor(Qt::PointingHandCursor);
}
