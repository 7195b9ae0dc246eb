// SPDX-License-Identifier: GPL-3.0-or-later
#include "CustomTextFieldCell.h"

#include <QPainter>
#include <QStyle>

CustomTextFieldCell::CustomTextFieldCell(QWidget* parent)
    : QLabel(parent)
{ }

CustomTextFieldCell::CustomTextFieldCell(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{ }

QRect CustomTextFieldCell::centredFrame(const QRect& frame, const QRect& titleRect, int textHeight)
{
    return QRect(titleRect.x(), titleRect.y() + (frame.height() - textHeight) / 2,
        titleRect.width(), textHeight);
}

int CustomTextFieldCell::textHeight(int width) const
{
    const int flags = wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine;
    return fontMetrics().boundingRect(QRect(0, 0, width, 100000), flags, text()).height();
}

QRect CustomTextFieldCell::textFrame() const
{
    const QRect title
        = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    return centredFrame(rect(), title, textHeight(title.width()));
}

void CustomTextFieldCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    const int flags
        = int(horizontal) | Qt::AlignTop | (wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine);
    style()->drawItemText(
        &painter, textFrame(), flags, palette(), isEnabled(), text(), foregroundRole());
}
