// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenStyle.h"

#include "SYFlatButton.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>

namespace {

void scaleFont(QWidget* widget, double factor, QFont::Weight weight)
{
    QFont font = widget->font();
    font.setPointSizeF(QApplication::font().pointSizeF() * factor);
    font.setWeight(weight);
    widget->setFont(font);
}

} // namespace

QColor ScreenStyle::accentColor()
{
    return QColor(0x4b, 0x3f, 0x9e);
}

QColor ScreenStyle::accentPressedColor()
{
    return QColor(0x36, 0x2c, 0x7a);
}

QColor ScreenStyle::accentTextColor(const QPalette& palette)
{
    // The accent is a dark violet: on a dark window it is lightened so text in it stays legible.
    return palette.color(QPalette::Window).lightness() < 128 ? accentColor().lighter(200)
                                                            : accentColor();
}

QPalette ScreenStyle::checkBoxPalette(const QPalette& palette)
{
    // Fusion outlines a check box in a shade of the window colour, which in a dark palette is
    // no lighter than the base the box is filled with: an unchecked box vanished. There the
    // outline is taken from between text and base instead, which shows whatever the theme.
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    if (base.lightness() >= text.lightness())
        return palette;
    const auto mix = [](int a, int b) { return (a * 3 + b * 2) / 5; };
    QPalette adjusted(palette);
    adjusted.setColor(QPalette::Window,
        QColor(mix(text.red(), base.red()), mix(text.green(), base.green()),
            mix(text.blue(), base.blue())));
    return adjusted;
}

void ScreenStyle::styleAppName(QLabel* label)
{
    scaleFont(label, 1.0, QFont::DemiBold);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, accentTextColor(palette));
    label->setPalette(palette);
}

void ScreenStyle::styleTitle(QLabel* label)
{
    scaleFont(label, 1.6, QFont::DemiBold);
}

void ScreenStyle::styleCaption(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
}

void ScreenStyle::styleProgressBar(QProgressBar* bar)
{
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, accentColor());
    bar->setPalette(palette);
}

void ScreenStyle::styleFigure(QLabel* label)
{
    scaleFont(label, 2.2, QFont::Bold);
}

void ScreenStyle::stylePrimaryButton(SYFlatButton* button)
{
    button->setMomentary(true);
    button->setCornerRadius(6);
    button->setBorderWidth(0);
    button->setBackgroundNormalColor(accentColor());
    button->setBackgroundHighlightColor(accentPressedColor());
    button->setBorderNormalColor(accentColor());
    button->setBorderHighlightColor(accentPressedColor());
    button->setTitleNormalColor(Qt::white);
    button->setTitleHighlightColor(Qt::white);
    button->setImageNormalColor(Qt::white);
    button->setImageHighlightColor(Qt::white);
    QFont font = button->font();
    font.setWeight(QFont::DemiBold);
    button->setFont(font);
    // Set after the colours, so the first colours show at once instead of fading in.
    button->setOnAnimateDuration(0.08);
    button->setOffAnimateDuration(0.15);
}

void ScreenStyle::styleSecondaryButton(SYFlatButton* button)
{
    const QPalette palette = button->palette();
    button->setMomentary(true);
    button->setCornerRadius(6);
    button->setBorderWidth(1);
    button->setBackgroundNormalColor(palette.color(QPalette::Button));
    button->setBackgroundHighlightColor(palette.color(QPalette::Midlight));
    button->setBorderNormalColor(palette.color(QPalette::Mid));
    button->setBorderHighlightColor(accentColor());
    button->setTitleNormalColor(palette.color(QPalette::ButtonText));
    button->setTitleHighlightColor(accentColor());
    button->setImageNormalColor(palette.color(QPalette::ButtonText));
    button->setImageHighlightColor(accentColor());
    // Set after the colours, so the first colours show at once instead of fading in.
    button->setOnAnimateDuration(0.08);
    button->setOffAnimateDuration(0.15);
}
