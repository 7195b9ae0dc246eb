// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPalette>

class QLabel;
class QProgressBar;
class SYFlatButton;

/// The look the main window's screens share: the brand line, titles, captions and the flat
/// buttons' colours. One place, so the screens stay consistent.
class ScreenStyle
{
public:
    static QColor accentColor();
    static QColor accentPressedColor();
    /// The accent for text on `palette`'s window.
    static QColor accentTextColor(const QPalette& palette);

    /// Text of reduced emphasis: the `text` role blended toward the `background` role, never so
    /// far that it falls below kMinimumContrast against that background.
    static QColor secondaryTextColor(const QPalette& palette,
        QPalette::ColorRole text = QPalette::WindowText,
        QPalette::ColorRole background = QPalette::Window);
    /// The WCAG contrast ratio of two colours, from 1 (same) to 21 (black on white).
    static double contrastRatio(const QColor& a, const QColor& b);
    /// What every text keeps against its background; a little above WCAG's 4.5:1, so that
    /// anti-aliased strokes still reach it.
    static constexpr double kMinimumContrast = 5.5;

    /// `palette` for drawing a check box, with an outline that shows in dark palettes too.
    static QPalette checkBoxPalette(const QPalette& palette);

    static void styleAppName(QLabel* label);
    static void styleTitle(QLabel* label);
    /// A secondary line in WindowText of reduced emphasis.
    static void styleCaption(QLabel* label);
    static void styleFigure(QLabel* label);
    /// Links in `label` in the palette's Link colour, or nearer WindowText where the Link
    /// colour does not read on the window (Breeze Dark's blue does not).
    static void styleLinks(QLabel* label);
    static void styleProgressBar(QProgressBar* bar);
    /// Filled accent button for a screen's main action.
    static void stylePrimaryButton(SYFlatButton* button);
    /// Outlined button for secondary actions.
    static void styleSecondaryButton(SYFlatButton* button);
};
