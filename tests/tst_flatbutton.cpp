// SPDX-License-Identifier: GPL-3.0-or-later
#include "SYFlatButton.h"

#include <QApplication>
#include <QKeySequence>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// Black on the left half, clear on the right.
QIcon halfIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter(&pixmap).fillRect(0, 0, size / 2, size, Qt::black);
    return QIcon(pixmap);
}

} // namespace

class TestFlatButton : public QObject
{
    Q_OBJECT

private slots:
    void layoutRule_data();
    void layoutRule();
    void sizeHintFitsContent();
    void interaction_data();
    void interaction();
    void disabledPassesClicksThrough();
};

void TestFlatButton::layoutRule_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("hugs");
    QTest::addColumn<Qt::LayoutDirection>("direction");
    QTest::addColumn<QRectF>("image");
    QTest::addColumn<QRectF>("title");
    QTest::addColumn<QSizeF>("titleSize");

    // Bounds 100 x 30, image 16 x 16 and spacing 4 throughout.
    const auto ltr = Qt::LeftToRight;
    const auto rtl = Qt::RightToLeft;
    const auto img = [](double x, double y) { return QRectF(x, y, 16, 16); };
    const auto txt = [](double x, double y) { return QRectF(x, y, 40, 14); };
    const auto row = [](const char* name, int position, bool hugs, Qt::LayoutDirection direction,
                         QRectF image, QRectF title, QSizeF titleSize = {40, 14}) {
        QTest::newRow(name) << position << hugs << direction << image << title << titleSize;
    };
    row("0: title only", 0, false, ltr, QRectF(), txt(30, 8));
    row("1: image only", 1, false, ltr, img(42, 7), QRectF());
    row("2 hugging: 8 units apart", 2, true, ltr, img(18, 7), txt(42, 8));
    row("7 left to right is left, apart", 7, false, ltr, img(4, 7), txt(56, 8));
    row("7 right to left is right, hugging", 7, true, rtl, img(66, 7), txt(18, 8));
    row("8 left to right is right, apart", 8, false, ltr, img(80, 7), txt(4, 8));
    row("8 right to left is left, hugging", 8, true, rtl, img(18, 7), txt(42, 8));
    row("4 hugging: image under title", 4, true, ltr, img(42, 18), txt(30, -4));
    row("4 apart", 4, false, ltr, img(42, 10), txt(30, 4));
    row("5 hugging: image over title", 5, true, ltr, img(42, -4), txt(30, 20));
    row("5 apart", 5, false, ltr, img(42, 4), txt(30, 12));
    row("6 overlaps", 6, true, ltr, img(42, 7), txt(30, 8));
    row("above 8: top-left", 9, true, ltr, img(0, 0), txt(0, 0));
    row("halves round away from zero", 5, true, ltr, img(42, -5), {30, 20, 40, 15}, {40, 15});
    row("title size rounded up", 0, false, ltr, QRectF(), {30, 8, 41, 14}, {40.2, 13.1});
    row("no title: image alone still offset", 2, true, ltr, img(38, 7), QRectF(), {});
}

void TestFlatButton::layoutRule()
{
    QFETCH(int, position);
    QFETCH(bool, hugs);
    QFETCH(Qt::LayoutDirection, direction);
    QFETCH(QRectF, image);
    QFETCH(QRectF, title);
    QFETCH(QSizeF, titleSize);

    const auto result = SYFlatButton::layout({100, 30}, QSizeF(16, 16), titleSize, 4.0,
        SYFlatButton::ImagePosition(position), hugs, direction);
    QCOMPARE(result.image, image);
    QCOMPARE(result.title, title);
}

void TestFlatButton::sizeHintFitsContent()
{
    SYFlatButton button(QStringLiteral("Choose files…"));
    button.setIcon(halfIcon(24));
    button.setIconSize(QSize(24, 24));
    button.setSpacing(6);
    for (int position = 0; position <= 8; ++position) {
        for (const bool hugs : {false, true}) {
            button.setImagePosition(SYFlatButton::ImagePosition(position));
            button.setImageHugsTitle(hugs);
            button.resize(button.sizeHint());
            const QByteArray where = QByteArray::number(position) + (hugs ? " hugging" : " apart");
            QVERIFY2(
                QRectF(button.rect()).contains(button.imageRect() | button.titleRect()), where);
            QVERIFY2(position == 6 || !button.imageRect().intersects(button.titleRect()), where);
        }
    }
}

