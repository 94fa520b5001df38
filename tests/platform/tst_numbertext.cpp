#include "platform/ErrorReporter.h"
#include "platform/Int16.h"
#include "platform/NumberText.h"
#include "support/Fakes.h"

#include <QLocale>
#include <QTest>
#include <clocale>

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // A German locale must not turn the full stop into a comma.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    }

    // The number format of the results list and the score file.
    void numberText_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("integer") << 245.0 << " 245";
        QTest::newRow("fraction") << 3.456 << " 3.456";
        QTest::newRow("below one: no zero before the point") << 0.5 << " .5";
        QTest::newRow("negative integer") << -12.0 << "-12";
        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("negative zero has no sign") << -0.0 << " 0";
        QTest::newRow("eight") << 8.0 << " 8";
        QTest::newRow("seconds of 8000 ms") << 8000.0 / 1000.0 << " 8";
        QTest::newRow("seconds of 1234 ms") << 1234.0 / 1000.0 << " 1.234";
        QTest::newRow("no thousands separator") << 32767.0 << " 32767";
        QTest::newRow("negative fraction below one") << -0.25 << "-.25";
        QTest::newRow("negative fraction") << -7.5 << "-7.5";
        QTest::newRow("15 significant digits kept") << 123456789.012345 << " 123456789.012345";
        QTest::newRow("16th digit rounded away") << 0.1 + 0.2 << " .3";
        QTest::newRow("third rounded to 15 digits") << 1.0 / 3.0 << " .333333333333333";
        QTest::newRow("large value in exponent form") << 1e20 << " 1E+20";
    }
    void numberText() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberText(value), text);
    }

    void plainNumberText_data() {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("positive") << qint64(245) << "245";
        QTest::newRow("zero") << qint64(0) << "0";
        QTest::newRow("negative") << qint64(-12) << "-12";
        QTest::newRow("no separator") << qint64(32767) << "32767";
    }
    void plainNumberText() {
        QFETCH(qint64, value);
        QFETCH(QString, text);
        QCOMPARE(PlainNumberText(value), text);
    }

    // Leaving the 16-bit range on either end is a run-time error, not a wrap-around.
    void int16Overflow() {
        QCOMPARE(Int16::add(32766, 1), qint16(32767));
        QCOMPARE(Int16::sub(-32767, 1), qint16(-32768));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::add(32767, 1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::sub(-32768, 1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::fromWide(40000));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::fromWide(-32769));
        try {
            Int16::add(32000, 1000);
            QFAIL("no overflow error");
        } catch (const RuntimeError& error) {
            QCOMPARE(error.message(), QStringLiteral("Laufzeitfehler: Überlauf"));
        }
    }

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
    void roundOutOfRange() {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::roundFromDouble(32767.5));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Int16::roundFromDouble(qQNaN()));
    }

    // A handler's error reaches the reporter once, and the rest of the handler does not run.
    void guardedReportsAndStops() {
        RecordingErrorReporter reporter;
        bool after = false;
        guarded(reporter, [&] {
            Int16::add(32767, 1);
            after = true;
        });
        QCOMPARE(reporter.messages, QStringList{QStringLiteral("Laufzeitfehler: Überlauf")});
        QVERIFY(!after);

        guarded(reporter, [&] { after = true; });
        QVERIFY(after);
        QCOMPARE(reporter.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
