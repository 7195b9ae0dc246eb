// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FlatButtonLayout.h"

#include <QColor>
#include <QImage>

class QAbstractButton;

/// Paints a flat button: the rounded fill, the tinted image, the title, the border and the
/// keyboard focus ring. Keeps the tinted image between paints.
class FlatButtonPainter
{
public:
    struct Colors
    {
        QColor border;
        QColor background;
        QColor image;
        QColor title;
    };

    void paint(QAbstractButton& button, const FlatButtonLayout& parts, const Colors& colors,
        double cornerRadius, double borderWidth, bool focusRing);

private:
    QImage tintedImage(
        const QAbstractButton& button, QSize logical, const QColor& color, qreal ratio);

    // Rebuilt only when one of these changes; during a fade that is once per frame, otherwise
    // never.
    QImage m_tintCache;
    qint64 m_tintIconKey = 0;
    QRgba64 m_tintColor {};
    QSize m_tintSize;
    qreal m_tintRatio = 0.0;
};
