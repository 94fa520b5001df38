#include "RealProgram.h"

using namespace MainWindowPoints;

namespace {

const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
// A box row well below the rest position: red there means the stick is falling.
constexpr int kFallingRow = 200;
constexpr int kBottomRow = 620;

} // namespace

class TestTrial : public QObject {
    Q_OBJECT
private slots:
    // After "Start" a stick falls on screen, and its arrow key pressed through XTEST stops
    // it: the lower part of its box stays white.
    void arrowKeyStopsFallingStick() {
        RealProgram program;
        const qulonglong window = program.startMainWindow();
        QVERIFY(window);
        const QPoint origin = RealProgram::windowGeometry(window).topLeft();
        RealProgram::click(window, kStart);

        // Both sticks stand at rest right after "Start".
        QTRY_COMPARE_WITH_TIMEOUT(RealProgram::screen().pixelColor(origin + kLeftBox.topLeft() +
                                                                   QPoint(kStickX + 10, 60)),
                                  kRed, 5000);

        // Watch both boxes until one stick has fallen past the rest position.
        QString side;
        QRect box;
        QElapsedTimer timer;
        timer.start();
        while (side.isEmpty() && timer.elapsed() < 30000) {
            const QImage shot = RealProgram::screen();
            for (const auto& [name, rect] : {std::pair{QStringLiteral("Left"), kLeftBox},
                                             std::pair{QStringLiteral("Right"), kRightBox}}) {
                if (shot.pixelColor(origin + rect.topLeft() + QPoint(kStickX + 10, kFallingRow)) ==
                    kRed) {
                    side = name;
                    box = rect;
                }
            }
        }
        QVERIFY2(!side.isEmpty(), "no stick fell within 30 s");
        RealProgram::key({side});

        // During the two-second pause the fallen stick stays where the key stopped it.
        QThread::msleep(700);
        const QImage shot = RealProgram::screen();
        const QPoint column = origin + box.topLeft() + QPoint(kStickX + 10, 0);
        QCOMPARE(shot.pixelColor(column + QPoint(0, kFallingRow)), kRed);
        QCOMPARE(shot.pixelColor(column + QPoint(0, kBottomRow)), kWhite);

        // Afterwards both sticks are back at rest.
        QTRY_COMPARE_WITH_TIMEOUT(RealProgram::screen().pixelColor(column + QPoint(0, kFallingRow)),
                                  kWhite, 5000);
    }
};

QTEST_MAIN(TestTrial)
#include "tst_e2e_trial.moc"
