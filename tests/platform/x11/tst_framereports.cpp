#include "platform/x11/FrameReports.h"

#include <QTest>
#include <functional>
#include <optional>

// Which of a compositor's frame reports correct a fall's time, and which are passed over.
class TestFrameReports : public QObject {
    Q_OBJECT
private slots:
    // A fall puts frame 2 (at 0.900 ms), then the marked frame 4 (at 1.000 ms) and frame 6
    // (at 1.100 ms); the key ends it at 30 ms unless a row says otherwise. Each row's script
    // adds the compositor's reports (times in µs); `waits` tells whether the trial still waits
    // for them (no plausible report with its timings).
    void markedFrameDelay_data() {
        using Script = std::function<void(FrameReports&)>;
        using Delay = std::optional<std::int64_t>;
        QTest::addColumn<Script>("reports");
        QTest::addColumn<std::int64_t>("keyNs");
        QTest::addColumn<Delay>("delayNs");
        QTest::addColumn<bool>("waits");
        const std::int64_t key = 30'000'000;
        const Delay none;
        QTest::newRow("the marked frame's report counts") << Script([](FrameReports& r) {
            r.frameDrawn(2, 4'000);
            r.frameDrawn(4, 5'000);
            r.frameDrawn(6, 9'000);
        }) << key << Delay(4'000'000) << true;
        QTest::newRow("presentation offset added, not the refresh interval")
            << Script([](FrameReports& r) {
                   r.frameDrawn(4, 5'000);
                   r.frameTimings(4, 700, 16'667);
               })
            << key << Delay(4'700'000) << false;
        QTest::newRow("timings before drawn ignored") << Script([](FrameReports& r) {
            r.frameTimings(4, 700, 16'667);
            r.frameDrawn(4, 5'000);
        }) << key << Delay(4'000'000) << true;
        QTest::newRow("negative presentation offset: not known") << Script([](FrameReports& r) {
            r.frameDrawn(4, 5'000);
            r.frameTimings(4, -3'900, 16'667);
        }) << key << Delay(4'000'000) << false;
        QTest::newRow("only other frames reported") << Script([](FrameReports& r) {
            r.frameDrawn(2, 4'000);
            r.frameDrawn(6, 9'000);
        }) << key << none << true;
        QTest::newRow("no report") << Script([](FrameReports&) {}) << key << none << true;
        QTest::newRow("shown before drawn") << Script([](FrameReports& r) {
            r.frameDrawn(4, 500);
            r.frameTimings(4, 0, 16'667);
        }) << key << none << true;
        QTest::newRow("drawn just after the key: shown at the key")
            << Script([](FrameReports& r) { r.frameDrawn(4, 30'400); }) << key << Delay(29'000'000)
            << true;
        QTest::newRow("shown after the key")
            << Script([](FrameReports& r) { r.frameDrawn(4, 31'500); }) << key << none << true;
        QTest::newRow("shown later than four refreshes after the draw")
            << Script([](FrameReports& r) {
                   r.frameDrawn(4, 22'000);
                   r.frameTimings(4, 0, 5'000);
               })
            << key << none << true;
        QTest::newRow("a report 184 ms after the draw, no timings: refused")
            << Script([](FrameReports& r) { r.frameDrawn(4, 185'000); })
            << std::int64_t(300'000'000) << none << true;
        QTest::newRow("an implausible report keeps no later one out")
            << Script([](FrameReports& r) {
                   r.frameDrawn(4, 185'000);
                   r.frameTimings(4, 0, 16'667);
                   r.frameDrawn(4, 5'000);
                   r.frameTimings(4, 700, 16'667);
               })
            << std::int64_t(300'000'000) << Delay(4'700'000) << false;
    }
    void markedFrameDelay() {
        QFETCH(std::function<void(FrameReports&)>, reports);
        QFETCH(std::int64_t, keyNs);
        QFETCH(std::optional<std::int64_t>, delayNs);
        QFETCH(bool, waits);
        FrameReports frames;
        frames.frameDrawn(0, 500); // a report of an earlier fall
        frames.startFall();
        frames.framePut(2, 900'000);
        frames.markNextFrame();
        frames.framePut(4, 1'000'000);
        frames.framePut(6, 1'100'000);
        reports(frames);
        QCOMPARE(frames.markedFrameDelayNs(keyNs), delayNs);
        QCOMPARE(frames.awaitsReports(keyNs), waits);
    }

    // A fall whose stick never moved on screen has nothing to correct.
    void nothingMarked() {
        FrameReports frames;
        frames.startFall();
        frames.framePut(2, 900'000);
        frames.frameDrawn(2, 5'000);
        QCOMPARE(frames.markedFrameDelayNs(30'000'000), std::optional<std::int64_t>());
        QVERIFY(!frames.awaitsReports(30'000'000));
    }
};

QTEST_GUILESS_MAIN(TestFrameReports)
#include "tst_framereports.moc"
