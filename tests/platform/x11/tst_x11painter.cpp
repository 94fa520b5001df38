#include "app/Module1.h"
#include "platform/x11/X11WindowPainter.h"
#include "support/Fakes.h"
#include "support/TestEnvironment.h"
#include "ui/main/Form1.h"
#include "ui/main/StickBox.h"
#include "ui/main/StickDrawing.h"
#include "ui/main/TrialTiming.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/sync.h>
#include <dlfcn.h>

namespace {

constexpr std::int64_t kMs = 1'000'000;
// What the stand-in compositor reports of the frame with counter value c: drawn 3 ms + c µs
// after it was put, shown 2 ms after that, on a 60 Hz screen.
constexpr std::int64_t kDrawnDelayUs = 3'000;
constexpr std::int64_t kOffsetUs = 2'000;
constexpr std::int64_t kRefreshUs = 16'667;

// The painter's requests in the order it makes them ('o' counter odd, 'e' even, 'p' a
// picture, 's' a round trip): the test's own definitions stand before Xlib's and pass each call
// on.
std::vector<char> requests;

template <typename F> F* real(const char* name) {
    return reinterpret_cast<F*>(dlsym(RTLD_NEXT, name));
}

// The n-th frame the painter puts carries counter value 4n; this clock says it was put at
// 4n ms, as the stand-in compositor takes it.
class CounterClock final : public Clock {
public:
    std::int64_t nowNs() override { return ++puts * 4 * kMs; }
    std::int64_t puts = 0;
};

} // namespace

extern "C" int XPutImage(Display* d, Drawable w, GC gc, XImage* image, int sx, int sy, int dx,
                         int dy, unsigned width, unsigned height) {
    requests.push_back('p');
    return real<decltype(XPutImage)>("XPutImage")(d, w, gc, image, sx, sy, dx, dy, width, height);
}

extern "C" Status XSyncSetCounter(Display* d, XSyncCounter counter, XSyncValue value) {
    requests.push_back(XSyncValueLow32(value) % 2 ? 'o' : 'e');
    return real<decltype(XSyncSetCounter)>("XSyncSetCounter")(d, counter, value);
}

extern "C" int XSync(Display* d, Bool discard) {
    requests.push_back('s');
    return real<decltype(XSync)>("XSync")(d, discard);
}

