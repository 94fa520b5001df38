#include "app/Module1.h"
#include "platform/Random.h"
#include "support/Fakes.h"
#include "ui/main/ReactionTest.h"
#include "ui/main/StickDrawing.h"

#include <QTest>

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kPeriod = kFramePeriod.count();

class FakeTrialView final : public TrialView {
public:
    DrawingSurface right{3855, 9495, 1.0, Qt::white, Qt::black};
    DrawingSurface left{3855, 9495, 1.0, Qt::white, Qt::black};
    QString time;
    QString count;
    int finished = 0;
    std::vector<std::int64_t> presentTimes;
    FakeClock* clock = nullptr;

    DrawingSurface& surface(StickSide side) override {
        return side == StickSide::Right ? right : left;
    }
    void presentStick(StickSide) override { presentTimes.push_back(clock->peek()); }
    void presentTrialResult(const QString& t, const QString& c) override {
        time = t;
        count = c;
    }
    void finishSeries() override { ++finished; }
};

// Baseline reads before the fall; read number 11 + k is the poll of frame k + 1.
constexpr int kBaseline = 11;

} // namespace

class TestDropTrial : public QObject {
    Q_OBJECT
private:
    FakePlatform* m_fakes = nullptr;
    FakeTrialView* m_view = nullptr;
    Module1* m_module = nullptr;
    ReactionTest* m_test = nullptr;

    // Presses the key at the poll of the given frame and lets `delayMs` pass at that moment.
    void pressAtFrame(int vk, int frame, std::int64_t delayMs) {
        m_fakes->keys.setScript([this, vk, frame, delayMs](int key, int read) -> qint16 {
            if (key != vk || read != kBaseline + frame - 1)
                return 0;
            m_fakes->clock.advance(delayMs * kMs);
            return kKeyDown | kPressedSinceLastQuery;
        });
    }

private slots:
    void init() {
        m_fakes = new FakePlatform;
        m_view = new FakeTrialView;
        m_view->clock = &m_fakes->clock;
        m_module = new Module1;
        m_test = new ReactionTest(*m_module, m_fakes->platform(), *m_view);
        m_test->startSeries(1000);
    }
    void cleanup() {
        delete m_test;
        delete m_module;
        delete m_view;
        delete m_fakes;
    }

