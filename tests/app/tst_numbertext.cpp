#include "app/NumberText.h"

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

    // The number format of the time box and the trial counter.
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
};

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
