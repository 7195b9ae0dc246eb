// SPDX-License-Identifier: GPL-3.0-or-later
#include "SYFlatButton.h"

#include "FocusRingStyle.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVariantAnimation>
#include <cmath>

namespace {

bool sameColor(const QColor& a, const QColor& b)
{
    // QColor::operator== also compares the colour model (RGB, HSL, ...); only what is painted
    // matters here.
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a.rgba64() == b.rgba64();
}

QColor blend(QColor from, QColor to, double t)
{
    // A fade from or to nothing keeps the visible colour's hue instead of passing through
    // black.
    if (from.alpha() == 0) {
        from = to;
        from.setAlpha(0);
    }
    if (to.alpha() == 0) {
        to = from;
        to.setAlpha(0);
    }
    const auto mix = [t](float a, float b) { return a + (b - a) * float(t); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
        mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
}

int flipped(int state)
{
    return state == 1 ? 0 : 1;
}

// Device pixels per logical pixel. QWidget::render() into a high-density image redirects the
// painter, so the widget's own ratio is not enough; the device transform carries the scale.
qreal deviceScale(const QPainter& painter)
{
    const qreal transformScale = std::sqrt(std::abs(painter.deviceTransform().determinant()));
    return qMax(painter.device()->devicePixelRatioF(), transformScale);
}

constexpr int textFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;

} // namespace

SYFlatButton::Layout SYFlatButton::layout(const QSizeF& bounds, const QSizeF& imageSize,
    const QSizeF& titleSize, double spacing, ImagePosition position, bool hugsTitle,
    Qt::LayoutDirection direction)
{
    const bool hasImage = position != NoImage && !imageSize.isEmpty();
    const bool hasTitle = position != ImageOnly && !titleSize.isEmpty();
    const double W = bounds.width();
    const double H = bounds.height();
    const double iw = hasImage ? imageSize.width() : 0.0;
    const double ih = hasImage ? imageSize.height() : 0.0;
    const double tw = hasTitle ? titleSize.width() : 0.0;
    const double th = hasTitle ? titleSize.height() : 0.0;
    const double s = spacing;
    const bool rtl = direction == Qt::RightToLeft;

    int pos = position;
    if (pos == ImageLeading)
        pos = rtl ? ImageRight : ImageLeft;
    else if (pos == ImageTrailing)
        pos = rtl ? ImageLeft : ImageRight;

    // Positions are in Qt's top-down coordinates, so "above" has the smaller y.
    Layout result;
    if (hasImage) {
        double x = 0.0;
        double y = 0.0;
        switch (pos) {
        case ImageOnly:
        case ImageOverlaps:
            x = (W - iw) / 2;
            y = (H - ih) / 2;
            break;
        case ImageLeft:
            x = hugsTitle ? (W - iw - tw) / 2 - s : s;
            y = (H - ih) / 2;
            break;
        case ImageRight:
            x = hugsTitle ? (W - iw + tw) / 2 + s : W - iw - s;
            y = (H - ih) / 2;
            break;
        case ImageBelow:
            x = (W - iw) / 2;
            y = hugsTitle ? (H - ih + th) / 2 + s : H - ih - s;
            break;
        case ImageAbove:
            x = (W - iw) / 2;
            y = hugsTitle ? (H - ih - th) / 2 - s : s;
            break;
        default:
            break;
        }
        result.image = QRectF(std::round(x), std::round(y), iw, ih);
    }
    if (hasTitle) {
        double x = 0.0;
        double y = 0.0;
        switch (pos) {
        case NoImage:
        case ImageOverlaps:
            x = (W - tw) / 2;
            y = (H - th) / 2;
            break;
        case ImageLeft:
            x = hugsTitle ? (W + iw - tw) / 2 + s : W - tw - s;
            y = (H - th) / 2;
            break;
        case ImageRight:
            x = hugsTitle ? (W - iw - tw) / 2 - s : s;
            y = (H - th) / 2;
            break;
        case ImageBelow:
            x = (W - tw) / 2;
            y = hugsTitle ? (H - ih - th) / 2 - s : s;
            break;
        case ImageAbove:
            x = (W - tw) / 2;
            y = hugsTitle ? (H + ih - th) / 2 + s : H - th - s;
            break;
        default:
            break;
        }
        result.title = QRectF(std::round(x), std::round(y), std::ceil(tw), std::ceil(th));
    }
    return result;
}

SYFlatButton::SYFlatButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(!m_momentary);
    setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());

    for (ColorChannel& channel : m_channels) {
        channel.animation = new QVariantAnimation(this);
        channel.animation->setStartValue(0.0);
        channel.animation->setEndValue(1.0);
        ColorChannel* c = &channel;
        connect(channel.animation, &QVariantAnimation::valueChanged, this,
            [this, c](const QVariant& value) {
                c->shown = blend(c->from, c->target, value.toDouble());
                update();
            });
        connect(channel.animation, &QVariantAnimation::finished, this, [this, c] {
            c->shown = c->target;
            update();
        });
    }

    // The checked flag of a toggle button mirrors the state, so setChecked() and click()
    // from code behave like the mouse.
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked != (m_state == 1))
            setState(checked ? 1 : 0);
    });
}

