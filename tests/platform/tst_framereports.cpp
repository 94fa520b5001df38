#include "platform/FrameReports.h"

#include <QTest>
#include <functional>
#include <optional>

// Which of a compositor's frame reports correct a fall's time, and which are passed over.
class TestFrameReports : public QObject {
    Q_OBJECT
private slots:
    // A fall puts frame 2 (at 0.900 ms), then the marked frame 4 (at 1.000 ms) and frame 6
    // (at 1.100 ms); the key ends it at 30 ms. Each row's script adds the compositor's
    // reports (times in µs).
    void markedFrameDelay_data() {
        using Script = std::function<void(FrameReports&)>;
        QTest::addColumn<Script>("reports");
        QTest::addColumn<std::optional<std::int64_t>>("delayNs");
        const std::optional<std::int64_t> none;
        QTest::newRow("the marked frame's report counts") << Script([](FrameReports& r) {
            r.frameDrawn(2, 4'000);
            r.frameDrawn(4, 5'000);
            r.frameDrawn(6, 9'000);
        }) << std::optional<std::int64_t>(4'000'000);
        QTest::newRow("presentation offset added") << Script([](FrameReports& r) {
            r.frameDrawn(4, 5'000);
            r.frameTimings(4, 700);
        }) << std::optional<std::int64_t>(4'700'000);
        QTest::newRow("timings before drawn ignored") << Script([](FrameReports& r) {
            r.frameTimings(4, 700);
            r.frameDrawn(4, 5'000);
        }) << std::optional<std::int64_t>(4'000'000);
        QTest::newRow("only other frames reported") << Script([](FrameReports& r) {
            r.frameDrawn(2, 4'000);
            r.frameDrawn(6, 9'000);
        }) << none;
        QTest::newRow("no report") << Script([](FrameReports&) {}) << none;
        QTest::newRow("shown before drawn")
            << Script([](FrameReports& r) { r.frameDrawn(4, 500); }) << none;
        QTest::newRow("drawn just after the key: shown at the key")
            << Script([](FrameReports& r) { r.frameDrawn(4, 30'400); })
            << std::optional<std::int64_t>(29'000'000);
        QTest::newRow("shown after the key")
            << Script([](FrameReports& r) { r.frameDrawn(4, 31'500); }) << none;
    }
    void markedFrameDelay() {
        QFETCH(std::function<void(FrameReports&)>, reports);
        QFETCH(std::optional<std::int64_t>, delayNs);
        FrameReports frames;
        frames.frameDrawn(0, 500); // a report of an earlier fall
        frames.startFall();
        frames.framePut(2, 900'000);
        frames.markNextFrame();
        frames.framePut(4, 1'000'000);
        frames.framePut(6, 1'100'000);
        reports(frames);
        QCOMPARE(frames.markedFrameDelayNs(30'000'000), delayNs);
    }

    // A fall whose stick never moved on screen has nothing to correct.
    void nothingMarked() {
        FrameReports frames;
        frames.startFall();
        frames.framePut(2, 900'000);
        frames.frameDrawn(2, 5'000);
        QCOMPARE(frames.markedFrameDelayNs(30'000'000), std::optional<std::int64_t>());
    }
};

QTEST_GUILESS_MAIN(TestFrameReports)
#include "tst_framereports.moc"
