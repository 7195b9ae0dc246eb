// SPDX-License-Identifier: GPL-3.0-or-later
#include "SizeText.h"

#include <QTest>
#include <limits>

class TestSizeText : public QObject
{
    Q_OBJECT

private slots:
    void text_data();
    void text();
};

void TestSizeText::text_data()
{
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("expected");

    QTest::newRow("negative") << -5.0 << QStringLiteral("0 bytes");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0 bytes");
    QTest::newRow("one byte, no singular") << 1.0 << QStringLiteral("1 bytes");
    QTest::newRow("fraction truncated") << 999.9 << QStringLiteral("999 bytes");
    QTest::newRow("one kilobyte") << 1000.0 << QStringLiteral("1.0 KB");
    QTest::newRow("1.05 as a float is below 1.05") << 1050.0 << QStringLiteral("1.0 KB");
    QTest::newRow("decimal, not binary units") << 1536.0 << QStringLiteral("1.5 KB");
    QTest::newRow("just under the rounding edge") << 999949.0 << QStringLiteral("999.9 KB");
    QTest::newRow("unit chosen before rounding") << 999950.0 << QStringLiteral("1000.0 KB");
    QTest::newRow("one megabyte") << 1000000.0 << QStringLiteral("1.0 MB");
    QTest::newRow("megabytes") << 1234567.0 << QStringLiteral("1.2 MB");
    QTest::newRow("gigabytes") << 5000000000.0 << QStringLiteral("5.0 GB");
    QTest::newRow("no unit above GB") << 1500000000000.0 << QStringLiteral("1500.0 GB");
    // 999,999.999 rounds to 1,000,000 as a float, so the megabyte step sees exactly 1000;
    // double intermediates would give "1000.0 MB".
    QTest::newRow("float intermediate crosses into GB") << 999999999.0 << QStringLiteral("1.0 GB");
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN()
                                  << QStringLiteral("0 bytes");
}

void TestSizeText::text()
{
    QFETCH(double, bytes);
    QFETCH(QString, expected);
    QCOMPARE(sizeText(bytes), expected);
}

QTEST_GUILESS_MAIN(TestSizeText)
#include "tst_sizetext.moc"