SYFlatButton::SYFlatButton(const QString& title, QWidget* parent)
    : SYFlatButton(parent)
{
    setText(title);
}

SYFlatButton::~SYFlatButton() = default;

void SYFlatButton::setMomentary(bool momentary)
{
    m_momentary = momentary;
    setCheckable(!momentary);
    if (!momentary)
        setChecked(m_state == 1);
    animateColorWithState(m_state);
}

void SYFlatButton::setOnAnimateDuration(double seconds)
{
    m_onAnimateDuration = seconds;
}

void SYFlatButton::setOffAnimateDuration(double seconds)
{
    m_offAnimateDuration = seconds;
}

void SYFlatButton::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

void SYFlatButton::setBorderWidth(double width)
{
    m_borderWidth = width;
    update();
}

void SYFlatButton::setSpacing(double spacing)
{
    m_spacing = spacing;
    updateGeometry();
    update();
}

void SYFlatButton::setColor(QColor& member, const QColor& color)
{
    member = color;
    animateColorWithState(m_state);
}

void SYFlatButton::setBorderNormalColor(const QColor& color)
{
    setColor(m_borderNormalColor, color);
}

void SYFlatButton::setBorderHighlightColor(const QColor& color)
{
    setColor(m_borderHighlightColor, color);
}

void SYFlatButton::setBackgroundNormalColor(const QColor& color)
{
    setColor(m_backgroundNormalColor, color);
}

void SYFlatButton::setBackgroundHighlightColor(const QColor& color)
{
    setColor(m_backgroundHighlightColor, color);
}

void SYFlatButton::setImageNormalColor(const QColor& color)
{
    setColor(m_imageNormalColor, color);
}

void SYFlatButton::setImageHighlightColor(const QColor& color)
{
    setColor(m_imageHighlightColor, color);
}

void SYFlatButton::setTitleNormalColor(const QColor& color)
{
    setColor(m_titleNormalColor, color);
}

void SYFlatButton::setTitleHighlightColor(const QColor& color)
{
    setColor(m_titleHighlightColor, color);
}

void SYFlatButton::setImagePosition(ImagePosition position)
{
    m_imagePosition = position;
    updateGeometry();
    update();
}

void SYFlatButton::setImageHugsTitle(bool hugs)
{
    m_imageHugsTitle = hugs;
    update();
}

void SYFlatButton::setState(int state)
{
    const bool changed = state != m_state;
    m_state = state;
    if (isCheckable() && isChecked() != (state == 1))
        setChecked(state == 1);
    animateColorWithState(state);
    if (changed)
        emit stateChanged(state);
}

bool SYFlatButton::isAnimating() const
{
    for (const ColorChannel& channel : m_channels) {
        if (channel.animation->state() == QAbstractAnimation::Running)
            return true;
    }
    return false;
}

void SYFlatButton::animateColorWithState(int state)
{
    const bool on = state == 1;
    const double seconds = on ? m_onAnimateDuration : m_offAnimateDuration;
    animateColor(Border, on ? m_borderHighlightColor : m_borderNormalColor, seconds);
    animateColor(Background, on ? m_backgroundHighlightColor : m_backgroundNormalColor, seconds);
    animateColor(Image, on ? m_imageHighlightColor : m_imageNormalColor, seconds);
    animateColor(Title, on ? m_titleHighlightColor : m_titleNormalColor, seconds);
}

void SYFlatButton::animateColor(ColorRole role, const QColor& color, double seconds)
{
    ColorChannel& channel = m_channels[role];
    // A fade already heading for this colour carries on; an idle one stays idle.
    if (sameColor(channel.target, color))
        return;

    channel.animation->stop();
    // Starting from what is on screen, not from the old target, avoids a jump when the state
    // flips back before a fade has finished.
    channel.from = shownColor(role);
    channel.target = color;
    const int ms = int(std::lround(seconds * 1000.0));
    if (ms <= 0) {
        channel.shown = color;
        update();
        return;
    }
    channel.animation->setDuration(ms);
    channel.animation->start();
}

