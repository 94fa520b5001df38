#include "platform/wayland/WaylandSession.h"

#include <QTest>

Q_DECLARE_METATYPE(WaylandOffer)

// Where the program runs as a native Wayland client, and where as the X11 client it is
// elsewhere.
class TestWaylandSession : public QObject {
    Q_OBJECT
private slots:
    void choice_data() {
        QTest::addColumn<WaylandOffer>("offer");
        QTest::addColumn<bool>("qtWayland");
        QTest::addColumn<bool>("native");
        const WaylandOffer telling{true, true, true, CLOCK_MONOTONIC};
        QTest::newRow("X11 session: no Wayland compositor") << WaylandOffer{} << true << false;
        QTest::newRow("compositor with presentation in the monotonic clock (GNOME, KDE 6)")
            << telling << true << true;
        QTest::newRow("presentation in the raw monotonic clock (weston)")
            << WaylandOffer{true, true, true, CLOCK_MONOTONIC_RAW} << true << true;
        QTest::newRow("presentation in the wall clock")
            << WaylandOffer{true, true, true, CLOCK_REALTIME} << true << false;
        QTest::newRow("no presentation feedback")
            << WaylandOffer{true, true, false, -1} << true << false;
        QTest::newRow("no sub-surfaces or shared memory")
            << WaylandOffer{true, false, true, CLOCK_MONOTONIC} << true << false;
        QTest::newRow("Qt's wayland plugin not installed") << telling << false << false;
    }
    void choice() {
        QFETCH(WaylandOffer, offer);
        QFETCH(bool, qtWayland);
        QFETCH(bool, native);
        QCOMPARE(runsNativelyOnWayland(offer, qtWayland), native);
    }
};

QTEST_GUILESS_MAIN(TestWaylandSession)
#include "tst_waylandsession.moc"
