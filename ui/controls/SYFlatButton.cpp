// SPDX-License-Identifier: GPL-3.0-or-later
#include "SYFlatButton.h"

#include "FlatButtonFade.h"
#include "FlatButtonPainter.h"
#include "FlatButtonPress.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

constexpr int textFlags = Qt::TextSingleLine | Qt::TextShowMnemonic;

} // namespace

SYFlatButton::Layout SYFlatButton::layout(const QSizeF& bounds, const QSizeF& imageSize,
    const QSizeF& titleSize, double spacing, ImagePosition position, bool hugsTitle,
    Qt::LayoutDirection direction)
{
    return FlatButtonLayout::place(
        bounds, imageSize, titleSize, spacing, position, hugsTitle, direction);
}

SYFlatButton::SYFlatButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_fade(std::make_unique<FlatButtonFade>(this))
    , m_painter(std::make_unique<FlatButtonPainter>())
    , m_press(std::make_unique<FlatButtonPress>(*this))
{
    setCheckable(!m_momentary);
    setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());

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

void SYFlatButton::animateColorWithState(int state)
{
    const bool on = state == 1;
    const double seconds = on ? m_onAnimateDuration : m_offAnimateDuration;
    for (int role = 0; role < FlatButtonFade::RoleCount; ++role)
        animateColor(Role(role), on ? m_highlight[role] : m_normal[role], seconds);
}

void SYFlatButton::animateColor(Role role, const QColor& color, double seconds)
{
    m_fade->animate(role, color, seconds, m_fade->shown(role, palette()));
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
    return FlatButtonLayout::sizeHint(visibleImageSize(), visibleTitleSize(), m_spacing,
        m_imagePosition, m_cornerRadius, m_borderWidth);
}

QSize SYFlatButton::minimumSizeHint() const
{
    return FlatButtonLayout::minimumSizeHint(visibleImageSize(), visibleTitleSize(), m_borderWidth);
}

void SYFlatButton::paintEvent(QPaintEvent*)
{
    const QPalette& p = palette();
    const FlatButtonPainter::Colors shown {m_fade->shown(FlatButtonFade::Border, p),
        m_fade->shown(FlatButtonFade::Background, p), m_fade->shown(FlatButtonFade::Image, p),
        m_fade->shown(FlatButtonFade::Title, p)};
    m_painter->paint(*this, currentLayout(), shown, m_cornerRadius, m_borderWidth,
        hasFocus() && m_keyboardFocus);
}

void SYFlatButton::mousePressEvent(QMouseEvent* event)
{
    const bool inside = hitButton(event->position().toPoint());
    event->setAccepted(m_press->mousePress(event->button() == Qt::LeftButton, inside));
}

void SYFlatButton::mouseMoveEvent(QMouseEvent* event)
{
    m_press->mouseMove(hitButton(event->position().toPoint()));
    event->accept();
}

void SYFlatButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool inside = hitButton(event->position().toPoint());
    event->setAccepted(m_press->mouseRelease(event->button() == Qt::LeftButton, inside));
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
    m_press->cancel();
    QAbstractButton::leaveEvent(event);
}

void SYFlatButton::keyPressEvent(QKeyEvent* event)
{
    if (m_press->keyPress(*event))
        event->accept();
    else
        QAbstractButton::keyPressEvent(event);
}

void SYFlatButton::keyReleaseEvent(QKeyEvent* event)
{
    if (m_press->keyRelease(*event))
        event->accept();
    else
        QAbstractButton::keyReleaseEvent(event);
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
    if (m_press->keyDown() && event->reason() != Qt::PopupFocusReason)
        m_press->cancel();
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
            if (m_press->isPressed())
                m_press->cancel();
        }
        update();
    }
    QAbstractButton::changeEvent(event);
}
