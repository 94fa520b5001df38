#include "RealProgram.h"

using namespace MainWindowPoints;

namespace {

// The speed bar: its left arrow, its trough and its right arrow.
const QRect kBar = twipsRect(Form1Layout::HScroll1);
const QList<QPoint> kSpeedBar{{kBar.left() + 5, kBar.center().y()},
                              {kBar.left() + 60, kBar.center().y()},
                              {kBar.left() + 155, kBar.center().y()}};

int scoreLines(const RealProgram& program) {
    return int(program.scoreFileContent().mid(program.templateContent().size()).count('\n'));
}

} // namespace

class TestAbuse : public QObject {
    Q_OBJECT
private slots:
    // A whole series while keys are hammered and every control is clicked during trials and
    // pauses: no crash, no hang, exactly one new score line, and "Ende" works afterwards.
    void seriesUnderAbuse() {
        RealProgram program;
        const qulonglong window = program.startMainWindow();
        QVERIFY(window);
        RealProgram::click(window, kStart);

        QElapsedTimer timer;
        timer.start();
        qulonglong results = 0;
        // No space or Return among the keys: they could press the results window's "Zurück"
        // once it is up and let the clicks start a second series, as they would for a user.
        // For the same reason each round first looks whether the series has ended.
        for (int round = 0; timer.elapsed() < 240000; ++round) {
            QVERIFY2(program.process().state() == QProcess::Running, "the program ended");
            if (scoreLines(program) > 0) {
                results = RealProgram::findWindow(QStringLiteral("Ergebnis-Greifholmtest"), 5000);
                break;
            }
            RealProgram::xdotool(
                {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("2"),
                 QStringLiteral("Left"), QStringLiteral("Right"), QStringLiteral("a"),
                 QStringLiteral("Up"), QStringLiteral("Down"), QStringLiteral("Escape"),
                 QStringLiteral("Tab"), QStringLiteral("Left"), QStringLiteral("Right")});
            RealProgram::click(window, kStart);
            RealProgram::click(window, kEnde);
            RealProgram::click(window, kSpeedBar[round % kSpeedBar.size()]);
            RealProgram::click(window, kErklaerung);
            if (round % 3 == 0) {
                // Both windows open centred, and the results window may come up at any moment
                // over the explanation's "Zurück"; moved to a corner, the explanation window
                // keeps its button clear of it.
                if (const qulonglong explanation =
                        RealProgram::findWindow(QStringLiteral("Greifholm-Erklärung"), 200)) {
                    RealProgram::xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"),
                                          QString::number(explanation), QStringLiteral("0"),
                                          QStringLiteral("0")});
                    RealProgram::click(explanation, kExplanationBack);
                }
            }
        }
        QVERIFY2(results, "the series did not end in the results window");

        // What was still queued is handled; nothing adds a second line.
        QThread::msleep(3000);
        QVERIFY(program.process().state() == QProcess::Running);
        QCOMPARE(scoreLines(program), 1);

        // The explanation window may still lie over the results window.
        RealProgram::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(results)});
        QThread::msleep(300);
        RealProgram::click(results, kResultsBack);
        QTRY_VERIFY_WITH_TIMEOUT(
            !RealProgram::findWindow(QStringLiteral("Ergebnis-Greifholmtest"), 100), 5000);
        RealProgram::click(window, kEnde);
        QVERIFY2(program.process().waitForFinished(10000), "Ende did not end the program");
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
        QCOMPARE(scoreLines(program), 1);
    }
};

QTEST_MAIN(TestAbuse)
#include "tst_e2e_abuse.moc"
