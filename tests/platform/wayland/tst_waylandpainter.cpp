#include "app/Module1.h"
#include "platform/Sleeper.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyState.h"
#include "platform/wayland/WaylandWindowPainter.h"
#include "support/Fakes.h"
#include "support/TestEnvironment.h"
#include "support/XdoTool.h"
#include "ui/main/Form1.h"

#include <QTest>

namespace {
constexpr std::int64_t kMs = 1'000'000;
} // namespace

// The drop trial on a native Wayland window under a real compositor: weston, nested in the
// test's Xvfb (with-weston.sh), which offers presentation feedback and input timestamps.
class TestWaylandPainter : public QObject {
    Q_OBJECT
private slots:
    // The arrow key pressed on the X server passes weston and ends the fall; the fall is timed
    // from weston's feedback of when the frame that first moved the stick was presented.
    void fallTimedFromPresentation() {
        WaylandConnection connection;
        QVERIFY(connection.canPaint());
        SteadyClock clock;
        ThreadSleeper sleeper;
        WaylandKeyState keys(connection);
        WaylandWindowPainter painter(connection, clock);
        TestEnvironment env;
        FakePlatform fakes;
        Module1 module;
        const WindowsPaths paths = env.paths();
        Form1 form(module,
                   Platform{clock, keys, sleeper, fakes.random, fakes.timeOfDay, fakes.errors,
                            fakes.lockWait, painter, fakes.scheduling},
                   paths);
        form.load();
        form.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // weston's window on the X server gets the keys; a click gives the program's window
        // weston's keyboard focus.
        const QString weston =
            xdotool({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("Weston")})
                .section(QLatin1Char('\n'), 0, 0);
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), weston,
                 QStringLiteral("1100"), QStringLiteral("900"), QStringLiteral("click"),
                 QStringLiteral("1")});
        form.series().startSeries(1000);
        QTest::qWait(1000); // the sticks' sub-surfaces take effect with Qt's next commit

        // The key 400 ms into the fall, long after the stick moved on screen (at 114 ms).
        QVERIFY(QProcess::startDetached(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("sleep 0.4; xdotool key Left")}));
        form.series().DropStick(StickSide::Left);
        const ReactionSeries::Fall& fall = form.series().lastFall();
        const std::int64_t polled = fall.polledNs - fall.startNs;
        QVERIFY2(polled > 300 * kMs && polled < 1000 * kMs, qPrintable(QString::number(polled)));
        // Nested weston stamps keys with the wall clock's time, which dates nothing here.
        QCOMPARE(fall.endNs, fall.polledNs);
        QVERIFY2(fall.shownLateNs > 0 && fall.shownLateNs < 4 * 16'667'000,
                 qPrintable(QString::number(fall.shownLateNs)));
        QCOMPARE(module.TrialTimes[0],
                 qint16(fall.endNs / kMs - (fall.startNs + fall.shownLateNs) / kMs));
    }
};

QTEST_MAIN(TestWaylandPainter)
#include "tst_waylandpainter.moc"
