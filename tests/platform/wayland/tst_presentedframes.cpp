#include "platform/wayland/PresentedFrames.h"

#include <QTest>
#include <functional>
#include <optional>

// Which of a Wayland compositor's presentation feedbacks correct a fall's time.
class TestPresentedFrames : public QObject {
    Q_OBJECT
private slots:
    // A fall commits the marked frame 0 at 1.0 ms and frames 1 and 2 at 1.1 and 1.2 ms; the key
    // ends it at 30 ms unless a row says otherwise. Each row's script gives the compositor's
    // feedback (presented at a time, on a 60 Hz screen, or discarded); `waits` tells whether
    // the trial still waits for the feedback that decides.
    void markedFrameDelay_data() {
        using Script = std::function<void(PresentedFrames&)>;
        using Delay = std::optional<std::int64_t>;
        QTest::addColumn<Script>("feedback");
        QTest::addColumn<std::int64_t>("keyNs");
        QTest::addColumn<Delay>("delayNs");
        QTest::addColumn<bool>("waits");
        const std::int64_t key = 30'000'000;
        const std::int64_t refresh = 16'666'667;
        const Delay none;
        QTest::newRow("the marked frame presented")
            << Script([=](PresentedFrames& f) { f.presented(0, 5'000'000, refresh); }) << key
            << Delay(4'000'000) << false;
        QTest::newRow("marked one discarded: the next one presented shows the move")
            << Script([=](PresentedFrames& f) {
                   f.discarded(0);
                   f.presented(1, 6'000'000, refresh);
               })
            << key << Delay(5'000'000) << false;
        QTest::newRow("marked one discarded, the next one not answered yet")
            << Script([](PresentedFrames& f) { f.discarded(0); }) << key << none << true;
        QTest::newRow("no answer yet") << Script([](PresentedFrames&) {}) << key << none << true;
        QTest::newRow("every frame discarded") << Script([](PresentedFrames& f) {
            for (int frame = 0; frame < 3; ++frame)
                f.discarded(frame);
        }) << key << none << false;
        QTest::newRow("presented before it was committed: another clock")
            << Script([=](PresentedFrames& f) { f.presented(0, 500'000, refresh); }) << key << none
            << false;
        QTest::newRow("presented later than four refreshes")
            << Script([=](PresentedFrames& f) { f.presented(0, 70'000'000, refresh); })
            << std::int64_t(300'000'000) << none << false;
        QTest::newRow("presented just after the key: shown at the key")
            << Script([=](PresentedFrames& f) { f.presented(0, 30'400'000, refresh); }) << key
            << Delay(29'000'000) << false;
        QTest::newRow("presented after the key")
            << Script([=](PresentedFrames& f) { f.presented(0, 31'500'000, refresh); }) << key
            << none << false;
    }
    void markedFrameDelay() {
        QFETCH(std::function<void(PresentedFrames&)>, feedback);
        QFETCH(std::int64_t, keyNs);
        QFETCH(std::optional<std::int64_t>, delayNs);
        QFETCH(bool, waits);
        PresentedFrames frames;
        frames.markNextFrame();
        frames.committed(500'000); // a frame of an earlier fall
        frames.startFall();
        QVERIFY(!frames.wantsFeedback()); // frames before the marked one need none
        frames.markNextFrame();
        for (int frame = 0; frame < 3; ++frame)
            QCOMPARE(frames.committed(1'000'000 + frame * 100'000), frame);
        feedback(frames);
        QCOMPARE(frames.markedFrameDelayNs(keyNs), delayNs);
        QCOMPARE(frames.awaitsFeedback(), waits);
    }
};

QTEST_GUILESS_MAIN(TestPresentedFrames)
#include "tst_presentedframes.moc"
