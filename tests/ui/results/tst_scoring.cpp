#include "platform/RuntimeError.h"
#include "ui/results/Scoring.h"

#include <QTest>

namespace {

Scoring::Times uniform(qint16 time) {
    Scoring::Times times;
    times.fill(time);
    return times;
}

} // namespace

class TestScoring : public QObject {
    Q_OBJECT
private slots:
    // Total, score and the total line for whole series.
    void series_data() {
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("totalLine");
        QTest::newRow("10 x 800: nothing left")
            << 800 << 8000 << 0 << "Die benötigte Gesamtzeit beträgt:  8 Sekunden";
        QTest::newRow("10 x 100") << 100 << 1000 << 350
                                  << "Die benötigte Gesamtzeit beträgt:  1 Sekunden";
        QTest::newRow("10 x 50: below one second")
            << 50 << 500 << 375 << "Die benötigte Gesamtzeit beträgt:  .5 Sekunden";
        QTest::newRow("10 x 0") << 0 << 0 << 400 << "Die benötigte Gesamtzeit beträgt:  0 Sekunden";
        QTest::newRow("10 x 1234")
            << 1234 << 12340 << 0 << "Die benötigte Gesamtzeit beträgt:  12.34 Sekunden";
        QTest::newRow("10 x 3276")
            << 3276 << 32760 << 0 << "Die benötigte Gesamtzeit beträgt:  32.76 Sekunden";
    }
    void series() {
        QFETCH(int, time);
        QFETCH(int, total);
        QFETCH(int, points);
        QFETCH(QString, totalLine);
        const qint16 sum = Scoring::totalTime(uniform(qint16(time)));
        QCOMPARE(sum, qint16(total));
        QCOMPARE(Scoring::points(sum), qint16(points));
        QCOMPARE(Scoring::totalItem(sum), totalLine);
    }

    // Rounding of the score: halves go to the even neighbour.
    void pointsForTotal_data() {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("points");
        QTest::newRow("7990: 0.5 rounds to 0") << 7990 << 0;
        QTest::newRow("7970: 1.5 rounds to 2") << 7970 << 2;
        QTest::newRow("7950: 2.5 rounds to 2") << 7950 << 2;
        QTest::newRow("7989: 0.55 rounds to 1") << 7989 << 1;
        QTest::newRow("8001: negative is 0") << 8001 << 0;
        QTest::newRow("32767: far beyond") << 32767 << 0;
        QTest::newRow("negative total") << -200 << 410;
        QTest::newRow("-24767: upper limit of 8000 - T") << -24767 << 1638;
    }
    void pointsForTotal() {
        QFETCH(int, total);
        QFETCH(int, points);
        QCOMPARE(Scoring::points(qint16(total)), qint16(points));
    }

    // 8000 - T beyond 16 bits is an overflow error.
    void pointsOverflow() {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Scoring::points(-24768));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Scoring::points(-32768));
    }

    // A sum beyond 32767 ms is an overflow error; so is one below -32768.
    void totalOverflow() {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Scoring::totalTime(uniform(3300)));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, Scoring::totalTime(uniform(-3300)));
        Scoring::Times mixed = uniform(3300);
        mixed[9] = -3300; // the running sum never leaves the range
        QCOMPARE(Scoring::totalTime(mixed), qint16(3300 * 8));
    }

    // The trial lines: two spaces after the colon for non-negative times, one before a
    // minus sign.
    void trialItems() {
        Scoring::Times times{245, 0, 1000, 32767, -5, 1, 2, 3, 4, 5};
        const QStringList items = Scoring::trialItems(times);
        QCOMPARE(items.size(), 10);
        QCOMPARE(items[0], QStringLiteral("1. Versuch:  245 1/1000 s"));
        QCOMPARE(items[1], QStringLiteral("2. Versuch:  0 1/1000 s"));
        QCOMPARE(items[3], QStringLiteral("4. Versuch:  32767 1/1000 s"));
        QCOMPARE(items[4], QStringLiteral("5. Versuch: -5 1/1000 s"));
        QCOMPARE(items[9], QStringLiteral("10. Versuch:  5 1/1000 s"));
    }

    // Seven spaces between the colon and the score.
    void pointsItem() {
        QCOMPARE(Scoring::pointsItem(227),
                 QStringLiteral("Die Gesamtpunktzahl beträgt:       227"));
        QCOMPARE(Scoring::pointsItem(0), QStringLiteral("Die Gesamtpunktzahl beträgt:       0"));
    }
};

QTEST_GUILESS_MAIN(TestScoring)
#include "tst_scoring.moc"
