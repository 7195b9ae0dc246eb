#include "SYFlatButton.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <functional>

namespace {

const QColor bgNormal(20, 40, 60);
const QColor bgHighlight(200, 30, 60);
const QColor imageNormal(0, 200, 0);
const QColor imageHighlight(0, 90, 0);
const QColor titleNormal(250, 250, 0);
const QColor titleHighlight(0, 250, 250);
const QColor borderNormal(255, 0, 255);
const QColor borderHighlight(120, 0, 120);
const QPoint bgPoint(3, 3); // inside the button, clear of border, image and title

QIcon solidIcon(int size = 16, bool leftHalfOnly = false)
{
    QIcon icon;
    for (const int ratio : {1, 2}) {
        QPixmap pixmap(size * ratio, size * ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.fillRect(0, 0, (leftHalfOnly ? size / 2 : size) * ratio, size * ratio, Qt::black);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void configure(SYFlatButton& button, bool momentary = true)
{
    button.setMomentary(momentary);
    button.setBackgroundNormalColor(bgNormal);
    button.setBackgroundHighlightColor(bgHighlight);
    button.setImageNormalColor(imageNormal);
    button.setImageHighlightColor(imageHighlight);
    button.setTitleNormalColor(titleNormal);
    button.setTitleHighlightColor(titleHighlight);
    button.setBorderNormalColor(borderNormal);
    button.setBorderHighlightColor(borderHighlight);
    button.resize(120, 40);
}

QColor pixelAt(QWidget& widget, QPoint point)
{
    return widget.grab().toImage().pixelColor(point);
}

QRect boundingBox(const QImage& image, const std::function<bool(QColor)>& match)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestFlatButton : public QObject
{
    Q_OBJECT

private slots:
    void layoutRule_data();
    void layoutRule();
    void paintedLayout_data();
    void paintedLayout();
    void sizeHintFitsContent_data();
    void sizeHintFitsContent();
    void imageIsTintedByAlpha_data();
    void imageIsTintedByAlpha();
    void mouseClick_data();
    void mouseClick();
    void cancelledPress_data();
    void cancelledPress();
    void hoverChangesOnlyTheCursor();
    void codeDrivenToggle();
    void disabled_data();
    void disabled();
    void keyboard_data();
    void keyboard();
    void focusRing_data();
    void focusRing();
    void colourFade_data();
    void colourFade();
    void animationStarts_data();
    void animationStarts();
    void reversedFadeDoesNotJump();
};

void TestFlatButton::layoutRule_data()
{
    QTest::addColumn<QSizeF>("bounds");
    QTest::addColumn<QSizeF>("titleSize");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("hugs");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<QRectF>("image");
    QTest::addColumn<QRectF>("title");

    // Image 16 x 16 and spacing 4 throughout.
    const QSizeF b(100, 30);
    const QSizeF t(40, 14);
    const auto ltr = Qt::LeftToRight;
    const auto rtl = Qt::RightToLeft;
    const auto img = [](double x, double y) { return QRectF(x, y, 16, 16); };
    const auto txt = [](double x, double y) { return QRectF(x, y, 40, 14); };

    QTest::newRow("0: title only") << b << t << 0 << false << ltr << QRectF() << txt(30, 8);
    QTest::newRow("1: image only") << b << t << 1 << false << ltr << img(42, 7) << QRectF();
    QTest::newRow("2 hugging: 8 units apart")
        << b << t << 2 << true << ltr << img(18, 7) << txt(42, 8);
    QTest::newRow("2 apart") << b << t << 2 << false << ltr << img(4, 7) << txt(56, 8);
    QTest::newRow("3 hugging") << b << t << 3 << true << ltr << img(66, 7) << txt(18, 8);
    QTest::newRow("3 apart") << b << t << 3 << false << ltr << img(80, 7) << txt(4, 8);
    QTest::newRow("4 hugging: image under title")
        << b << t << 4 << true << ltr << img(42, 18) << txt(30, -4);
    QTest::newRow("4 apart") << b << t << 4 << false << ltr << img(42, 10) << txt(30, 4);
    QTest::newRow("5 hugging: image over title")
        << b << t << 5 << true << ltr << img(42, -4) << txt(30, 20);
    QTest::newRow("5 apart") << b << t << 5 << false << ltr << img(42, 4) << txt(30, 12);
    QTest::newRow("6 overlaps") << b << t << 6 << true << ltr << img(42, 7) << txt(30, 8);
    QTest::newRow("7 is left") << b << t << 7 << true << ltr << img(18, 7) << txt(42, 8);
    QTest::newRow("8 is right") << b << t << 8 << false << ltr << img(80, 7) << txt(4, 8);
    QTest::newRow("7 right to left is right")
        << b << t << 7 << true << rtl << img(66, 7) << txt(18, 8);
    QTest::newRow("8 right to left is left")
        << b << t << 8 << false << rtl << img(4, 7) << txt(56, 8);
    QTest::newRow("2 ignores direction") << b << t << 2 << false << rtl << img(4, 7) << txt(56, 8);
    QTest::newRow("above 8: top-left") << b << t << 9 << true << ltr << img(0, 0) << txt(0, 0);
    QTest::newRow("halves round away from zero")
        << QSizeF(101, 29) << t << 5 << true << ltr << img(43, -5) << txt(31, 20);
    QTest::newRow("title size rounded up")
        << b << QSizeF(40.2, 13.1) << 0 << false << ltr << QRectF() << QRectF(30, 8, 41, 14);
    QTest::newRow("no title: image alone still offset")
        << b << QSizeF() << 2 << true << ltr << img(38, 7) << QRectF();
}

void TestFlatButton::layoutRule()
{
    QFETCH(QSizeF, bounds);
    QFETCH(QSizeF, titleSize);
    QFETCH(int, position);
    QFETCH(bool, hugs);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(QRectF, image);
    QFETCH(QRectF, title);

    const auto result = SYFlatButton::layout(bounds, QSizeF(16, 16), titleSize, 4.0,
        SYFlatButton::ImagePosition(position), hugs, direction);
    QCOMPARE(result.image, image);
    QCOMPARE(result.title, title);
}

void TestFlatButton::paintedLayout_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("hugs");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<QPoint>("imageSide"); // where the image lies seen from the title

    QTest::newRow("left, hugging") << 2 << true << Qt::LeftToRight << QPoint(-1, 0);
    QTest::newRow("left, apart") << 2 << false << Qt::LeftToRight << QPoint(-1, 0);
    QTest::newRow("right, hugging") << 3 << true << Qt::LeftToRight << QPoint(1, 0);
    QTest::newRow("below, hugging") << 4 << true << Qt::LeftToRight << QPoint(0, 1);
    QTest::newRow("above, apart") << 5 << false << Qt::LeftToRight << QPoint(0, -1);
    QTest::newRow("leading, right to left") << 7 << true << Qt::RightToLeft << QPoint(1, 0);
}

void TestFlatButton::paintedLayout()
{
    QFETCH(int, position);
    QFETCH(bool, hugs);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(QPoint, imageSide);

    SYFlatButton button(QStringLiteral("Shred"));
    configure(button);
    QFont font = button.font();
    font.setPixelSize(14);
    button.setFont(font);
    button.setIcon(solidIcon());
    button.setSpacing(5);
    button.setImagePosition(SYFlatButton::ImagePosition(position));
    button.setImageHugsTitle(hugs);
    button.setLayoutDirection(direction);
    button.resize(160, 90);

    const QRect imageRect = button.imageRect().toRect();
    const QRect titleRect = button.titleRect().toRect();
    const QImage shot = button.grab().toImage();
    const QRect image = boundingBox(shot, [](QColor c) { return c == imageNormal; });
    const QRect ink = boundingBox(shot, [](QColor c) { return c != bgNormal && c != imageNormal; });

    QCOMPARE(image, imageRect);
    QVERIFY2(!ink.isEmpty(), "the title was not drawn");
    QVERIFY(titleRect.contains(ink));

    const int gap = imageSide.x() != 0
        ? (imageSide.x() < 0 ? titleRect.left() - imageRect.right() - 1
                             : imageRect.left() - titleRect.right() - 1)
        : (imageSide.y() < 0 ? titleRect.top() - imageRect.bottom() - 1
                             : imageRect.top() - titleRect.bottom() - 1);
    if (hugs) {
        QVERIFY2(qAbs(gap - 10) <= 1, qPrintable(QString::number(gap))); // 2 x spacing
    } else {
        QVERIFY(gap > 0);
        const QRect group = imageRect | titleRect;
        const QRect inner = button.rect().adjusted(5, 5, -5, -5);
        // Apart, each part touches the inner edge on its own side (within rounding).
        const auto near = [](int a, int b) { return qAbs(a - b) <= 1; };
        if (imageSide.x() != 0)
            QVERIFY(near(group.left(), inner.left()) && near(group.right(), inner.right()));
        else
            QVERIFY(near(group.top(), inner.top()) && near(group.bottom(), inner.bottom()));
    }
}

void TestFlatButton::sizeHintFitsContent_data()
{
    QTest::addColumn<int>("position");
    for (int position = 0; position <= 8; ++position)
        QTest::addRow("position %d", position) << position;
}

void TestFlatButton::sizeHintFitsContent()
{
    QFETCH(int, position);
    for (const bool hugs : {false, true}) {
        SYFlatButton button(QStringLiteral("Choose files…"));
        button.setIcon(solidIcon(24));
        button.setIconSize(QSize(24, 24));
        button.setSpacing(6);
        button.setImagePosition(SYFlatButton::ImagePosition(position));
        button.setImageHugsTitle(hugs);
        button.resize(button.sizeHint());
        const QRectF image = button.imageRect();
        const QRectF title = button.titleRect();
        QCOMPARE(image.isNull(), position == 0);
        QCOMPARE(title.isNull(), position == 1);
        QVERIFY(QRectF(button.rect()).contains(image | title));
        if (position != 6)
            QVERIFY(!image.intersects(title));
    }
}

void TestFlatButton::imageIsTintedByAlpha_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("2x") << 2.0;
}

void TestFlatButton::imageIsTintedByAlpha()
{
    QFETCH(qreal, ratio);
    SYFlatButton button;
    configure(button);
    button.setIcon(solidIcon(16, true));
    button.setImagePosition(SYFlatButton::ImageOnly);

    QImage shot(button.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    shot.setDevicePixelRatio(ratio);
    shot.fill(Qt::white);
    button.render(&shot);
    const QPoint topLeft = button.imageRect().topLeft().toPoint() * ratio;
    const int size = int(16 * ratio);
    // Opaque (black) half in the image colour, transparent half shows the background.
    QCOMPARE(boundingBox(shot, [](QColor c) { return c == imageNormal; }),
        QRect(topLeft, QSize(size / 2, size)));
    QCOMPARE(shot.pixelColor(topLeft + QPoint(size * 3 / 4, size / 2)), bgNormal);
}

void TestFlatButton::mouseClick_data()
{
    QTest::addColumn<bool>("momentary");
    QTest::addColumn<int>("initial");
    QTest::addColumn<Qt::MouseButton>("mouseButton");
    QTest::addColumn<int>("whilePressed");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("clicks");

    QTest::newRow("momentary") << true << 0 << Qt::LeftButton << 1 << 0 << 1;
    QTest::newRow("toggle on") << false << 0 << Qt::LeftButton << 1 << 1 << 1;
    QTest::newRow("toggle off") << false << 1 << Qt::LeftButton << 0 << 0 << 1;
    QTest::newRow("mixed state counts as off") << false << -1 << Qt::LeftButton << 1 << 1 << 1;
    QTest::newRow("right button does nothing") << true << 0 << Qt::RightButton << 0 << 0 << 0;
}

void TestFlatButton::mouseClick()
{
    QFETCH(bool, momentary);
    QFETCH(int, initial);
    QFETCH(Qt::MouseButton, mouseButton);
    QFETCH(int, whilePressed);
    QFETCH(int, after);
    QFETCH(int, clicks);

    SYFlatButton button(QStringLiteral("OK"));
    configure(button, momentary);
    button.setState(initial);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    QTest::mousePress(&button, mouseButton);
    QCOMPARE(button.state(), whilePressed);
    QCOMPARE(button.mouseDown(), clicks > 0);
    QCOMPARE(pixelAt(button, bgPoint), whilePressed == 1 ? bgHighlight : bgNormal);
    QCOMPARE(clicked.count(), 0);

    QTest::mouseRelease(&button, mouseButton);
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(button.state(), after);
    QVERIFY(!button.mouseDown());
    QCOMPARE(pixelAt(button, bgPoint), after == 1 ? bgHighlight : bgNormal);
    if (clicks)
        QCOMPARE(clicked.first().first().toBool(), after == 1);
    QCOMPARE(button.isChecked(), !momentary && after == 1);
}

void TestFlatButton::cancelledPress_data()
{
    QTest::addColumn<bool>("momentary");
    QTest::addColumn<QString>("how");

    for (const bool momentary : {true, false}) {
        const char* kind = momentary ? "momentary" : "toggle";
        QTest::addRow("%s, dragged out", kind) << momentary << QStringLiteral("drag");
        QTest::addRow("%s, leave event", kind) << momentary << QStringLiteral("leave");
        QTest::addRow("%s, released outside", kind) << momentary << QStringLiteral("release");
    }
}

void TestFlatButton::cancelledPress()
{
    QFETCH(bool, momentary);
    QFETCH(QString, how);

    SYFlatButton button(QStringLiteral("OK"));
    configure(button, momentary);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    const QPoint outside(button.width() + 10, button.height() / 2);

    QTest::mousePress(&button, Qt::LeftButton);
    QCOMPARE(button.state(), 1);
    if (how == QLatin1String("drag")) {
        QTest::mouseMove(&button, outside);
        QVERIFY(!button.mouseDown());
    } else if (how == QLatin1String("leave")) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
    }
    QTest::mouseRelease(
        &button, Qt::LeftButton, {}, how == QLatin1String("leave") ? QPoint() : outside);

    QCOMPARE(clicked.count(), 0);
    QCOMPARE(button.state(), 0);
    QVERIFY(!button.mouseDown());
    QCOMPARE(pixelAt(button, bgPoint), bgNormal);
}

void TestFlatButton::hoverChangesOnlyTheCursor()
{
    QWidget parent;
    SYFlatButton button(QStringLiteral("OK"), &parent);
    configure(button, false);
    button.setState(1);

    const QPointF inside(5, 5);
    QEnterEvent enter(inside, inside, button.mapToGlobal(inside));
    QApplication::sendEvent(&button, &enter);
    QVERIFY(button.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(pixelAt(button, bgPoint), bgHighlight);

    // Leaving drops even a toggle button to off, press or not.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    QVERIFY(!button.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(button.state(), 0);
    QCOMPARE(pixelAt(button, bgPoint), bgNormal);
}

void TestFlatButton::codeDrivenToggle()
{
    SYFlatButton toggle;
    configure(toggle, false);
    QSignalSpy clicked(&toggle, &QAbstractButton::clicked);
    QSignalSpy stateChanged(&toggle, &SYFlatButton::stateChanged);

    toggle.click();
    QCOMPARE(toggle.state(), 1);
    QCOMPARE(clicked.count(), 1);
    toggle.setChecked(false);
    QCOMPARE(toggle.state(), 0);
    QCOMPARE(pixelAt(toggle, bgPoint), bgNormal);
    QCOMPARE(stateChanged.count(), 2);

    SYFlatButton momentary;
    configure(momentary, true);
    QSignalSpy momentaryClicked(&momentary, &QAbstractButton::clicked);
    momentary.click();
    QCOMPARE(momentaryClicked.count(), 1);
    QCOMPARE(momentary.state(), 0);
}

void TestFlatButton::disabled_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::newRow("enabled") << true;
    QTest::newRow("disabled") << false;
}

void TestFlatButton::disabled()
{
    QFETCH(bool, enabled);

    QWidget window;
    window.resize(200, 100);
    QPushButton below(&window);
    below.setGeometry(window.rect());
    SYFlatButton button(QStringLiteral("OK"), &window);
    configure(button);
    button.setGeometry(40, 30, 120, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const auto shot = [&] { return window.grab(button.geometry()).toImage().pixelColor(bgPoint); };
    const QColor enabledPixel = shot();
    button.hide();
    const QColor under = shot();
    button.show();
    button.setEnabled(enabled);
    // Re-enabling must give the mouse back.
    button.setEnabled(false);
    button.setEnabled(enabled);
    QCOMPARE(button.testAttribute(Qt::WA_TransparentForMouseEvents), !enabled);

    const QColor pixel = shot();
    const double opacity = enabled ? 1.0 : 0.5;
    const auto expected = [&](int fore, int back) { return fore * opacity + back * (1 - opacity); };
    QVERIFY(qAbs(pixel.red() - expected(enabledPixel.red(), under.red())) <= 1);
    QVERIFY(qAbs(pixel.green() - expected(enabledPixel.green(), under.green())) <= 1);
    QVERIFY(qAbs(pixel.blue() - expected(enabledPixel.blue(), under.blue())) <= 1);

    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QSignalSpy belowClicked(&below, &QAbstractButton::clicked);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, button.geometry().center());
    QCOMPARE(clicked.count(), enabled ? 1 : 0);
    QCOMPARE(belowClicked.count(), enabled ? 0 : 1);
    QCOMPARE(button.state(), 0);
}

void TestFlatButton::keyboard_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("momentary");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("after");

    QTest::newRow("space") << Qt::Key_Space << true << 1 << 0;
    QTest::newRow("return") << Qt::Key_Return << true << 1 << 0;
    QTest::newRow("enter (keypad)") << Qt::Key_Enter << true << 1 << 0;
    QTest::newRow("space toggles") << Qt::Key_Space << false << 1 << 1;
    QTest::newRow("other key") << Qt::Key_A << true << 0 << 0;
}

void TestFlatButton::keyboard()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, momentary);
    QFETCH(int, clicks);
    QFETCH(int, after);

    QWidget window;
    SYFlatButton button(QStringLiteral("OK"), &window);
    configure(button, momentary);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    button.setFocus(Qt::TabFocusReason);
    QVERIFY(button.hasFocus());
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    // Through the window, so it is the focus that routes the key to the button.
    QTest::keyPress(window.windowHandle(), key);
    QCOMPARE(button.state(), clicks ? 1 : 0);
    QCOMPARE(clicked.count(), 0);
    QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&button, &repeat);
    QCOMPARE(button.state(), clicks ? 1 : 0);
    QTest::keyRelease(window.windowHandle(), key);
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(button.state(), after);
}

