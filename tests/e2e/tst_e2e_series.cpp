#include "RealProgram.h"

using namespace MainWindowPoints;

namespace {

// The score lines after the template, as numbers.
QList<int> scores(const QByteArray& content, const QByteArray& templateContent) {
    QList<int> values;
    const QByteArray lines = content.mid(templateContent.size());
    for (const QByteArray& line : lines.split('\n')) {
        if (!line.isEmpty())
            values << line.trimmed().toInt();
    }
    return values;
}

} // namespace

class TestSeries : public QObject {
    Q_OBJECT
private slots:
    // A series without keys scores 0; after "Zurück" a series with arrow keys pressed every
    // 150 ms scores higher. Each ends in the results window and adds its own line. (Without a
    // key every fall lasts over a second and the series scores 0; with the keys it scores more
    // however slowly a loaded machine answers them, so no threshold above 0 is asked for.)
    void twoSeries() {
        RealProgram program;
        const qulonglong window = program.startMainWindow();
        QVERIFY(window);
        RealProgram::click(window, kStart);

        const qulonglong results =
            RealProgram::findWindow(QStringLiteral("Ergebnis-Greifholmtest"), 150000);
        QVERIFY2(results, "no results window after the first series");
        const QByteArray first = program.scoreFileContent();
        QVERIFY(first.startsWith(program.templateContent()));
        QVERIFY2(first.endsWith(" 0\r\n"), first.constData());
        QCOMPARE(scores(first, program.templateContent()), QList<int>{0});

        RealProgram::click(results, kResultsBack);
        QTRY_VERIFY_WITH_TIMEOUT(
            !RealProgram::findWindow(QStringLiteral("Ergebnis-Greifholmtest"), 100), 5000);
        RealProgram::click(window, kStart);

        QElapsedTimer timer;
        timer.start();
        qulonglong again = 0;
        while (!again && timer.elapsed() < 150000) {
            RealProgram::key({QStringLiteral("Left"), QStringLiteral("Right")});
            QThread::msleep(150);
            if (scores(program.scoreFileContent(), program.templateContent()).size() == 2)
                again = RealProgram::findWindow(QStringLiteral("Ergebnis-Greifholmtest"), 2000);
        }
        QVERIFY2(again, "no results window after the second series");
        const QList<int> values = scores(program.scoreFileContent(), program.templateContent());
        QCOMPARE(values.size(), 2);
        QCOMPARE(values[0], 0);
        QVERIFY2(values[1] > 0, qPrintable(QString::number(values[1])));
        QVERIFY(program.scoreFileContent().endsWith("\r\n"));

        RealProgram::click(again, kResultsBack);
        QThread::msleep(300);
        RealProgram::click(window, kEnde);
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitCode(), 0);
    }
};

QTEST_MAIN(TestSeries)
#include "tst_e2e_series.moc"
