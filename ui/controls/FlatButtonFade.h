// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>
#include <array>

class QVariantAnimation;
class QWidget;

/// The four colours a flat button paints, each fading from what is on screen towards a target.
/// The animations are children of the button, which is repainted on every step.
class FlatButtonFade
{
public:
    enum Role
    {
        Border,
        Background,
        Image,
        Title,
        RoleCount
    };

    explicit FlatButtonFade(QWidget* button);

    /// Fades `role` to `color` over `seconds` (0 or less: at once), starting from `current`,
    /// what the button paints now. A fade already heading for `color` carries on.
    void animate(Role role, const QColor& color, double seconds, const QColor& current);
    /// What is painted now for `role`. Without a colour of its own a bare button still shows
    /// its title and image in the palette's button text colour, and nothing else.
    QColor shown(Role role, const QPalette& palette) const;
    /// True while any colour is still fading towards its target.
    bool isAnimating() const;

private:
    struct Channel
    {
        QColor shown;
        QColor from;
        QColor target;
        QVariantAnimation* animation = nullptr;
    };

    QWidget* m_button;
    std::array<Channel, RoleCount> m_channels;
};