void TestFlatButton::focusRing_data()
{
    QTest::addColumn<int>("reason"); // -1: no focus
    QTest::addColumn<bool>("ring");

    QTest::newRow("tab") << int(Qt::TabFocusReason) << true;
    QTest::newRow("set from code") << int(Qt::OtherFocusReason) << true;
    QTest::newRow("mouse click") << int(Qt::MouseFocusReason) << false;
    QTest::newRow("no focus") << -1 << false;
}

void TestFlatButton::focusRing()
{
    QFETCH(int, reason);
    QFETCH(bool, ring);

    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Highlight, QColor(10, 120, 250));
    window.setPalette(palette);
    QPushButton first(QStringLiteral("First"), &window); // takes the focus when the window opens
    SYFlatButton button(QStringLiteral("OK"), &window);
    configure(button);
    button.move(0, 50);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(!button.hasFocus());
    if (reason >= 0)
        button.setFocus(Qt::FocusReason(reason));

    QCOMPARE(
        pixelAt(button, QPoint(1, button.height() / 2)), ring ? QColor(10, 120, 250) : bgNormal);
}

void TestFlatButton::colourFade_data()
{
    QTest::addColumn<double>("onSeconds");
    QTest::addColumn<double>("offSeconds");
    QTest::addColumn<int>("to");

    QTest::newRow("on, instant") << 0.0 << 0.3 << 1;
    QTest::newRow("on, animated") << 0.2 << 0.0 << 1;
    QTest::newRow("off, instant") << 0.3 << 0.0 << 0;
    QTest::newRow("off, animated") << 0.0 << 0.2 << 0;
}

