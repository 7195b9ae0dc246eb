// SPDX-License-Identifier: GPL-3.0-or-later
#include "CustomTextFieldCell.h"
#include "Editing.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void textIsCentredVertically_data();
    void textIsCentredVertically();
    void editingKeysWinOverWindowShortcuts_data();
    void editingKeysWinOverWindowShortcuts();
};

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
