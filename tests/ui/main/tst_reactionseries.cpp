#include "app/Module1.h"
#include "platform/Random.h"
#include "support/Fakes.h"
#include "ui/main/ChangeTracker.h"
#include "ui/main/DropLottery.h"
#include "ui/main/ReactionSeries.h"
#include "ui/main/StickDrawing.h"
#include "ui/main/TrialTiming.h"

#include <QTest>
#include <cstring>
#include <functional>
#include <optional>

namespace {

constexpr std::int64_t kMs = 1'000'000;
// Frames of a full fall at the default speed 1000, from 2000 past 9495 twips.
constexpr int kFullFallFrames = 10398;
constexpr std::int64_t kPeriod = kFramePeriod.count();

// Pixel (x, y) inside the red stick, right of every mark; the row just below the rest
// position of the stick's lower end.
const QPoint kInStick(145, 66);
constexpr int kRowBelowRest = 134;

// Keeps what the screen would show: each present copies the part of the picture that changed.
class FakeTrialView final : public TrialView {
public:
    DrawingSurface right{3855, 9495, 1.0, Qt::white, Qt::black};
    DrawingSurface left{3855, 9495, 1.0, Qt::white, Qt::black};
    ChangeTracker rightChanges{right};
    ChangeTracker leftChanges{left};
    QImage rightScreen = right.image().copy();
    QImage leftScreen = left.image().copy();
    QString time;
    QString count;
    int finished = 0;
    // What had happened when the results were asked for: pauses slept, sticks shown at rest.
    const FakeSleeper* sleeper = nullptr;
    size_t sleepsAtFinish = 0;
    bool atRestAtFinish = false;
    int presents = 0; // the ones that put something on screen
    int stickMissing = 0;
    // How many key reads had been made when the screen first showed the stick below rest.
    const ScriptedKeyState* keys = nullptr;
    int readsAtFirstMove = -1;

    DrawingSurface& surface(StickSide side) override {
        return side == StickSide::Right ? right : left;
    }
    QImage& screen(StickSide side) { return side == StickSide::Right ? rightScreen : leftScreen; }
    void presentStick(StickSide side) override {
        const QRect changed =
            (side == StickSide::Right ? rightChanges : leftChanges).takeChangedArea();
        if (changed.isEmpty())
            return;
        ++presents;
        const QImage& picture = surface(side).image();
        QImage& shown = screen(side);
        for (int y = changed.top(); y <= changed.bottom(); ++y)
            std::memcpy(shown.scanLine(y) + changed.left() * 4,
                        picture.constScanLine(y) + changed.left() * 4, size_t(changed.width()) * 4);
        if (shown.pixel(kInStick) != qRgb(255, 0, 0))
            ++stickMissing;
        if (readsAtFirstMove < 0 && keys && shown.pixel(145, kRowBelowRest) == qRgb(255, 0, 0))
            readsAtFirstMove = keys->totalReads();
    }
    void presentTrialResult(const QString& t, const QString& c) override {
        time = t;
        count = c;
    }
    void finishSeries() override {
        ++finished;
        sleepsAtFinish = sleeper ? sleeper->sleeps.size() : 0;
        DrawingSurface rest{3855, 9495, 1.0, Qt::white, Qt::black};
        DrawSticksAtRest(rest, rest);
        atRestAtFinish = rightScreen == rest.image() && leftScreen == rest.image();
    }
};

// Baseline reads before the fall; read number 11 + k is the poll of frame k + 1.
constexpr int kBaseline = kBaselineReads;

} // namespace

// The series and its drop trials with an injected clock, key state, pause and random numbers.
class TestReactionSeries : public QObject {
    Q_OBJECT
private:
    struct Fixture {
        FakePlatform fakes;
        FakeTrialView view;
        Module1 module;
        ReactionSeries series{module, fakes.platform(), view};
    };
    std::optional<Fixture> m_f;