void TestFlatButton::colourFade()
{
    QFETCH(double, onSeconds);
    QFETCH(double, offSeconds);
    QFETCH(int, to);

    SYFlatButton button(QStringLiteral("OK"));
    configure(button, false);
    button.setBorderWidth(3);
    button.setState(1 - to); // durations still 0: instant
    button.setOnAnimateDuration(onSeconds);
    button.setOffAnimateDuration(offSeconds);
    const QColor bgFrom = to ? bgNormal : bgHighlight;
    const QColor bgTo = to ? bgHighlight : bgNormal;
    const QColor borderTo = to ? borderHighlight : borderNormal;
    QCOMPARE(pixelAt(button, bgPoint), bgFrom);

    button.setState(to);
    const bool animated = (to ? onSeconds : offSeconds) > 0;
    QCOMPARE(button.isAnimating(), animated);
    QCOMPARE(pixelAt(button, bgPoint), animated ? bgFrom : bgTo);
    QTRY_COMPARE(pixelAt(button, bgPoint), bgTo);
    QCOMPARE(pixelAt(button, QPoint(1, 20)), borderTo);
    QTRY_VERIFY(!button.isAnimating());
}

void TestFlatButton::animationStarts_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("animates");

    QTest::newRow("same normal colour") << QStringLiteral("same") << false;
    QTest::newRow("same colour, stored as HSL") << QStringLiteral("same-hsl") << false;
    QTest::newRow("highlight colour while off") << QStringLiteral("highlight") << false;
    QTest::newRow("state set to itself") << QStringLiteral("state") << false;
    QTest::newRow("new normal colour") << QStringLiteral("normal") << true;
}

