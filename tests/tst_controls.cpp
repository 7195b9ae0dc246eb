// SPDX-License-Identifier: GPL-3.0-or-later
#include "CustomTextFieldCell.h"
#include "Editing.h"
#include "SYFlatButton.h"
#include "ScanningScrollView.h"
#include "TableRowViewResult.h"
#include "outlinviewClass.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeySequence>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

// Black on the left half, clear on the right.
QIcon halfIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter(&pixmap).fillRect(0, 0, size / 2, size, Qt::black);
    return QIcon(pixmap);
}

const QColor childColor(255, 0, 255);

// Whether the row of index is fully drawn, judged from its right-hand end (clear of the text).
bool rowShown(outlinviewClass& view, const QModelIndex& index)
{
    const QRect rect = view.visualRect(index);
    if (!rect.isValid() || !view.viewport()->rect().contains(rect))
        return false;
    const QImage shot = view.viewport()->grab().toImage();
    return shot.pixelColor(rect.right() - 2, rect.center().y()) == childColor;
}

// Shows `area` with 2000x2000 content in a 200x200 frame.
bool showLargeContent(QScrollArea* area)
{
    auto* content = new QWidget;
    content->resize(2000, 2000);
    area->setWidget(content);
    area->resize(200, 200);
    area->show();
    return QTest::qWaitForWindowExposed(area);
}

} // namespace

// The painted controls: the flat button, the list chrome, the text cell and the editing field.
class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void layoutRule_data();
    void layoutRule();
    void sizeHintFitsContent();
    void interaction_data();
    void interaction();
    void disabledPassesClicksThrough();
    void expandShowsChildrenAtOnce_data();
    void expandShowsChildrenAtOnce();
    void wheelDoesNotScroll_data();
    void wheelDoesNotScroll();
    void selectedRowIsDarkGrey_data();
    void selectedRowIsDarkGrey();
    void textIsCentredVertically_data();
    void textIsCentredVertically();
    void editingKeysWinOverWindowShortcuts_data();
    void editingKeysWinOverWindowShortcuts();
};

void TestControls::layoutRule_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QRectF>("image");
    QTest::addColumn<QRectF>("title");
    QTest::addColumn<QSizeF>("titleSize");

    // Bounds 100 x 30, image 16 x 16 and spacing 4 throughout. Only what the screens use: no
    // image, and the image left of the title, apart from it.
    QTest::newRow("0: title only") << 0 << QRectF() << QRectF(30, 8, 40, 14) << QSizeF(40, 14);
    QTest::newRow("2: image at the edge")
        << 2 << QRectF(4, 7, 16, 16) << QRectF(56, 8, 40, 14) << QSizeF(40, 14);
    QTest::newRow("halves round away from zero")
        << 2 << QRectF(4, 7, 16, 16) << QRectF(56, 8, 40, 15) << QSizeF(40, 15);
    QTest::newRow("title size rounded up")
        << 0 << QRectF() << QRectF(30, 8, 41, 14) << QSizeF(40.2, 13.1);
}

void TestControls::layoutRule()
{
    QFETCH(int, position);
    QFETCH(QRectF, image);
    QFETCH(QRectF, title);
    QFETCH(QSizeF, titleSize);
    const auto result = SYFlatButton::layout(
        {100, 30}, QSizeF(16, 16), titleSize, 4.0, SYFlatButton::ImagePosition(position), false);
    QCOMPARE(result.image, image);
    QCOMPARE(result.title, title);
}

void TestControls::sizeHintFitsContent()
{
    SYFlatButton button(QStringLiteral("Choose files…"));
    button.setIcon(halfIcon(24));
    button.setIconSize(QSize(24, 24));
    button.setSpacing(6);
    for (const int position : {SYFlatButton::NoImage, SYFlatButton::ImageLeft}) {
        button.setImagePosition(SYFlatButton::ImagePosition(position));
        button.resize(button.sizeHint());
        QVERIFY(QRectF(button.rect()).contains(button.imageRect() | button.titleRect()));
        QVERIFY(!button.imageRect().intersects(button.titleRect()));
    }
}

void TestControls::interaction_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<QList<int>>("expected"); // state while held, state after, clicks

    // Every flat button the screens make is momentary; toggling is a mode none of them uses.
    const auto row = [](const char* name, const char* gesture, QList<int> expected) {
        QTest::newRow(name) << QString::fromLatin1(gesture) << expected;
    };
    row("click", "click", {1, 0, 1});
    row("right button does nothing", "right click", {0, 0, 0});
    row("dragged out, then released", "drag out", {1, 0, 0});
    row("left during a press", "leave", {1, 0, 0});
    row("released outside", "release outside", {1, 0, 0});
    row("click() from code", "click()", {0, 0, 1});
    row("space", "key Space", {1, 0, 1});
    row("return", "key Return", {1, 0, 1});
    row("enter (keypad)", "key Enter", {1, 0, 1});
    row("other key", "key A", {0, 0, 0});
}

