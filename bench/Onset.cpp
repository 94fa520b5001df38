#include "Harness.h"

#include "ui/main/StickBox.h"
#include "ui/main/StickDrawing.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

// A second X client that watches one pixel column of the left stick box on the screen: a
// pixel inside the resting stick and the first pixel row below the stick's rest position.
class ScreenWatcher {
public:
    struct Sample {
        std::int64_t ns; // when the server's answer had arrived
        bool stickShown;
        bool rowBelowRestRed;
    };

    explicit ScreenWatcher(QWidget& box) {
        auto& surface = static_cast<StickBox&>(box).surface();
        const float c = surface.width() / 2.0f;
        // Right of every mark, inside the red stick.
        const QPoint inStick = surface.toDevice(c + 250.0f, kRestBottom / 2.0f);
        m_belowRest = surface.toDevice(c + 250.0f, kRestBottom).y() + 1;
        const qreal ratio = box.devicePixelRatioF();
        const QPoint origin = box.mapToGlobal(QPoint(0, 0)) * ratio;
        m_x = origin.x() + inStick.x();
        m_top = origin.y() + inStick.y();
        m_height = m_belowRest - inStick.y() + 1;
        m_belowRest -= inStick.y();
        m_display = XOpenDisplay(nullptr);
    }
    ~ScreenWatcher() { XCloseDisplay(m_display); }

    // Polls until told to stop, as fast as the server answers.
    std::vector<Sample> watchUntil(const std::atomic<bool>& stop, SteadyClock& clock) {
        std::vector<Sample> samples;
        const Window root = DefaultRootWindow(m_display);
        while (!stop.load()) {
            XImage* image =
                XGetImage(m_display, root, m_x, m_top, 1, unsigned(m_height), AllPlanes, ZPixmap);
            const std::int64_t now = clock.nowNs();
            if (!image)
                continue;
            const auto isRed = [](unsigned long pixel) { return (pixel & 0xffffff) == 0xff0000; };
            samples.push_back(
                {now, isRed(XGetPixel(image, 0, 0)), isRed(XGetPixel(image, 0, m_belowRest))});
            XDestroyImage(image);
        }
        return samples;
    }

    // The frame of a fall at this speed that first draws the stick's lower end into the row
    // below its rest position.
    static std::int64_t firstFrameBelowRest(const DrawingSurface& surface, std::int32_t speed) {
        const int restRow = surface.toDevice(0.0f, kRestBottom).y();
        double bottom = kRestBottom;
        std::int64_t t = 1;
        while (surface.toDevice(0.0f, float(bottom)).y() <= restRow)
            bottom += fallIncrement(t++, speed);
        return t;
    }

private:
    Display* m_display = nullptr;
    int m_x = 0;
    int m_top = 0;
    int m_height = 0;
    int m_belowRest = 0;
};

} // namespace

// What the user sees: falls at speed 1000 while a second X client polls the screen. The
// onset delay runs from the moment the paced frames put the stick's lower end into the row
// below rest (the frame's deadline) to the first answer that shows that row red; the stick
// is absent for as long as the pixel inside the resting stick is not red.
void measureOnset(BenchProgram& program) {
    QWidget& box = program.leftBox();
    ReactionSeries& test = program.series();
    RecordingKeys& keys = program.keys;
    SteadyClock& clock = program.clock;
    constexpr std::int32_t kSpeed = 1000;
    constexpr int kFalls = 24;
    ScreenWatcher watcher(box);
    const std::int64_t onsetFrame =
        ScreenWatcher::firstFrameBelowRest(static_cast<StickBox&>(box).surface(), kSpeed);
    std::vector<double> onsets;
    double absentMax = 0.0;
    for (int fall = 0; fall < kFalls; ++fall) {
        test.startSeries(kSpeed);
        keys.reset();
        std::atomic<bool> stop{false};
        std::vector<ScreenWatcher::Sample> samples;
        // The watcher stands in for the display, which takes no CPU from the program: it gets
        // a core of its own, the trial's busy wait the other, and the X server whichever is
        // free, as on a user's machine.
        std::thread watching([&] {
            pinToCore(1);
            samples = watcher.watchUntil(stop, clock);
        });
        pinToCore(0);
        usleep(20'000); // the watcher is polling before the trial begins
        test.DropStick(StickSide::Left);
        stop.store(true);
        watching.join();

        const std::int64_t deadline =
            keys.fallStartedNs.load() + (onsetFrame - 1) * kFramePeriod.count();
        const auto red = std::find_if(samples.begin(), samples.end(),
                                      [](const auto& s) { return s.rowBelowRestRed; });
        if (red != samples.end())
            onsets.push_back(double(red->ns - deadline) / 1e6);
        // From the first answer without the stick to the first with it again.
        std::int64_t absentSince = -1;
        for (const ScreenWatcher::Sample& sample : samples) {
            if (!sample.stickShown && absentSince < 0)
                absentSince = sample.ns;
            if (sample.stickShown && absentSince >= 0) {
                absentMax = std::max(absentMax, double(sample.ns - absentSince) / 1e6);
                absentSince = -1;
            }
        }
    }
    pinToCore(-1);
    if (onsets.size() != size_t(kFalls))
        std::printf("# the row below rest was seen red in %zu of %d falls\n", onsets.size(),
                    kFalls);
    print("onset_delay_ms_p50", percentile(onsets, 50), "ms");
    print("onset_delay_ms_max", percentile(onsets, 100), "ms");
    print("stick_absent_ms_max", absentMax, "ms");
}