    // Presses the key at the poll of the given frame and lets `delayMs` pass at that moment;
    // the key's own event, where it has a time, came `eventLeadNs` before that poll.
    void pressAtFrame(int vk, int frame, std::int64_t delayMs,
                      std::optional<std::int64_t> eventLeadNs = std::nullopt) {
        m_f->fakes.keys.setScript([=, this](int key, int read) -> qint16 {
            if (key != vk || read != kBaseline + frame - 1)
                return 0;
            m_f->fakes.clock.advance(delayMs * kMs);
            if (eventLeadNs)
                m_f->fakes.keys.changedAtNs = m_f->fakes.clock.nowNs() - *eventLeadNs;
            return kKeyDown | kPressedSinceLastQuery;
        });
    }

private slots:
    void init() {
        m_f.emplace();
        m_f->view.sleeper = &m_f->fakes.sleeper;
        m_f->view.keys = &m_f->fakes.keys;
        m_f->series.startSeries(1000);
    }
    void cleanup() { m_f.reset(); }

    // The matching key ends the trial at once; its time goes to the table and the window.
    // Frames are 100 µs apart: frame k is polled (k - 1) / 10 ms after the start. The time
    // is the difference of two whole-millisecond clock readings, as the clock gives them. The
    // fall runs in a real-time class from its first frame to its last poll, where the system
    // grants one; a refusal changes nothing. Where a compositor reports that it showed the
    // fall's first frame later than drawn, the fall is timed from then; where the key's own
    // event has a time within the fall, it ends then.
    void matchingKeyEndsTrial_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<std::int64_t>("startOffsetNs"); // the clock's start past a whole ms
        QTest::addColumn<bool>("realtimeGranted");
        QTest::addColumn<std::optional<std::int64_t>>("shownLateNs");
        QTest::addColumn<std::optional<std::int64_t>>("eventLeadNs");
        QTest::addColumn<int>("expected");
        const std::optional<std::int64_t> noReport;
        QTest::newRow("right at first frame")
            << int(StickSide::Right) << 1 << 245 << std::int64_t(0) << true << noReport << noReport
            << 245;
        QTest::newRow("left at frame 500") << int(StickSide::Left) << 500 << 180 << std::int64_t(0)
                                           << true << noReport << noReport << 229;
        QTest::newRow("right at frame 3000")
            << int(StickSide::Right) << 3000 << 7 << std::int64_t(0) << true << noReport << noReport
            << 306;
        // 245.002 ms from .999 to 246.001: the readings 0 and 246 differ by 246.
        QTest::newRow("readings straddle a millisecond")
            << int(StickSide::Right) << 1 << 245 << std::int64_t(999'000) << true << noReport
            << noReport << 246;
        QTest::newRow("real-time class refused")
            << int(StickSide::Left) << 500 << 180 << std::int64_t(0) << false << noReport
            << noReport << 229;
        QTest::newRow("compositor showed the first frame 5.5 ms late")
            << int(StickSide::Left) << 500 << 180 << std::int64_t(0) << true
            << std::optional<std::int64_t>(5'500'000) << noReport << 224;
        QTest::newRow("the key's own event 3.5 ms before the poll")
            << int(StickSide::Left) << 500 << 180 << std::int64_t(0) << true << noReport
            << std::optional<std::int64_t>(3'500'000) << 226;
        QTest::newRow("a key event before the fall began is no time")
            << int(StickSide::Left) << 500 << 180 << std::int64_t(0) << true << noReport
            << std::optional<std::int64_t>(300 * kMs) << 229;
    }
    void matchingKeyEndsTrial() {
        QFETCH(int, side);
        QFETCH(int, frame);
        QFETCH(int, delayMs);
        QFETCH(std::int64_t, startOffsetNs);
        QFETCH(bool, realtimeGranted);
        QFETCH(std::optional<std::int64_t>, shownLateNs);
        QFETCH(std::optional<std::int64_t>, eventLeadNs);
        QFETCH(int, expected);
        m_f->fakes.scheduling.grants = realtimeGranted;
        m_f->fakes.painter.shownLateNs = shownLateNs;
        const auto stickSide = StickSide(side);
        const int vk = stickSide == StickSide::Right ? kVkRight : kVkLeft;
        pressAtFrame(vk, frame, delayMs, eventLeadNs);
        m_f->fakes.clock.advance(startOffsetNs);

        m_f->series.DropStick(stickSide);

        QCOMPARE(m_f->module.TrialTimes[0], qint16(expected));
        QCOMPARE(m_f->view.time, QString::number(expected));
        QCOMPARE(m_f->view.count, QStringLiteral("1"));
        QCOMPARE(m_f->series.trialCount(), qint16(1));
        QCOMPARE(m_f->fakes.keys.readCount(vk), kBaseline + frame);
        QCOMPARE(m_f->fakes.keys.readCount(vk == kVkRight ? kVkLeft : kVkRight), 0);
        QCOMPARE(m_f->fakes.sleeper.sleeps, std::vector<int>{2000});
        using Call = FakeScheduling::Call;
        QCOMPARE(m_f->fakes.scheduling.calls,
                 (std::vector<Call>{{true, kBaseline, 0}, {false, kBaseline + frame, 0}}));
        QCOMPARE(m_f->fakes.scheduling.prepares, 1); // when the series started
        QVERIFY(!m_f->fakes.painter.reportAskedInRealtime);
        // Both sticks are back at rest after the pause.
        DrawingSurface rest{3855, 9495, 1.0, Qt::white, Qt::black};
        DrawSticksAtRest(rest, rest);
        QCOMPARE(m_f->view.right.image(), rest.image());
        QCOMPARE(m_f->view.left.image(), rest.image());
    }

