// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

/// Label that draws its text vertically centred in whatever height it is given, wrapped or on
/// one line, instead of at the top.
class CustomTextFieldCell : public QLabel
{
    Q_OBJECT

public:
    explicit CustomTextFieldCell(QWidget* parent = nullptr);
    explicit CustomTextFieldCell(const QString& text, QWidget* parent = nullptr);

    /// The frame of `textHeight` high text centred in `frame`, inside `titleRect` horizontally.
    static QRect centredFrame(const QRect& frame, const QRect& titleRect, int textHeight);
    /// Where the text is drawn now, in widget coordinates.
    QRect textFrame() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int textHeight(int width) const;
};
