// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScanningScrollView.h"
#include "TableRowViewResult.h"
#include "outlinviewClass.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>
#include <QWheelEvent>

namespace {

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

class TestListChrome : public QObject
{
    Q_OBJECT

private slots:
    void expandShowsChildrenAtOnce_data();
    void expandShowsChildrenAtOnce();
    void wheelDoesNotScroll_data();
    void wheelDoesNotScroll();
    void selectedRowIsDarkGrey_data();
    void selectedRowIsDarkGrey();
};

void TestListChrome::expandShowsChildrenAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("subtree");
    QTest::newRow("expandItem with children") << "item" << true;
    QTest::newRow("expandItem after setAnimated(true)") << "animated" << false;
    QTest::newRow("right arrow key") << "key" << false;
}

void TestListChrome::expandShowsChildrenAtOnce()
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
    QVERIFY(!view.isAnimated());
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

void TestListChrome::wheelDoesNotScroll_data()
{
    QTest::addColumn<int>("target"); // viewport, vertical bar, horizontal bar
    QTest::addColumn<QPoint>("angle");
    QTest::newRow("viewport, down") << 0 << QPoint(0, -120);
    QTest::newRow("viewport, right") << 0 << QPoint(-120, 0);
    QTest::newRow("vertical bar, down") << 1 << QPoint(0, -120);
    QTest::newRow("horizontal bar, right") << 2 << QPoint(-120, 0);
}

void TestListChrome::wheelDoesNotScroll()
{
    QFETCH(int, target);
    QFETCH(QPoint, angle);

    // The same event goes to a plain scroll area too, to show that it would have scrolled.
    QScrollArea plain;
    ScanningScrollView view;
    QVERIFY(showLargeContent(&plain) && showLargeContent(&view));
    const auto send = [&](QScrollArea& area) {
        QWidget* receivers[] = {area.viewport(), area.verticalScrollBar(), area.horizontalScrollBar()};
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

void TestListChrome::selectedRowIsDarkGrey_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("window active") << true;
    QTest::newRow("window inactive") << false;
}

// The palette's highlight must not show through, and the text must stay readable on the grey.
void TestListChrome::selectedRowIsDarkGrey()
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

QTEST_MAIN(TestListChrome)
#include "tst_listchrome.moc"