void TestFlatButton::interaction_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<bool>("momentary");
    QTest::addColumn<int>("initial");
    QTest::addColumn<QList<int>>("expected"); // state while held, state after, clicks

    const auto row = [](const char* name, const char* gesture, bool momentary, int initial,
                         QList<int> expected) {
        QTest::newRow(name) << QString::fromLatin1(gesture) << momentary << initial << expected;
    };
    row("momentary click", "click", true, 0, {1, 0, 1});
    row("toggle on", "click", false, 0, {1, 1, 1});
    row("toggle off", "click", false, 1, {0, 0, 1});
    row("mixed state counts as off", "click", false, -1, {1, 1, 1});
    row("right button does nothing", "right click", true, 0, {0, 0, 0});
    row("toggle dragged out, then released", "drag out", false, 0, {1, 0, 0});
    row("momentary left during a press", "leave", true, 0, {1, 0, 0});
    row("toggle released outside", "release outside", false, 0, {1, 0, 0});
    row("click() from code on a toggle", "click()", false, 0, {0, 1, 1});
    row("space", "key Space", true, 0, {1, 0, 1});
    row("return", "key Return", true, 0, {1, 0, 1});
    row("enter (keypad)", "key Enter", true, 0, {1, 0, 1});
    row("space toggles", "key Space", false, 0, {1, 1, 1});
    row("other key", "key A", true, 0, {0, 0, 0});
}

void TestFlatButton::interaction()
{
    QFETCH(QString, gesture);
    QFETCH(bool, momentary);
    QFETCH(int, initial);
    QFETCH(QList<int>, expected);

    QWidget window;
    SYFlatButton button(QStringLiteral("OK"), &window);
    button.setMomentary(momentary);
    button.resize(120, 40);
    button.setState(initial);
    const bool isKey = gesture.startsWith(u"key ");
    const Qt::Key key = isKey ? QKeySequence::fromString(gesture.mid(4))[0].key() : Qt::Key(0);
    const auto mouseButton = gesture == u"right click" ? Qt::RightButton : Qt::LeftButton;
    const QPoint outside(button.width() + 10, button.height() / 2);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    if (isKey) {
        // Through the window, so it is the focus that routes the key to the button; an
        // auto-repeat presses nothing again.
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        button.setFocus(Qt::TabFocusReason);
        QTest::keyPress(window.windowHandle(), key);
        QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&button, &repeat);
    } else if (gesture != u"click()") {
        QTest::mousePress(&button, mouseButton);
    }
    QCOMPARE(button.state(), expected[0]);
    if (gesture == u"drag out") {
        QTest::mouseMove(&button, outside);
        QVERIFY(!button.mouseDown());
    } else if (gesture == u"leave") {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
    }
    QCOMPARE(clicked.count(), 0);
    if (isKey)
        QTest::keyRelease(window.windowHandle(), key);
    else if (gesture == u"click()")
        button.click();
    else
        QTest::mouseRelease(
            &button, mouseButton, {}, gesture.contains(u"out") ? outside : QPoint());

    QCOMPARE(button.state(), expected[1]);
    QCOMPARE(clicked.count(), expected[2]);
    QVERIFY(!button.mouseDown());
    QCOMPARE(button.isChecked(), expected[1] == 1); // a toggle is checked while on
}

void TestFlatButton::disabledPassesClicksThrough()
{
    QWidget window;
    window.resize(200, 100);
    QPushButton below(&window);
    below.setGeometry(window.rect());
    SYFlatButton button(QStringLiteral("OK"), &window);
    button.setGeometry(40, 30, 120, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto clickReaches = [&](QAbstractButton& target) {
        QSignalSpy clicked(&target, &QAbstractButton::clicked);
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, button.geometry().center());
        return clicked.count() == 1;
    };

    button.setEnabled(false);
    QVERIFY(clickReaches(below));
    // Enabled again, it takes the mouse back.
    button.setEnabled(true);
    QVERIFY(clickReaches(button));
}

QTEST_MAIN(TestFlatButton)
#include "tst_flatbutton.moc"
