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

    /// `palette` for drawing a check box, with an outline that shows in dark palettes too.
    static QPalette checkBoxPalette(const QPalette& palette);

    static void styleAppName(QLabel* label);
    static void styleTitle(QLabel* label);
    static void styleCaption(QLabel* label);
    static void styleFigure(QLabel* label);
    static void styleProgressBar(QProgressBar* bar);
    /// Filled accent button for a screen's main action.
    static void stylePrimaryButton(SYFlatButton* button);
    /// Outlined button for secondary actions.
    static void styleSecondaryButton(SYFlatButton* button);
};