QColor SYFlatButton::effectiveColor(ColorRole role, const QColor& color) const
{
    if (color.isValid())
        return color;
    // Without colours a bare button still shows its title and image in the theme's colour.
    if (role == Image || role == Title)
        return palette().color(QPalette::ButtonText);
    return QColor(Qt::transparent);
}

QColor SYFlatButton::shownColor(ColorRole role) const
{
    return effectiveColor(role, m_channels[role].shown);
}

QSizeF SYFlatButton::imageSize() const
{
    if (icon().isNull())
        return {};
    return QSizeF(icon().actualSize(iconSize()));
}

QSizeF SYFlatButton::titleSize() const
{
    if (text().isEmpty())
        return {};
    return QFontMetricsF(font()).size(textFlags, text());
}

SYFlatButton::Layout SYFlatButton::currentLayout() const
{
    return layout(QSizeF(size()), imageSize(), titleSize(), m_spacing, m_imagePosition,
        m_imageHugsTitle, layoutDirection());
}

QRectF SYFlatButton::imageRect() const
{
    return currentLayout().image;
}

QRectF SYFlatButton::titleRect() const
{
    return currentLayout().title;
}

QSizeF SYFlatButton::visibleImageSize() const
{
    return m_imagePosition == NoImage ? QSizeF(0, 0) : imageSize().expandedTo({0, 0});
}

QSizeF SYFlatButton::visibleTitleSize() const
{
    return m_imagePosition == ImageOnly ? QSizeF(0, 0) : titleSize().expandedTo({0, 0});
}

QSize SYFlatButton::sizeHint() const
{
    const QSizeF image = visibleImageSize();
    const QSizeF title = visibleTitleSize();
    const double gap = image.isEmpty() || title.isEmpty() ? 0.0 : 2 * m_spacing;
    QSizeF content;
    switch (m_imagePosition) {
    case ImageLeft:
    case ImageRight:
    case ImageLeading:
    case ImageTrailing:
        content = QSizeF(image.width() + gap + title.width(), qMax(image.height(), title.height()));
        break;
    case ImageBelow:
    case ImageAbove:
        content = QSizeF(qMax(image.width(), title.width()), image.height() + gap + title.height());
        break;
    default:
        content = image.expandedTo(title);
        break;
    }
    // Room for the edges: the spacing (where the layout puts unhugged content), the border,
    // and enough for the rounded corners not to cut into the content.
    const double edge = m_spacing + m_borderWidth;
    const double padX = qMax(edge, qMax(12.0, m_cornerRadius / 2));
    const double padY = qMax(edge, qMax(6.0, m_cornerRadius / 4));
    return QSize(
        int(std::ceil(content.width() + 2 * padX)), int(std::ceil(content.height() + 2 * padY)));
}

QSize SYFlatButton::minimumSizeHint() const
{
    const QSizeF content = visibleImageSize().expandedTo(visibleTitleSize());
    const double edge = 2 * (m_borderWidth + 1);
    return QSize(int(std::ceil(content.width() + edge)), int(std::ceil(content.height() + edge)));
}

QImage SYFlatButton::tintedImage(const QColor& color, qreal devicePixelRatio) const
{
    const QSize logical = imageSize().toSize();
    const qint64 key = icon().cacheKey();
    if (!m_tintCache.isNull() && m_tintIconKey == key && m_tintColor == color.rgba64()
        && m_tintSize == logical && qFuzzyCompare(m_tintRatio, devicePixelRatio))
        return m_tintCache;

    // Only the image's alpha counts: SourceIn keeps the alpha and replaces every colour.
    const QPixmap pixmap = icon().pixmap(logical, devicePixelRatio);
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
    m_tintRatio = devicePixelRatio;
    return m_tintCache;
}

void SYFlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled())
        painter.setOpacity(0.5);

    const QRectF bounds = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
    painter.fillPath(shape, shownColor(Background));

    // Image and title are clipped to the rounded shape, like everything else on the button.
    painter.save();
    painter.setClipPath(shape);
    const Layout parts = currentLayout();
    if (!parts.image.isNull()) {
        const QColor color = shownColor(Image);
        if (color.alpha() > 0)
            painter.drawImage(parts.image, tintedImage(color, deviceScale(painter)));
    }
    if (!parts.title.isNull()) {
        int flags = textFlags | Qt::AlignCenter;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
            flags |= Qt::TextHideMnemonic;
        painter.setFont(font());
        painter.setPen(shownColor(Title));
        painter.drawText(parts.title, flags, text());
    }
    painter.restore();

    // The border lies inside the bounds and over the content.
    if (m_borderWidth > 0) {
        const QColor color = shownColor(Border);
        if (color.alpha() > 0) {
            const double half = m_borderWidth / 2;
            const double radius = qMax(0.0, m_cornerRadius - half);
            painter.setPen(QPen(color, m_borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), radius, radius);
        }
    }

    if (hasFocus() && m_keyboardFocus) {
        constexpr double ringWidth = 2.0;
        // The highlight ring vanishes on a fill of a like colour (a violet button under a blue
        // highlight); there an inner ring in the title's colour, which reads on the fill, is used.
        const QColor fill = shownColor(Background);
        const QColor highlight = palette().color(QPalette::Highlight);
        const bool onFill = fill.alpha() > 0 && FocusRingStyle::contrast(highlight, fill) < 3.0;
        const double inset = onFill ? 3.0 : 1.0;
        const double radius = qMax(0.0, m_cornerRadius - inset);
        painter.setOpacity(1.0);
        painter.setPen(QPen(onFill ? shownColor(Title) : highlight, ringWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius, radius);
    }
}

void SYFlatButton::beginPress()
{
    setState(flipped(m_state));
    emit pressed();
}

void SYFlatButton::completePress()
{
    if (m_momentary)
        setState(flipped(m_state));
    emit released();
    emit clicked(m_state == 1);
}

void SYFlatButton::cancelPress()
{
    const bool wasPressed = m_mouseDown || m_pressedKey != 0;
    m_mouseDown = false;
    m_pressedKey = 0;
    setState(0);
    if (wasPressed)
        emit released();
}

void SYFlatButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled() || m_pressedKey != 0
        || !hitButton(event->position().toPoint())) {
        event->ignore();
        return;
    }
    m_mouseDown = true;
    beginPress();
    event->accept();
}

void SYFlatButton::mouseMoveEvent(QMouseEvent* event)
{
    // While a button is held Qt delivers no leave event until the release, so dragging out of
    // the button is seen here.
    if (m_mouseDown && !hitButton(event->position().toPoint())) {
        unsetCursor();
        cancelPress();
    }
    event->accept();
}

void SYFlatButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_mouseDown) {
        event->ignore();
        return;
    }
    event->accept();
    if (!hitButton(event->position().toPoint())) {
        cancelPress();
        return;
    }
    m_mouseDown = false;
    completePress();
}

void SYFlatButton::enterEvent(QEnterEvent* event)
{
    // Hovering only changes the pointer, never the colours.
    if (isEnabled())
        setCursor(Qt::PointingHandCursor);
    QAbstractButton::enterEvent(event);
}

void SYFlatButton::leaveEvent(QEvent* event)
{
    unsetCursor();
    cancelPress();
    QAbstractButton::leaveEvent(event);
}

void SYFlatButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key != Qt::Key_Space && key != Qt::Key_Enter && key != Qt::Key_Return) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || m_pressedKey != 0 || m_mouseDown)
        return;
    m_pressedKey = key;
    beginPress();
}

void SYFlatButton::keyReleaseEvent(QKeyEvent* event)
{
    if (m_pressedKey == 0 || event->key() != m_pressedKey) {
        QAbstractButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat())
        return;
    m_pressedKey = 0;
    completePress();
}

void SYFlatButton::focusInEvent(QFocusEvent* event)
{
    // A ring after every mouse click would be noise; it is for keyboard users. Focus coming
    // back with the window keeps whatever the last real focus change decided.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_keyboardFocus = event->reason() != Qt::MouseFocusReason;
    QAbstractButton::focusInEvent(event);
    update();
}

void SYFlatButton::focusOutEvent(QFocusEvent* event)
{
    if (m_pressedKey != 0 && event->reason() != Qt::PopupFocusReason)
        cancelPress();
    QAbstractButton::focusOutEvent(event);
    update();
}

void SYFlatButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        // Disabled, the button lets clicks through to what lies below it.
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
        if (!isEnabled()) {
            unsetCursor();
            if (m_mouseDown || m_pressedKey != 0)
                cancelPress();
        }
        update();
    }
    QAbstractButton::changeEvent(event);
}
