// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPushButton>

/// Push button over which the pointer becomes a pointing hand, as over a link.
class buttoncursor : public QPushButton
{
    Q_OBJECT

public:
    explicit buttoncursor(QWidget* parent = nullptr);
    explicit buttoncursor(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