void TestFlatButton::animationStarts()
{
    QFETCH(QString, change);
    QFETCH(bool, animates);

    SYFlatButton button(QStringLiteral("OK"));
    configure(button);
    button.setOnAnimateDuration(5);
    button.setOffAnimateDuration(5);
    QVERIFY(!button.isAnimating());

    if (change == QLatin1String("same"))
        button.setBackgroundNormalColor(bgNormal);
    else if (change == QLatin1String("same-hsl")) {
        const QColor hsl = titleNormal.toHsl();
        QVERIFY(hsl != titleNormal && hsl.rgba64() == titleNormal.rgba64());
        button.setTitleNormalColor(hsl);
    } else if (change == QLatin1String("highlight"))
        button.setBackgroundHighlightColor(Qt::white);
    else if (change == QLatin1String("state"))
        button.setState(0);
    else if (change == QLatin1String("normal"))
        button.setBackgroundNormalColor(Qt::white);
    QCOMPARE(button.isAnimating(), animates);
}

void TestFlatButton::reversedFadeDoesNotJump()
{
    SYFlatButton button(QStringLiteral("OK"));
    configure(button);
    button.setOnAnimateDuration(1.5);
    button.setOffAnimateDuration(1.5);

    button.setState(1);
    QTRY_VERIFY(pixelAt(button, bgPoint) != bgNormal);
    const QColor midway = pixelAt(button, bgPoint);
    QVERIFY(midway != bgHighlight);
    button.setState(0);
    QCOMPARE(pixelAt(button, bgPoint), midway);
    QTRY_COMPARE(pixelAt(button, bgPoint), bgNormal);
}

QTEST_MAIN(TestFlatButton)
#include "tst_flatbutton.moc"