    // The matching key ends the trial at once; its time goes to the table and the window.
    void matchingKeyEndsTrial_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("delayMs");
        QTest::newRow("right at first frame") << int(StickSide::Right) << 1 << 245;
        QTest::newRow("left at frame 500") << int(StickSide::Left) << 500 << 180;
        QTest::newRow("right at frame 3000") << int(StickSide::Right) << 3000 << 7;
    }
    void matchingKeyEndsTrial() {
        QFETCH(int, side);
        QFETCH(int, frame);
        QFETCH(int, delayMs);
        const auto stickSide = StickSide(side);
        const int vk = stickSide == StickSide::Right ? kVkRight : kVkLeft;
        pressAtFrame(vk, frame, delayMs);

        m_test->DropStick(stickSide);

        // Frames are 100 µs apart: frame k is polled (k - 1) / 10 ms after the start.
        const int expected = delayMs + (frame - 1) / 10;
        QCOMPARE(m_module->TrialTimes[0], qint16(expected));
        QCOMPARE(m_view->time, QString::number(expected));
        QCOMPARE(m_view->count, QStringLiteral("1"));
        QCOMPARE(m_test->trialCount(), qint16(1));
        QCOMPARE(m_fakes->keys.readCount(vk), kBaseline + frame);
        QCOMPARE(m_fakes->keys.readCount(vk == kVkRight ? kVkLeft : kVkRight), 0);
        QCOMPARE(m_fakes->sleeper.sleeps, std::vector<int>{2000});
        // Both sticks are back at rest after the pause.
        DrawingSurface rest{3855, 9495, 1.0, Qt::white, Qt::black};
        DrawSticksAtRest(rest, rest);
        QCOMPARE(m_view->right.image(), rest.image());
        QCOMPARE(m_view->left.image(), rest.image());
    }

    // Without a key the stick falls out of its box after a fixed number of frames.
    void fullFallFrames_data() {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("frames");
        QTest::newRow("fastest setting 100") << 100 << 4826;
        QTest::newRow("default 1000") << 1000 << 10398;
        QTest::newRow("slow 10000") << 10000 << 22402;
    }
    void fullFallFrames() {
        QFETCH(int, speed);
        QFETCH(int, frames);
        m_test->startSeries(speed);
        m_test->DropStick(StickSide::Left);
        QCOMPARE(m_fakes->keys.readCount(kVkLeft), kBaseline + frames + 1);
        // Paced frames: the fall lasts frames × 100 µs (plus the fake clock's steps).
        QCOMPARE(m_module->TrialTimes[0], qint16(frames / 10));
        QCOMPARE(m_test->speedSetting(), speed);
    }

    // The other arrow key does not stop the fall.
    void otherKeyIgnored() {
        m_fakes->keys.setScript([](int key, int) -> qint16 {
            return key == kVkLeft ? qint16(kKeyDown | kPressedSinceLastQuery) : 0;
        });
        m_test->DropStick(StickSide::Right);
        QCOMPARE(m_fakes->keys.readCount(kVkRight), kBaseline + 10398 + 1);
        QCOMPARE(m_fakes->keys.readCount(kVkLeft), 0);
    }

    // A key held before the drop is the baseline; releasing it ends the trial.
    void releaseOfHeldKeyEnds() {
        const int releaseFrame = 40;
        m_fakes->keys.setScript([](int, int read) -> qint16 {
            if (read == 0)
                return qint16(kKeyDown | kPressedSinceLastQuery);
            return read < kBaseline + releaseFrame - 1 ? kKeyDown : 0;
        });
        m_test->DropStick(StickSide::Right);
        QCOMPARE(m_fakes->keys.readCount(kVkRight), kBaseline + releaseFrame);
    }

    // A press between two drops is used up by the baseline reads.
    void pressBetweenDropsAbsorbed() {
        m_fakes->keys.setScript(
            [](int, int read) -> qint16 { return read == 0 ? kPressedSinceLastQuery : 0; });
        m_test->DropStick(StickSide::Right);
        QCOMPARE(m_fakes->keys.readCount(kVkRight), kBaseline + 10398 + 1);
    }

    // Frame t starts no earlier than start + (t - 1) × 100 µs; a late frame is drawn at once
    // and does not shift the frames after it.
    void framesArePaced() {
        const int lateFrame = 50;
        m_fakes->keys.setScript([this](int, int read) -> qint16 {
            if (read == kBaseline + lateFrame - 1)
                m_fakes->clock.advance(1 * kMs); // this frame's drawing takes 1 ms
            return read == kBaseline + 200 - 1 ? kPressedSinceLastQuery : 0;
        });
        m_test->DropStick(StickSide::Right);

        const std::vector<std::int64_t>& reads = m_fakes->keys.readTimes(kVkRight);
        QCOMPARE(int(reads.size()), kBaseline + 200);
        const std::int64_t step = 1000; // the fake clock's step per read
        // Frame 1 starts on the reading right after the start reading.
        const std::int64_t start = reads[kBaseline] - step;
        for (int t = 1; t <= 200; ++t) {
            const std::int64_t begun = reads[size_t(kBaseline + t - 1)];
            const std::int64_t deadline = start + (t - 1) * kPeriod;
            QVERIFY2(begun >= deadline, qPrintable(QStringLiteral("frame %1 early").arg(t)));
            const bool catchingUp = t > lateFrame && t <= lateFrame + 10;
            if (catchingUp) {
                // Behind schedule: no waiting between these frames; the first of them
                // follows the slow frame's millisecond.
                const std::int64_t previous = reads[size_t(kBaseline + t - 2)];
                const std::int64_t slowFrame = t == lateFrame + 1 ? 1 * kMs : 0;
                QVERIFY2(begun - previous - slowFrame <= 2 * step,
                         qPrintable(QStringLiteral("frame %1 waited").arg(t)));
            } else {
                QVERIFY2(
                    begun - deadline <= step,
                    qPrintable(
                        QStringLiteral("frame %1 late by %2 ns").arg(t).arg(begun - deadline)));
            }
        }
    }

    // While it falls, the stick reaches the screen about every 8 ms, not every frame.
    void presentedAtDisplayPace() {
        m_fakes->keys.setScript([](int, int) -> qint16 { return 0; });
        m_view->presentTimes.clear();
        m_test->DropStick(StickSide::Right);
        // BeginDrop, about 1040 ms / 8 ms of fall, the fallen stick, both sticks at rest.
        const size_t presents = m_view->presentTimes.size();
        QVERIFY2(presents >= 1 + 125 + 1 + 2 && presents <= 1 + 131 + 1 + 2,
                 qPrintable(QString::number(presents)));
        for (size_t i = 2; i + 3 < presents; ++i) {
            const std::int64_t gap = m_view->presentTimes[i] - m_view->presentTimes[i - 1];
            QVERIFY2(gap >= 8 * kMs, qPrintable(QString::number(gap)));
        }
    }

    // Ten trials end the series; a new series overwrites the table trial by trial.
    void seriesOfTenAndOverwrite() {
        for (int i = 0; i < 10; ++i) {
            pressAtFrame(kVkRight, 1, 100 + i);
            m_fakes->keys.forget();
            m_test->DropStick(StickSide::Right);
            QCOMPARE(m_view->count, QString::number(i + 1));
            QCOMPARE(m_view->finished, i == 9 ? 1 : 0);
        }
        for (int i = 0; i < 10; ++i)
            QCOMPARE(m_module->TrialTimes[size_t(i)], qint16(100 + i));

        m_test->startSeries(1000);
        QCOMPARE(m_test->trialCount(), qint16(0));
        for (int i = 0; i < 2; ++i) {
            pressAtFrame(kVkLeft, 1, 300 + i);
            m_fakes->keys.forget();
            m_test->DropStick(StickSide::Left);
        }
        QCOMPARE(m_module->TrialTimes[0], qint16(300));
        QCOMPARE(m_module->TrialTimes[1], qint16(301));
        QCOMPARE(m_module->TrialTimes[2], qint16(102));
        QCOMPARE(m_module->TrialTimes[9], qint16(109));
    }

    // A trial beyond the 16-bit range of milliseconds is an overflow error.
    void overlongTrialOverflows() {
        pressAtFrame(kVkRight, 1, 32768);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_test->DropStick(StickSide::Right));
    }
    void longestTrialFits() {
        pressAtFrame(kVkRight, 1, 32767);
        m_test->DropStick(StickSide::Right);
        QCOMPARE(m_module->TrialTimes[0], qint16(32767));
    }

    // An eleventh trial has no place in the table.
    void eleventhTrialIsIndexError() {
        for (int i = 0; i < 10; ++i) {
            pressAtFrame(kVkRight, 1, 10);
            m_fakes->keys.forget();
            m_test->DropStick(StickSide::Right);
        }
        pressAtFrame(kVkRight, 1, 10);
        m_fakes->keys.forget();
        try {
            m_test->DropStick(StickSide::Right);
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
        m_fakes->random.values = {r};
        m_fakes->keys.setScript(
            [](int, int read) -> qint16 { return read == kBaseline ? kPressedSinceLastQuery : 0; });
        m_test->ChooseDrop();
        QCOMPARE(m_fakes->keys.readCount(kVkLeft) > 0 ? 1 : 0, leftReads);
        QCOMPARE(m_fakes->keys.readCount(kVkRight) > 0 ? 1 : 0, rightReads);
        QCOMPARE(m_fakes->random.seeds.size(), size_t(1));
        QCOMPARE(m_fakes->random.seeds[0], 36000.0f);
    }

    // With the real generator, re-seeded from the time of every tick, each outcome comes
    // about a third of the time. The bound fails a constant or noticeably biased generator.
    void chooseDropIsUniform() {
        MersenneRandom random;
        SteppingTimeOfDay timeOfDay(0.0f, 2.0f);
        const int ticks = 30000;
        int counts[4] = {};
        for (int i = 0; i < ticks; ++i) {
            const int c = chooseDropValue(random, timeOfDay);
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

QTEST_GUILESS_MAIN(TestDropTrial)
#include "tst_droptrial.moc"