void TestControls::interaction()
{
    QFETCH(QString, gesture);
    QFETCH(QList<int>, expected);

    QWidget window;
    SYFlatButton button(QStringLiteral("OK"), &window);
    button.setMomentary(true);
    button.resize(120, 40);
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
    QVERIFY(!button.isChecked());
}

void TestControls::disabledPassesClicksThrough()
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

void TestControls::expandShowsChildrenAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("subtree");
    QTest::newRow("expandItem with children") << "item" << true;
    QTest::newRow("expandItem after setAnimated(true)") << "animated" << false;
    QTest::newRow("right arrow key") << "key" << false;
}

void TestControls::expandShowsChildrenAtOnce()
{
    QFETCH(QString, how);
    QFETCH(bool, subtree);

    // "A" holds "A1" (holding "A1a") and "A2"; rows below the top level are magenta.
    const auto item = [](const char* text) {
        auto* it = new QStandardItem(QString::fromLatin1(text));
        it->setBackground(childColor);
        return it;
    };
    QStandardItemModel model;
    auto* a = new QStandardItem(QStringLiteral("A"));
    QStandardItem* a1 = item("A1");
    a1->appendRow(item("A1a"));
    a->appendRow(a1);
    a->appendRow(item("A2"));
    model.appendRow(a);
    model.appendRow(new QStandardItem(QStringLiteral("B")));

    outlinviewClass view;
    view.setModel(&model);
    view.resize(300, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    // Pending layouts would make even an animated view expand without animation.
    QVERIFY(view.visualRect(a->index()).isValid());

    if (how == u"key") {
        view.setCurrentIndex(a->index());
        QTest::keyClick(&view, Qt::Key_Right);
    } else {
        view.setAnimated(how == u"animated");
        view.expandItem(a->index(), subtree);
    }
    // No event processing in between: what the next paint shows is the end state.
    QVERIFY(view.isExpanded(a->index()));
    QCOMPARE(view.isExpanded(a1->index()), subtree);
    QVERIFY(rowShown(view, a->child(1)->index()));
    QCOMPARE(rowShown(view, a1->child(0)->index()), subtree);
}

void TestControls::wheelDoesNotScroll_data()
{
    QTest::addColumn<int>("target"); // viewport, vertical bar, horizontal bar
    QTest::addColumn<QPoint>("angle");
    QTest::newRow("viewport, down") << 0 << QPoint(0, -120);
    QTest::newRow("viewport, right") << 0 << QPoint(-120, 0);
    QTest::newRow("vertical bar, down") << 1 << QPoint(0, -120);
    QTest::newRow("horizontal bar, right") << 2 << QPoint(-120, 0);
}

void TestControls::wheelDoesNotScroll()
{
    QFETCH(int, target);
    QFETCH(QPoint, angle);

    // The same event goes to a plain scroll area too, to show that it would have scrolled.
    QScrollArea plain;
    ScanningScrollView view;
    QVERIFY(showLargeContent(&plain) && showLargeContent(&view));
    const auto send = [&](QScrollArea& area) {
        QWidget* receivers[]
            = {area.viewport(), area.verticalScrollBar(), area.horizontalScrollBar()};
        QWidget* receiver = receivers[target];
        const QPointF at = QRectF(receiver->rect()).center();
        QWheelEvent event(at, receiver->mapToGlobal(at), QPoint(), angle, Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &event);
        return event.isAccepted();
    };
    send(plain);
    QVERIFY2(plain.verticalScrollBar()->value() + plain.horizontalScrollBar()->value() > 0,
        "the wheel event would not scroll a plain scroll area");

    QVERIFY(send(view)); // accepted: it goes no further up
    QCOMPARE(view.verticalScrollBar()->value() + view.horizontalScrollBar()->value(), 0);
    QCOMPARE(view.widget()->pos(), QPoint(0, 0));

    // Scrolling from code and by clicking the bar still works.
    view.verticalScrollBar()->setValue(300);
    QCOMPARE(view.widget()->y(), -300);
    QScrollBar* bar = view.horizontalScrollBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() * 3 / 4, bar->height() / 2));
    QVERIFY(bar->value() > 0);
    QCOMPARE(view.widget()->x(), -bar->value());
}

void TestControls::selectedRowIsDarkGrey_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("window active") << true;
    QTest::newRow("window inactive") << false;
}