    // Without a key the stick falls out of its box after a fixed number of frames.
    void fullFallFrames_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("frames");
        QTest::newRow("fastest setting 100") << 100 << 4826;
        QTest::newRow("default 1000") << 1000 << kFullFallFrames;
        QTest::newRow("slow 10000") << 10000 << 22402;
    }
    void fullFallFrames() {
        QFETCH(int, speed);
        QFETCH(int, frames);
        m_f->series.startSeries(speed);
        m_f->series.DropStick(StickSide::Left);
        QCOMPARE(m_f->fakes.keys.readCount(kVkLeft), kBaseline + frames + 1);
        // Paced frames: the fall lasts frames × 100 µs (plus the fake clock's steps).
        QCOMPARE(m_f->module.TrialTimes[0], qint16(frames / 10));
        QCOMPARE(m_f->series.speedSetting(), speed);
    }

    // Which key states end a trial on the right side, and at which poll. Each row's script
    // gives the key state for (key, read number); the trial only ever reads the right arrow.
    void keyScriptsEndTrial_data() {
        using Script = std::function<qint16(int key, int read)>;
        QTest::addColumn<Script>("script");
        QTest::addColumn<int>("polls"); // frames polled, the ending poll included
        const auto down = qint16(kKeyDown | kPressedSinceLastQuery);
        QTest::newRow("other arrow held: falls to the bottom")
            << Script([=](int key, int) { return key == kVkLeft ? down : qint16(0); })
            << kFullFallFrames + 1;
        // Down before the drop, so down is the baseline; the release is the change.
        QTest::newRow("held key released at frame 40") << Script([=](int, int read) -> qint16 {
            if (read == 0)
                return down;
            return read < kBaseline + 40 - 1 ? kKeyDown : 0;
        }) << 40;
        // The pressed-since bit of a press between drops is used up by the baseline reads.
        QTest::newRow("press between drops absorbed")
            << Script([](int, int read) { return read == 0 ? kPressedSinceLastQuery : qint16(0); })
            << kFullFallFrames + 1;
        QTest::newRow("pressed at frame 200")
            << Script([=](int, int read) { return read == kBaseline + 200 - 1 ? down : qint16(0); })
            << 200;
    }
    void keyScriptsEndTrial() {
        QFETCH(std::function<qint16(int, int)>, script);
        QFETCH(int, polls);
        m_f->fakes.keys.setScript(script);
        m_f->series.DropStick(StickSide::Right);
        QCOMPARE(m_f->fakes.keys.readCount(kVkRight), kBaseline + polls);
        QCOMPARE(m_f->fakes.keys.readCount(kVkLeft), 0);
    }

    // Frame t starts no earlier than start + (t - 1) × 100 µs; a late frame is drawn at once
    // and does not shift the frames after it. Between frames the trial sleeps until shortly
    // before the deadline; a sleep that returns late makes that frame late, not early. Far
    // behind its schedule, the trial still blocks as often as the scheduling asks, each time
    // for real: a sleep until a moment already past would not block.
    void framesArePaced_data() {
        QTest::addColumn<std::int64_t>("wakesLateNs");
        QTest::addColumn<std::int64_t>("slowFrameNs"); // what frame 50's drawing takes
        QTest::addColumn<std::int64_t>("longestRunNs");
        QTest::addColumn<int>("onScheduleSleeps"); // at least
        QTest::newRow("wakes on time") << std::int64_t(0) << 1 * kMs << 10 * kMs << 185;
        QTest::newRow("wakes 80 us late") << std::int64_t(80'000) << 1 * kMs << 10 * kMs << 185;
        QTest::newRow("stalled 30 ms, blocks every 0.1 ms")
            << std::int64_t(0) << 30 * kMs << std::int64_t(100'000) << 185;
    }
    void framesArePaced() {
        QFETCH(std::int64_t, wakesLateNs);
        QFETCH(std::int64_t, slowFrameNs);
        QFETCH(std::int64_t, longestRunNs);
        QFETCH(int, onScheduleSleeps);
        m_f->fakes.sleeper.lateNs = wakesLateNs;
        m_f->fakes.scheduling.longestRun = std::chrono::nanoseconds(longestRunNs);
        const int lateFrame = 50;
        const int frames = 200 + int(slowFrameNs / kPeriod);
        m_f->fakes.keys.setScript([&](int, int read) -> qint16 {
            if (read == kBaseline + lateFrame - 1)
                m_f->fakes.clock.advance(slowFrameNs);
            return read == kBaseline + frames - 1 ? kPressedSinceLastQuery : 0;
        });
        m_f->series.DropStick(StickSide::Right);

        const std::vector<std::int64_t>& reads = m_f->fakes.keys.readTimes(kVkRight);
        QCOMPARE(int(reads.size()), kBaseline + frames);
        const std::int64_t step = 1000; // the fake clock's step per read
        const std::int64_t lateWake = std::max<std::int64_t>(0, wakesLateNs - kWakeMargin.count());
        // Frame 1 starts on the reading right after the start reading.
        const std::int64_t start = reads[kBaseline] - step;
        for (int t = 1; t <= frames; ++t) {
            const std::int64_t begun = reads[size_t(kBaseline + t - 1)];
            const std::int64_t deadline = start + (t - 1) * kPeriod;
            QVERIFY2(begun >= deadline, qPrintable(QStringLiteral("frame %1 early").arg(t)));
            // At its deadline, or right after the frame before it when behind; a sleep forced
            // on a trial behind its schedule may lie between.
            const std::int64_t previousEnd =
                t == 1 ? start
                       : reads[size_t(kBaseline + t - 2)] + (t == lateFrame + 1 ? slowFrameNs : 0);
            const std::int64_t due = std::max(deadline, previousEnd);
            QVERIFY2(begun - due <= lateWake + 2 * step + kShortestSleep.count() + wakesLateNs,
                     qPrintable(QStringLiteral("frame %1 late by %2 ns").arg(t).arg(begun - due)));
        }
        const std::vector<std::int64_t>& sleptAt = m_f->fakes.sleeper.sleptAt;
        const std::vector<std::int64_t>& sleptUntil = m_f->fakes.sleeper.sleptUntil;
        QVERIFY2(int(sleptUntil.size()) >= onScheduleSleeps,
                 qPrintable(QString::number(sleptUntil.size())));
        std::int64_t awake = start;
        for (size_t i = 0; i < sleptAt.size(); ++i) {
            QVERIFY2(sleptUntil[i] - sleptAt[i] >= kShortestSleep.count(),
                     qPrintable(QStringLiteral("sleep %1 does not block").arg(i)));
            // Awake no longer than allowed, give or take the frame that noticed.
            const std::int64_t allowed =
                longestRunNs + (sleptAt[i] > reads[kBaseline + lateFrame] ? 0 : slowFrameNs);
            QVERIFY2(sleptAt[i] - awake <= allowed + 4 * step,
                     qPrintable(QStringLiteral("awake %1 ns").arg(sleptAt[i] - awake)));
            awake = sleptUntil[i] + wakesLateNs;
        }
    }

    // What is drawn is on screen before the next key poll, the resting stick never leaves
    // the screen, and frames that change no pixel put nothing there. The frame marked for the
    // compositor's report is the one that first shows the stick below its rest position.
    void screenFollowsTheFall() {
        int polls = 0;
        int behind = 0;
        m_f->fakes.keys.setScript([&](int, int read) -> qint16 {
            if (read >= kBaseline)
                ++polls;
            // From the second poll on: the cleared box of the first is not to be shown.
            if (read > kBaseline) {
                // The stick's columns, whole height: where a falling stick changes pixels.
                const QImage& picture = m_f->view.left.image();
                for (int y = 0; y < picture.height(); ++y) {
                    if (std::memcmp(picture.constScanLine(y) + 100 * 4,
                                    m_f->view.leftScreen.constScanLine(y) + 100 * 4, 60 * 4) != 0) {
                        ++behind;
                        break;
                    }
                }
            }
            return 0;
        });
        m_f->view.presents = 0;
        m_f->series.DropStick(StickSide::Left);

        QCOMPARE(polls, kFullFallFrames + 1);
        QCOMPARE(behind, 0);
        QVERIFY(m_f->view.readsAtFirstMove > kBaseline + 1);
        QCOMPARE(m_f->fakes.painter.marks, std::vector<int>{m_f->view.readsAtFirstMove});
        QCOMPARE(m_f->view.stickMissing, 0);
        // About 500 pixel rows to fall through, a few with new marks, and both sticks at
        // rest again: far fewer presents than frames.
        QVERIFY2(m_f->view.presents >= 500 && m_f->view.presents <= 700,
                 qPrintable(QString::number(m_f->view.presents)));
    }

    // A trial that presses at once draws no frame, and the cleared box never shows.
    void keyAtFirstPollShowsNoClearedBox() {
        pressAtFrame(kVkLeft, 1, 5);
        m_f->series.DropStick(StickSide::Left);
        QCOMPARE(m_f->view.stickMissing, 0);
        QCOMPARE(m_f->view.leftScreen.pixel(kInStick), qRgb(255, 0, 0));
    }

    // Ten trials end the series; a new series overwrites the table trial by trial.
    void seriesOfTenAndOverwrite() {
        for (int i = 0; i < 10; ++i) {
            pressAtFrame(kVkRight, 1, 100 + i);
            m_f->fakes.keys.forget();
            m_f->series.DropStick(StickSide::Right);
            QCOMPARE(m_f->view.count, QString::number(i + 1));
            QCOMPARE(m_f->view.finished, i == 9 ? 1 : 0);
        }
        // The results come after the tenth pause, with both sticks back at rest.
        QCOMPARE(m_f->view.sleepsAtFinish, size_t(10));
        QVERIFY(m_f->view.atRestAtFinish);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(m_f->module.TrialTimes[size_t(i)], qint16(100 + i));

        m_f->series.startSeries(1000);
        QCOMPARE(m_f->series.trialCount(), qint16(0));
        for (int i = 0; i < 2; ++i) {
            pressAtFrame(kVkLeft, 1, 300 + i);
            m_f->fakes.keys.forget();
            m_f->series.DropStick(StickSide::Left);
        }
        QCOMPARE(m_f->module.TrialTimes[0], qint16(300));
        QCOMPARE(m_f->module.TrialTimes[1], qint16(301));
        QCOMPARE(m_f->module.TrialTimes[2], qint16(102));
        QCOMPARE(m_f->module.TrialTimes[9], qint16(109));
    }

    // A trial beyond the 16-bit range of milliseconds is an overflow error.
    // The frames drawn so far stay on screen behind the error message.
    void overlongTrialOverflows() {
        pressAtFrame(kVkRight, 3000, 32768);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_f->series.DropStick(StickSide::Right));
        QCOMPARE(m_f->view.rightScreen, m_f->view.right.image());
        QCOMPARE(m_f->view.rightScreen.pixel(145, kRowBelowRest), qRgb(255, 0, 0));
    }
    // 32767 ms is the longest time the table holds.
    void longestTrialFits() {
        pressAtFrame(kVkRight, 1, 32767);
        m_f->series.DropStick(StickSide::Right);
        QCOMPARE(m_f->module.TrialTimes[0], qint16(32767));
    }

    // An eleventh trial has no place in the table.
    void eleventhTrialIsIndexError() {
        for (int i = 0; i < 10; ++i) {
            pressAtFrame(kVkRight, 1, 10);
            m_f->fakes.keys.forget();
            m_f->series.DropStick(StickSide::Right);
        }
        pressAtFrame(kVkRight, 1, 10);
        m_f->fakes.keys.forget();
        try {
            m_f->series.DropStick(StickSide::Right);
            QFAIL("no index error");
        } catch (const RuntimeError& error) {
            QVERIFY(error.message().contains(QStringLiteral("Index")));
        }
    }

    // 1 drops the left stick, 2 the right, 3 nothing; the generator is re-seeded each tick.
    void chooseDropOutcomes_data() {
        QTest::addColumn<float>("r");
        QTest::addColumn<int>("leftReads");
        QTest::addColumn<int>("rightReads");
        QTest::newRow("0 -> left") << 0.0f << 1 << 0;
        QTest::newRow("just below 1/3 -> left") << 0.333f << 1 << 0;
        QTest::newRow("1/3 -> right") << 0.34f << 0 << 1;
        QTest::newRow("just below 2/3 -> right") << 0.666f << 0 << 1;
        QTest::newRow("2/3 -> nothing") << 0.67f << 0 << 0;
        QTest::newRow("largest float below 1 -> nothing") << 0.99999994f << 0 << 0;
    }
    void chooseDropOutcomes() {
        QFETCH(float, r);
        QFETCH(int, leftReads);
        QFETCH(int, rightReads);
        m_f->fakes.random.values = {r};
        m_f->fakes.keys.setScript(
            [](int, int read) -> qint16 { return read == kBaseline ? kPressedSinceLastQuery : 0; });
        m_f->series.ChooseDrop();
        QCOMPARE(m_f->fakes.keys.readCount(kVkLeft) > 0 ? 1 : 0, leftReads);
        QCOMPARE(m_f->fakes.keys.readCount(kVkRight) > 0 ? 1 : 0, rightReads);
        QCOMPARE(m_f->fakes.random.seeds.size(), size_t(1));
        QCOMPARE(m_f->fakes.random.seeds[0], 36000.0f);
    }

    // With the real generator, re-seeded from the time of every tick, each outcome comes
    // about a third of the time. The bound fails a constant or noticeably biased generator.
    void chooseDropIsUniform() {
        MersenneRandom random;
        SteppingTimeOfDay timeOfDay(0.0f, 2.0f);
        const int ticks = 30000;
        int counts[4] = {};
        for (int i = 0; i < ticks; ++i) {
            const int c = drawLots(random, timeOfDay);
            QVERIFY(c >= 1 && c <= 3);
            ++counts[c];
        }
        for (int c = 1; c <= 3; ++c) {
            const double share = double(counts[c]) / ticks;
            QVERIFY2(std::abs(share - 1.0 / 3.0) < 0.015,
                     qPrintable(QStringLiteral("value %1: %2").arg(c).arg(share)));
        }
    }
};

QTEST_GUILESS_MAIN(TestReactionSeries)
#include "tst_reactionseries.moc"
