// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlatButtonPainter.h"

#include "FocusRingStyle.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <cmath>

namespace {

// Device pixels per logical pixel. QWidget::render() into a high-density image redirects the
// painter, so the widget's own ratio is not enough; the device transform carries the scale.
qreal deviceScale(const QPainter& painter)
{
    const qreal transformScale = std::sqrt(std::abs(painter.deviceTransform().determinant()));
    return qMax(painter.device()->devicePixelRatioF(), transformScale);
}

} // namespace

QImage FlatButtonPainter::tintedImage(
    const QAbstractButton& button, QSize logical, const QColor& color, qreal ratio)
{
    const qint64 key = button.icon().cacheKey();
    if (!m_tintCache.isNull() && m_tintIconKey == key && m_tintColor == color.rgba64()
        && m_tintSize == logical && qFuzzyCompare(m_tintRatio, ratio))
        return m_tintCache;

    // Only the image's alpha counts: SourceIn keeps the alpha and replaces every colour.
    const QPixmap pixmap = button.icon().pixmap(logical, ratio);
    QImage tinted = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(tinted.rect(), color);
    }

    m_tintCache = tinted;
    m_tintIconKey = key;
    m_tintColor = color.rgba64();
    m_tintSize = logical;
    m_tintRatio = ratio;
    return m_tintCache;
}

void FlatButtonPainter::paint(QAbstractButton& button, const FlatButtonLayout& parts,
    const Colors& colors, double cornerRadius, double borderWidth, bool focusRing)
{
    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!button.isEnabled())
        painter.setOpacity(0.5);

    const QRectF bounds = QRectF(button.rect());
    QPainterPath shape;
    shape.addRoundedRect(bounds, cornerRadius, cornerRadius);
    painter.fillPath(shape, colors.background);

    // Image and title are clipped to the rounded shape, like everything else on the button.
    painter.save();
    painter.setClipPath(shape);
    if (!parts.image.isNull() && colors.image.alpha() > 0) {
        painter.drawImage(parts.image,
            tintedImage(button, parts.image.size().toSize(), colors.image, deviceScale(painter)));
    }
    if (!parts.title.isNull()) {
        int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignCenter;
        if (!button.style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, &button))
            flags |= Qt::TextHideMnemonic;
        painter.setFont(button.font());
        painter.setPen(colors.title);
        painter.drawText(parts.title, flags, button.text());
    }
    painter.restore();

    // The border lies inside the bounds and over the content.
    if (borderWidth > 0 && colors.border.alpha() > 0) {
        const double half = borderWidth / 2;
        const double radius = qMax(0.0, cornerRadius - half);
        painter.setPen(QPen(colors.border, borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), radius, radius);
    }

    if (focusRing) {
        constexpr double ringWidth = 2.0;
        // The highlight ring vanishes on a fill of a like colour (a violet button under a blue
        // highlight); there an inner ring in the title's colour, which reads on the fill, is used.
        const QColor highlight = button.palette().color(QPalette::Highlight);
        const bool onFill = colors.background.alpha() > 0
            && FocusRingStyle::contrast(highlight, colors.background) < 3.0;
        const double inset = onFill ? 3.0 : 1.0;
        const double radius = qMax(0.0, cornerRadius - inset);
        painter.setOpacity(1.0);
        painter.setPen(QPen(onFill ? colors.title : highlight, ringWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius, radius);
    }
}