// The palette's highlight must not show through, and the text must stay readable on the grey.
void TestControls::selectedRowIsDarkGrey()
{
    QFETCH(bool, active);

    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("MMMM MMMM")));
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 240, 24);
    option.state = QStyle::State_Enabled | QStyle::State_Selected;
    option.state.setFlag(QStyle::State_Active, active);
    option.palette.setColor(QPalette::Highlight, Qt::blue);
    option.palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::blue);
    option.font.setPixelSize(16);

    QImage row(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    row.fill(Qt::white);
    QPainter painter(&row);
    TableRowViewResult().paint(&painter, option, model.index(0, 0));
    painter.end();

    const QColor grey(Qt::darkGray);
    int ink = 0;
    for (int y = 0; y < row.height(); ++y) {
        for (int x = 0; x < row.width(); ++x) {
            const QColor c = row.pixelColor(x, y);
            QVERIFY(c != QColor(Qt::blue));
            ink += c != grey && c != QColor(Qt::white);
        }
    }
    QCOMPARE(row.pixelColor(0, 0), grey);
    QCOMPARE(row.pixelColor(239, 23), grey);
    QVERIFY2(ink > 20, "the text was covered");
}

void TestControls::textIsCentredVertically_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("text");

    QTest::newRow("one line in 40") << 40 << false << QStringLiteral("One line of text");
    QTest::newRow("one line in 101") << 101 << false << QStringLiteral("Odd height");
    QTest::newRow("wrapped in 120") << 120 << true
                                    << QStringLiteral("A description long enough to wrap onto "
                                                      "more than one line in a narrow card");
}

void TestControls::textIsCentredVertically()
{
    QFETCH(int, height);
    QFETCH(bool, wrap);
    QFETCH(QString, text);

    CustomTextFieldCell cell(text);
    QFont font = cell.font();
    font.setPixelSize(17);
    cell.setFont(font);
    cell.setWordWrap(wrap);
    cell.resize(160, height);

    const QRect frame = cell.textFrame();
    QVERIFY(frame.height() >= QFontMetrics(font).height());
    if (wrap)
        QVERIFY(frame.height() >= 2 * QFontMetrics(font).lineSpacing());
    const int above = frame.top();
    const int below = height - (frame.top() + frame.height());
    QVERIFY2(qAbs(above - below) <= 1,
        qPrintable(QStringLiteral("%1 above, %2 below").arg(above).arg(below)));
    QVERIFY(above > 0);

    // The ink lies inside that frame: the label really draws there, not at its top.
    QPalette palette = cell.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    cell.setPalette(palette);
    cell.setAutoFillBackground(true);
    const QImage image = cell.grab().toImage();
    int firstInk = -1;
    for (int y = 0; y < image.height() && firstInk < 0; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                firstInk = y;
                break;
            }
        }
    }
    QVERIFY(firstInk >= frame.top());
}

void TestControls::editingKeysWinOverWindowShortcuts_data()
{
    QTest::addColumn<QKeyCombination>("keys");
    QTest::addColumn<QString>("expectedText"); // the field's text afterwards
    QTest::addColumn<QString>("expectedClipboard");
    QTest::addColumn<bool>("shortcutFires");

    // The field holds "hello world" with "world" selected, and "hello " was typed before.
    QTest::newRow("Ctrl+C copies")
        << QKeyCombination(Qt::ControlModifier, Qt::Key_C) << QStringLiteral("hello world")
        << QStringLiteral("world") << false;
    QTest::newRow("Ctrl+X cuts") << QKeyCombination(Qt::ControlModifier, Qt::Key_X)
                                 << QStringLiteral("hello ") << QStringLiteral("world") << false;
    QTest::newRow("Ctrl+Alt+C is not ours")
        << QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_C)
        << QStringLiteral("hello world") << QStringLiteral("pasted") << true;
}

void TestControls::editingKeysWinOverWindowShortcuts()
{
    QFETCH(QKeyCombination, keys);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedClipboard);
    QFETCH(bool, shortcutFires);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new Editing(&window);
    layout->addWidget(field);
    // A window that binds the same keys for itself, as a menu without an Edit menu would.
    auto* stealer = new QShortcut(QKeySequence(keys), &window);
    QSignalSpy stolen(stealer, &QShortcut::activated);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());

    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClicks(field, QStringLiteral("hello world"));
    field->setSelection(6, 5);
    QTest::keyClick(field, keys.key(), keys.keyboardModifiers());

    QCOMPARE(field->text(), expectedText);
    QCOMPARE(QApplication::clipboard()->text(), expectedClipboard);
    QCOMPARE(stolen.count(), shortcutFires ? 1 : 0);

    // Undo and redo by keyboard, Ctrl+Shift+Z included.
    field->clear();
    QTest::keyClicks(field, QStringLiteral("abc"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(field->text(), QString());
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(field->text(), QStringLiteral("abc"));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
