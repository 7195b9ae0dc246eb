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

// Folder "A" holds "A1" (which holds "A1a") and "A2"; "B" is a plain row. Every row below the
// top level is painted magenta so a grab shows whether it is on screen.
void fillTree(QStandardItemModel& model)
{
    const auto item = [](const char* text, bool child) {
        auto* it = new QStandardItem(QString::fromLatin1(text));
        if (child)
            it->setBackground(childColor);
        return it;
    };
    QStandardItem* a = item("A", false);
    QStandardItem* a1 = item("A1", true);
    a1->appendRow(item("A1a", true));
    a->appendRow(a1);
    a->appendRow(item("A2", true));
    model.appendRow(a);
    model.appendRow(item("B", false));
}

// Whether the row of index is fully drawn, judged from its right-hand end (clear of the text).
bool rowShown(outlinviewClass& view, const QModelIndex& index)
{
    const QRect rect = view.visualRect(index);
    if (!rect.isValid() || !view.viewport()->rect().contains(rect))
        return false;
    const QImage shot = view.viewport()->grab().toImage();
    return shot.pixelColor(rect.right() - 2, rect.center().y()) == childColor;
}

QWheelEvent wheel(QWidget* target, QPoint angle)
{
    const QPointF at = QRectF(target->rect()).center();
    return QWheelEvent(at, target->mapToGlobal(at), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
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
    void scrollingFromCodeWorks();
    void selectedRowIsDarkGrey_data();
    void selectedRowIsDarkGrey();
};

void TestListChrome::expandShowsChildrenAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("subtree");

    QTest::newRow("expandItem") << QStringLiteral("item") << false;
    QTest::newRow("expandItem with children") << QStringLiteral("item") << true;
    QTest::newRow("expandItem after setAnimated(true)") << QStringLiteral("animated") << false;
    QTest::newRow("right arrow key") << QStringLiteral("key") << false;
}

void TestListChrome::expandShowsChildrenAtOnce()
{
    QFETCH(QString, how);
    QFETCH(bool, subtree);

    QStandardItemModel model;
    fillTree(model);
    outlinviewClass view;
    view.setModel(&model);
    view.resize(300, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QVERIFY(!view.isAnimated());

    const QModelIndex a = model.index(0, 0);
    const QModelIndex a1 = model.index(0, 0, a);
    const QModelIndex a2 = model.index(1, 0, a);
    const QModelIndex a1a = model.index(0, 0, a1);
    // Pending layouts would make even an animated view expand without animation.
    QVERIFY(view.visualRect(a).isValid());

    if (how == QLatin1String("key")) {
        view.setCurrentIndex(a);
        QTest::keyClick(&view, Qt::Key_Right);
    } else {
        if (how == QLatin1String("animated"))
            view.setAnimated(true);
        view.expandItem(a, subtree);
    }

    // No event processing in between: what the next paint shows is the end state.
    QVERIFY(view.isExpanded(a));
    QCOMPARE(view.isExpanded(a1), subtree);
    QVERIFY(rowShown(view, a2));
    QCOMPARE(rowShown(view, a1a), subtree);
    QCOMPARE(view.isAnimated(), how == QLatin1String("animated"));
}

void TestListChrome::wheelDoesNotScroll_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QPoint>("angle");

    for (const char* target : {"viewport", "vertical bar", "horizontal bar"}) {
        QTest::addRow("%s, down", target) << QString::fromLatin1(target) << QPoint(0, -120);
        QTest::addRow("%s, right", target) << QString::fromLatin1(target) << QPoint(-120, 0);
    }
}

void TestListChrome::wheelDoesNotScroll()
{
    QFETCH(QString, target);
    QFETCH(QPoint, angle);

    // The same event goes to a plain scroll area too, to show that it would have scrolled.
    QScrollArea plain;
    ScanningScrollView view;
    for (QScrollArea* area : {&plain, static_cast<QScrollArea*>(&view)}) {
        auto* content = new QWidget;
        content->resize(2000, 2000);
        area->setWidget(content);
        area->resize(200, 200);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area));
    }

    const auto send = [&](QScrollArea& area) {
        QWidget* receiver = area.viewport();
        if (target == QLatin1String("vertical bar"))
            receiver = area.verticalScrollBar();
        else if (target == QLatin1String("horizontal bar"))
            receiver = area.horizontalScrollBar();
        QWheelEvent event = wheel(receiver, angle);
        QApplication::sendEvent(receiver, &event);
        return event.isAccepted();
    };

    send(plain);
    QVERIFY2(plain.verticalScrollBar()->value() + plain.horizontalScrollBar()->value() > 0,
        "the wheel event would not scroll a plain scroll area");

    QVERIFY(send(view)); // accepted: it goes no further up
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    QCOMPARE(view.horizontalScrollBar()->value(), 0);
    QCOMPARE(view.widget()->pos(), QPoint(0, 0));
}

void TestListChrome::scrollingFromCodeWorks()
{
    ScanningScrollView view;
    auto* content = new QWidget;
    content->resize(2000, 2000);
    view.setWidget(content);
    view.resize(200, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    view.verticalScrollBar()->setValue(300);
    QCOMPARE(content->y(), -300);
    view.ensureVisible(1500, 100, 0, 0);
    QVERIFY(view.horizontalScrollBar()->value() > 0);
    QCOMPARE(content->x(), -view.horizontalScrollBar()->value());

    // Clicking the bar still scrolls.
    QScrollBar* bar = view.verticalScrollBar();
    const int before = bar->value();
    const QPoint groove(bar->width() / 2, bar->height() * 3 / 4);
    QTest::mouseClick(bar, Qt::LeftButton, {}, groove);
    QVERIFY(bar->value() != before);
}

void TestListChrome::selectedRowIsDarkGrey_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("active");

    QTest::newRow("selected") << true << true;
    QTest::newRow("selected, window inactive") << true << false;
    QTest::newRow("not selected") << false << true;
}

void TestListChrome::selectedRowIsDarkGrey()
{
    QFETCH(bool, selected);
    QFETCH(bool, active);

    QStandardItemModel model;
    model.appendRow(new QStandardItem(QStringLiteral("MMMM MMMM")));
    TableRowViewResult delegate;

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 240, 24);
    option.state = QStyle::State_Enabled;
    option.state.setFlag(QStyle::State_Selected, selected);
    option.state.setFlag(QStyle::State_Active, active);
    option.palette.setColor(QPalette::Highlight, Qt::blue); // must not show through
    option.palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::blue);
    option.font.setPixelSize(16);

    QImage row(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
    row.fill(Qt::white);
    QPainter painter(&row);
    delegate.paint(&painter, option, model.index(0, 0));
    painter.end();

    const QColor grey(Qt::darkGray);
    const QPoint corners[] = {{0, 0}, {239, 0}, {0, 23}, {239, 23}};
    int ink = 0;
    int blue = 0;
    for (int y = 0; y < row.height(); ++y) {
        for (int x = 0; x < row.width(); ++x) {
            const QColor c = row.pixelColor(x, y);
            ink += c != grey && c != QColor(Qt::white);
            blue += c == QColor(Qt::blue);
        }
    }
    for (const QPoint& corner : corners)
        QCOMPARE(row.pixelColor(corner) == grey, selected);
    QVERIFY2(ink > 20, "the text was covered");
    QCOMPARE(blue, 0);
}

QTEST_MAIN(TestListChrome)
#include "tst_listchrome.moc"