// The drop trial on a real window under a compositor that reports its frames: a stand-in
// (tests/support/StandInCompositor.cpp) beside openbox on the test's Xvfb.
class TestX11Painter : public QObject {
    Q_OBJECT
private slots:
    // Two falls in a row: each is timed from when the stand-in said the frame that first moved
    // the stick was shown, exactly; every picture went out while its frame's counter was odd
    // and was taken by the server before the counter said done.
    // Covered and uncovered afterwards, the window shows the sticks as they are.
    void fallsTimedFromTheReportedShowing_data() {
        QTest::addColumn<bool>("startedBeforeTheWindow");
        QTest::newRow("compositor there when the window was shown") << true;
        // The desktop is looked at anew when a series starts.
        QTest::newRow("compositor started after the window was shown") << false;
    }
    void fallsTimedFromTheReportedShowing() {
        QFETCH(bool, startedBeforeTheWindow);
        QProcess compositor;
        const auto startCompositor = [&] {
            compositor.start(QStringLiteral(GREIFHOLM_STANDIN_COMPOSITOR),
                             {QString::number(kDrawnDelayUs), QString::number(kOffsetUs),
                              QString::number(kRefreshUs)});
            return compositor.waitForReadyRead(10'000) && compositor.readLine() == "ready\n";
        };
        // The stand-in adds to the window manager's _NET_SUPPORTED, which the next row must
        // find as the window manager left it.
        Display* const display = XOpenDisplay(nullptr);
        const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
        unsigned char* atoms = nullptr;
        unsigned long count = 0;
        unsigned long after = 0;
        Atom type = 0;
        int format = 0;
        XGetWindowProperty(display, DefaultRootWindow(display), supported, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &atoms);
        QVERIFY(!startedBeforeTheWindow || startCompositor());
        const auto stop = qScopeGuard([&] {
            compositor.kill();
            compositor.waitForFinished();
            XChangeProperty(display, DefaultRootWindow(display), supported, XA_ATOM, 32,
                            PropModeReplace, atoms, int(count));
            XFree(atoms);
            XCloseDisplay(display);
        });

        TestEnvironment env;
        FakePlatform fakes(0);
        CounterClock paintClock;
        X11WindowPainter painter(paintClock);
        Module1 module;
        const WindowsPaths paths = env.paths();
        Form1 form(module,
                   Platform{fakes.clock, fakes.keys, fakes.sleeper, fakes.random, fakes.timeOfDay,
                            fakes.errors, fakes.lockWait, painter, fakes.scheduling},
                   paths);
        form.load();
        painter.synchroniseFrames(form.winId());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(startedBeforeTheWindow || startCompositor());
        compositor.write(QByteArray::number(qulonglong(form.winId())) + '\n');
        compositor.waitForBytesWritten();
        auto& box = *form.findChild<StickBox*>(QStringLiteral("Picture2"));
        const std::int64_t moved = firstFrameBelowRest(box.surface(), 1000);

        // The poll after the frame that moved the stick sees the key once the stand-in has
        // answered that frame, the last one put.
        std::int64_t marked = 0;
        fakes.keys.setScript([&](int, int read) -> qint16 {
            if (read != kBaselineReads + moved)
                return 0;
            marked = paintClock.puts * 4;
            const QByteArray drawn = "drawn " + QByteArray::number(marked) + '\n';
            // A stand-in that never answers makes the fall's check fail, not the test hang.
            const QDeadlineTimer patience(10'000);
            while (!patience.hasExpired() &&
                   !(compositor.canReadLine() && compositor.readLine() == drawn)) {
                if (!compositor.canReadLine())
                    compositor.waitForReadyRead(100);
            }
            fakes.clock.advance(200 * kMs);
            return kKeyDown | kPressedSinceLastQuery;
        });
        form.series().startSeries(1000);
        for (int fall = 0; fall < 2; ++fall) {
            fakes.keys.forget();
            requests.clear();
            form.series().DropStick(StickSide::Left);
            const ReactionSeries::Fall& f = form.series().lastFall();
            QCOMPARE(f.shownLateNs, (kDrawnDelayUs + marked + kOffsetUs) * 1000);
            QCOMPARE(module.TrialTimes[size_t(fall)],
                     qint16(f.endNs / kMs - (f.startNs + f.shownLateNs) / kMs));
            const std::string order(requests.begin(), requests.end());
            QVERIFY2(order.size() % 4 == 0, order.c_str());
            for (size_t i = 0; i < order.size(); i += 4)
                QCOMPARE(order.substr(i, 4), std::string("opse"));
        }

        const QPoint inStick = box.mapToGlobal(
            box.surface().toDevice(box.surface().width() / 2.0f + 250.0f, kRestBottom / 2.0f));
        XSetWindowAttributes cover{};
        cover.override_redirect = True;
        const Window coverWindow =
            XCreateWindow(display, DefaultRootWindow(display), 0, 0, 2000, 2000, 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect, &cover);
        XMapRaised(display, coverWindow);
        XSync(display, False);
        XDestroyWindow(display, coverWindow);
        XSync(display, False);
        QTest::qWait(200);
        XImage* shown = XGetImage(display, DefaultRootWindow(display), inStick.x(), inStick.y(), 1,
                                  1, AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(shown, 0, 0) & 0xffffff;
        XDestroyImage(shown);
        QCOMPARE(pixel, 0xff0000ul);
    }
};

QTEST_MAIN(TestX11Painter)
#include "tst_x11painter.moc"
