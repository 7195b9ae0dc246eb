// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScreenStyle.h"

#include "FocusRingStyle.h"
#include "SYFlatButton.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <cmath>

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
    // The accent is a dark violet: on a dark window it is mixed with white until text in it
    // reads as well as any other text.
    const QColor window = palette.color(QPalette::Window);
    QColor colour = accentColor();
    for (double white = 0.1; contrastRatio(colour, window) < kMinimumContrast && white <= 1.0;
         white += 0.1) {
        const QColor accent = accentColor();
        colour = QColor::fromRgbF(float(accent.redF() + (1 - accent.redF()) * white),
            float(accent.greenF() + (1 - accent.greenF()) * white),
            float(accent.blueF() + (1 - accent.blueF()) * white));
    }
    return colour;
}

double ScreenStyle::contrastRatio(const QColor& a, const QColor& b)
{
    return FocusRingStyle::contrast(a, b);
}

QColor ScreenStyle::secondaryTextColor(
    const QPalette& palette, QPalette::ColorRole text, QPalette::ColorRole background)
{
    // Blended toward the background rather than taken from a second role: roles such as
    // PlaceholderText are left dark by dark themes, and a blend follows whatever the text is.
    const QColor fore = palette.color(text);
    const QColor back = palette.color(background);
    const auto blend = [&](double weight) {
        return QColor::fromRgbF(float(fore.redF() * weight + back.redF() * (1 - weight)),
            float(fore.greenF() * weight + back.greenF() * (1 - weight)),
            float(fore.blueF() * weight + back.blueF() * (1 - weight)));
    };
    for (double weight = 0.7; weight < 1.0; weight += 0.05) {
        if (contrastRatio(blend(weight), back) >= kMinimumContrast)
            return blend(weight);
    }
    return fore;
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
    palette.setColor(QPalette::WindowText, secondaryTextColor(palette));
    label->setPalette(palette);
}

void ScreenStyle::styleLinks(QLabel* label)
{
    QPalette palette = label->palette();
    const QColor link = palette.color(QPalette::Link);
    const QColor text = palette.color(QPalette::WindowText);
    const QColor window = palette.color(QPalette::Window);
    QColor shown = link;
    for (double toward = 0.1; contrastRatio(shown, window) < kMinimumContrast && toward <= 1.0;
         toward += 0.1) {
        shown = QColor::fromRgbF(float(link.redF() + (text.redF() - link.redF()) * toward),
            float(link.greenF() + (text.greenF() - link.greenF()) * toward),
            float(link.blueF() + (text.blueF() - link.blueF()) * toward));
    }
    palette.setColor(QPalette::Link, shown);
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
