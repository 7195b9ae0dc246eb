// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FlatButtonFade.h"
#include "FlatButtonLayout.h"
#include "FlatButtonPress.h"

#include <QAbstractButton>
#include <QColor>
#include <array>
#include <memory>

class FlatButtonPainter;

/// Flat push button painted entirely by itself: a rounded background with a border, an image
/// tinted with a colour, and the title. Each colour has a normal (state 0) and a highlight
/// (state 1) variant, and a change of state fades the colours to those of the new state.
///
/// The title is QAbstractButton::text() and the image is QAbstractButton::icon(), shown at
/// icon().actualSize(iconSize()); only the image's alpha is used, filled with the image colour.
///
/// Mouse: a left press toggles the state, a release inside emits clicked() once (a momentary
/// button first toggles back). Leaving the button, or dragging out of it during a press,
/// cancels the press and sets the state to 0. Space, Enter and Return do the same as a click
/// when the button has focus. While disabled it is drawn at half opacity and is transparent
/// for the mouse, so clicks reach whatever lies below.
///
/// A toggle button (momentary false) is checkable, and QAbstractButton's checked flag follows
/// the state, so click(), setChecked() and accessibility work as for any Qt button.
class SYFlatButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool momentary READ momentary WRITE setMomentary)
    Q_PROPERTY(double onAnimateDuration READ onAnimateDuration WRITE setOnAnimateDuration)
    Q_PROPERTY(double offAnimateDuration READ offAnimateDuration WRITE setOffAnimateDuration)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(double borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(double spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(QColor borderNormalColor READ borderNormalColor WRITE setBorderNormalColor)
    Q_PROPERTY(QColor borderHighlightColor READ borderHighlightColor WRITE setBorderHighlightColor)
    Q_PROPERTY(
        QColor backgroundNormalColor READ backgroundNormalColor WRITE setBackgroundNormalColor)
    Q_PROPERTY(QColor backgroundHighlightColor READ backgroundHighlightColor WRITE
            setBackgroundHighlightColor)
    Q_PROPERTY(QColor imageNormalColor READ imageNormalColor WRITE setImageNormalColor)
    Q_PROPERTY(QColor imageHighlightColor READ imageHighlightColor WRITE setImageHighlightColor)
    Q_PROPERTY(QColor titleNormalColor READ titleNormalColor WRITE setTitleNormalColor)
    Q_PROPERTY(QColor titleHighlightColor READ titleHighlightColor WRITE setTitleHighlightColor)
    Q_PROPERTY(ImagePosition imagePosition READ imagePosition WRITE setImagePosition)
    Q_PROPERTY(bool imageHugsTitle READ imageHugsTitle WRITE setImageHugsTitle)
    Q_PROPERTY(int state READ state WRITE setState NOTIFY stateChanged)
    Q_PROPERTY(bool mouseDown READ mouseDown)

public:
    /// Where the image sits relative to the title. Values above ImageTrailing place both at
    /// the top-left corner.
    enum ImagePosition
    {
        NoImage = 0,
        ImageOnly = 1,
        ImageLeft = 2,
        ImageRight = 3,
        ImageBelow = 4,
        ImageAbove = 5,
        ImageOverlaps = 6,
        ImageLeading = 7, // left, or right in a right-to-left layout
        ImageTrailing = 8,
    };
    Q_ENUM(ImagePosition)

    /// Image and title rectangles in widget coordinates; a null rectangle when not shown.
    using Layout = FlatButtonLayout;

    /// The placement rule, independent of any widget. imageSize or titleSize empty means
    /// there is no image or no title.
    static Layout layout(const QSizeF& bounds, const QSizeF& imageSize, const QSizeF& titleSize,
        double spacing, ImagePosition position, bool hugsTitle,
        Qt::LayoutDirection direction = Qt::LeftToRight);

    explicit SYFlatButton(QWidget* parent = nullptr);
    explicit SYFlatButton(const QString& title, QWidget* parent = nullptr);
    ~SYFlatButton() override;

    bool momentary() const { return m_momentary; }
    void setMomentary(bool momentary);
    double onAnimateDuration() const { return m_onAnimateDuration; }
    void setOnAnimateDuration(double seconds) { m_onAnimateDuration = seconds; }
    double offAnimateDuration() const { return m_offAnimateDuration; }
    void setOffAnimateDuration(double seconds) { m_offAnimateDuration = seconds; }
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    double spacing() const { return m_spacing; }
    void setSpacing(double spacing);

    QColor borderNormalColor() const { return m_normal[FlatButtonFade::Border]; }
    void setBorderNormalColor(const QColor& c) { setColor(m_normal[FlatButtonFade::Border], c); }
    QColor borderHighlightColor() const { return m_highlight[FlatButtonFade::Border]; }
    void setBorderHighlightColor(const QColor& c)
    {
        setColor(m_highlight[FlatButtonFade::Border], c);
    }
    QColor backgroundNormalColor() const { return m_normal[FlatButtonFade::Background]; }
    void setBackgroundNormalColor(const QColor& c)
    {
        setColor(m_normal[FlatButtonFade::Background], c);
    }
    QColor backgroundHighlightColor() const { return m_highlight[FlatButtonFade::Background]; }
    void setBackgroundHighlightColor(const QColor& c)
    {
        setColor(m_highlight[FlatButtonFade::Background], c);
    }
    QColor imageNormalColor() const { return m_normal[FlatButtonFade::Image]; }
    void setImageNormalColor(const QColor& c) { setColor(m_normal[FlatButtonFade::Image], c); }
    QColor imageHighlightColor() const { return m_highlight[FlatButtonFade::Image]; }
    void setImageHighlightColor(const QColor& c)
    {
        setColor(m_highlight[FlatButtonFade::Image], c);
    }
    QColor titleNormalColor() const { return m_normal[FlatButtonFade::Title]; }
    void setTitleNormalColor(const QColor& c) { setColor(m_normal[FlatButtonFade::Title], c); }
    QColor titleHighlightColor() const { return m_highlight[FlatButtonFade::Title]; }
    void setTitleHighlightColor(const QColor& c)
    {
        setColor(m_highlight[FlatButtonFade::Title], c);
    }

    ImagePosition imagePosition() const { return m_imagePosition; }
    void setImagePosition(ImagePosition position);
    bool imageHugsTitle() const { return m_imageHugsTitle; }
    void setImageHugsTitle(bool hugs);

    /// 1 is on (highlight colours); any other value is off.
    int state() const { return m_state; }
    void setState(int state);
    /// A press began inside the button and has not ended or left it.
    bool mouseDown() const { return m_press->mouseDown(); }

    /// True while any colour is still fading towards its target.
    bool isAnimating() const { return m_fade->isAnimating(); }

    QSizeF imageSize() const;
    QSizeF titleSize() const;
    QRectF imageRect() const { return currentLayout().image; }
    QRectF titleRect() const { return currentLayout().title; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void stateChanged(int state);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    using Role = FlatButtonFade::Role;

    void animateColorWithState(int state);
    void animateColor(Role role, const QColor& color, double seconds);
    void setColor(QColor& member, const QColor& color);
    Layout currentLayout() const;
    QSizeF visibleImageSize() const;
    QSizeF visibleTitleSize() const;

    bool m_momentary = false;
    double m_onAnimateDuration = 0.0;
    double m_offAnimateDuration = 0.0;
    double m_cornerRadius = 0.0;
    double m_borderWidth = 0.0;
    double m_spacing = 0.0;
    ImagePosition m_imagePosition = NoImage;
    bool m_imageHugsTitle = false;
    int m_state = 0;
    // Indexed by FlatButtonFade::Role.
    std::array<QColor, FlatButtonFade::RoleCount> m_normal;
    std::array<QColor, FlatButtonFade::RoleCount> m_highlight;
    bool m_keyboardFocus = false;
    std::unique_ptr<FlatButtonFade> m_fade;
    std::unique_ptr<FlatButtonPainter> m_painter;
    std::unique_ptr<FlatButtonPress> m_press;
};
