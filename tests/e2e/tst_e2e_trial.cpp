#include "RealProgram.h"

using namespace MainWindowPoints;

namespace {

const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
// A box row well below the rest position: red there means the stick is falling.
constexpr int kFallingRow = 200;
constexpr int kBottomRow = 620;
// A row inside the resting stick.
constexpr int kRestingRow = 60;

// One pixel column of the screen from `top` down, read from the X server at once: a small
// read takes well under a millisecond, a whole screenshot tens of them.
QImage screenColumn(QPoint top, int height) {
    return QGuiApplication::primaryScreen()->grabWindow(0, top.x(), top.y(), 1, height).toImage();
}

} // namespace

class TestTrial : public QObject {
    Q_OBJECT
private slots:
    // After "Start" a stick falls on screen without blinking out first, and its arrow key
    // pressed through XTEST stops it: the lower part of its box stays white.
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

        // Watch both boxes until one stick has fallen past the rest position. The resting
        // sticks never leave the screen, not even for the moment a fall begins.
        QString side;
        QRect box;
        int stickMissing = 0;
        QElapsedTimer timer;
        timer.start();
        while (side.isEmpty() && timer.elapsed() < 30000) {
            for (const auto& [name, rect] : {std::pair{QStringLiteral("Left"), kLeftBox},
                                             std::pair{QStringLiteral("Right"), kRightBox}}) {
                const QImage column =
                    screenColumn(origin + rect.topLeft() + QPoint(kStickX + 10, kRestingRow),
                                 kFallingRow - kRestingRow + 1);
                if (column.pixelColor(0, 0) != kRed)
                    ++stickMissing;
                if (column.pixelColor(0, column.height() - 1) == kRed) {
                    side = name;
                    box = rect;
                }
            }
        }
        QVERIFY2(!side.isEmpty(), "no stick fell within 30 s");
        QCOMPARE(stickMissing, 0);
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
