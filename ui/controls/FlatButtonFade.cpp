// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlatButtonFade.h"

#include <QVariantAnimation>
#include <QWidget>
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

} // namespace

FlatButtonFade::FlatButtonFade(QWidget* button)
    : m_button(button)
{
    for (Channel& channel : m_channels) {
        channel.animation = new QVariantAnimation(button);
        channel.animation->setStartValue(0.0);
        channel.animation->setEndValue(1.0);
        Channel* c = &channel;
        QObject::connect(channel.animation, &QVariantAnimation::valueChanged, button,
            [button, c](const QVariant& value) {
                c->shown = blend(c->from, c->target, value.toDouble());
                button->update();
            });
        QObject::connect(channel.animation, &QVariantAnimation::finished, button, [button, c] {
            c->shown = c->target;
            button->update();
        });
    }
}

QColor FlatButtonFade::shown(Role role, const QPalette& palette) const
{
    const QColor& color = m_channels[role].shown;
    if (color.isValid())
        return color;
    if (role == Image || role == Title)
        return palette.color(QPalette::ButtonText);
    return QColor(Qt::transparent);
}

bool FlatButtonFade::isAnimating() const
{
    for (const Channel& channel : m_channels) {
        if (channel.animation->state() == QAbstractAnimation::Running)
            return true;
    }
    return false;
}

void FlatButtonFade::animate(Role role, const QColor& color, double seconds, const QColor& current)
{
    Channel& channel = m_channels[role];
    // A fade already heading for this colour carries on; an idle one stays idle.
    if (sameColor(channel.target, color))
        return;

    channel.animation->stop();
    // Starting from what is on screen, not from the old target, avoids a jump when the state
    // flips back before a fade has finished.
    channel.from = current;
    channel.target = color;
    const int ms = int(std::lround(seconds * 1000.0));
    if (ms <= 0) {
        channel.shown = color;
        m_button->update();
        return;
    }
    channel.animation->setDuration(ms);
    channel.animation->start();
}
