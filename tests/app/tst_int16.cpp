#include "app/Int16.h"

#include <QTest>

// The checked 16-bit arithmetic of counters, times, totals and the score.
class TestInt16 : public QObject {
    Q_OBJECT
private slots:
    // Leaving the 16-bit range on either end is a run-time error, not a wrap-around.
    void int16Overflow() {
        QCOMPARE(Int16::add(32766, 1), qint16(32767));
        QCOMPARE(Int16::sub(-32767, 1), qint16(-32768));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::add(32767, 1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::sub(-32768, 1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::fromWide(40000));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::fromWide(-32769));
    }

    // The score's rounding: halves go to the even neighbour.
    void roundHalfToEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("0.5 down to even") << 0.5 << 0;
        QTest::newRow("1.5 up to even") << 1.5 << 2;
        QTest::newRow("2.5 down to even") << 2.5 << 2;
        QTest::newRow("-2.5 to even") << -2.5 << -2;
        QTest::newRow("below half") << 349.49 << 349;
        QTest::newRow("upper limit") << 32767.4 << 32767;
    }
    void roundHalfToEven() {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(Int16::roundFromDouble(value), qint16(rounded));
    }
    // A value that rounds outside 16 bits, or is no number, is an overflow error.
    void roundOutOfRange() {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::roundFromDouble(32767.5));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::roundFromDouble(qQNaN()));
    }
};

QTEST_GUILESS_MAIN(TestInt16)
#include "tst_int16.moc"
