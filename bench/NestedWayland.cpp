#include "Participant.h"

#include <QThread>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// How long a bare X window's change takes to show on the host: a window of its own on Xwayland
// turns from white to red, and the host's screen is read until it shows red. What the nested
// compositor and its host window add, with no correction at all.
std::vector<double> plainWindowLagMs(SteadyClock& clock, int flips) {
    Display* own = XOpenDisplay(nullptr);
    const WatchedScreen& screen = watchedScreen();
    Display* host = XOpenDisplay(screen.display.constData());
    const unsigned long white = WhitePixel(own, DefaultScreen(own));
    const unsigned long red = 0xff0000;
    const Window window =
        XCreateSimpleWindow(own, DefaultRootWindow(own), 0, 0, 200, 200, 0, white, white);
    XMapRaised(own, window);
    XSync(own, False);
    QThread::msleep(1500); // placed and shown by the compositor
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(own, window, DefaultRootWindow(own), 100, 100, &x, &y, &child);
    const auto hostShowsRed = [&] {
        XImage* image = XGetImage(host, DefaultRootWindow(host), screen.offset.x() + x,
                                  screen.offset.y() + y, 1, 1, AllPlanes, ZPixmap);
        const bool shown = image && (XGetPixel(image, 0, 0) & 0xffffff) == red;
        if (image)
            XDestroyImage(image);
        return shown;
    };
    std::vector<double> lags;
    for (int flip = 0; flip < flips; ++flip) {
        XSetWindowBackground(own, window, white);
        XClearWindow(own, window);
        XSync(own, False);
        QThread::msleep(300);
        XSetWindowBackground(own, window, red);
        XClearWindow(own, window);
        XFlush(own);
        const std::int64_t flipped = clock.nowNs();
        while (!hostShowsRed() && clock.nowNs() - flipped < 1'000'000'000) {
        }
        lags.push_back(double(clock.nowNs() - flipped) / 1e6);
    }
    XDestroyWindow(own, window);
    XCloseDisplay(own);
    XCloseDisplay(host);
    return lags;
}

void printSpread(const std::string& name, const std::vector<double>& values) {
    double sum = 0.0;
    for (double v : values)
        sum += v / double(values.size());
    print((name + "_mean").c_str(), sum, "ms");
    print((name + "_min").c_str(), percentile(values, 0), "ms");
    print((name + "_max").c_str(), percentile(values, 100), "ms");
}

void printParticipant(const std::string& prefix, const ParticipantFigures& f) {
    print((prefix + "recorded_beyond_onset_ms_mean").c_str(), f.recordedMean, "ms");
    print((prefix + "recorded_beyond_onset_ms_max").c_str(), f.recordedMax, "ms");
    print((prefix + "beyond_onset_ms_mean").c_str(), f.correctedMean, "ms");
    print((prefix + "beyond_onset_ms_sd").c_str(), f.correctedSd, "ms");
    print((prefix + "beyond_onset_ms_min").c_str(), f.correctedMin, "ms");
    print((prefix + "beyond_onset_ms_max").c_str(), f.correctedMax, "ms");
    print((prefix + "falls_timed_from_report").c_str(), f.reported, "falls");
}

} // namespace

// Run by the composited measurement as a program of its own on the Xwayland of a nested
// mutter --wayland, the participant reading the host's screen where mutter shows its output.
// The host window adds a lag of its own, which no program on Xwayland knows: a bare window's
// lag is measured beside the program's falls, before and after them. The program's figures
// are printed as recorded (no correction) and as the trial records them (corrected by
// mutter's reports, which end where mutter drew, short of the host window).
void measureNestedWayland(BenchProgram& program) {
    printSpread("mutter_wayland_plain_window_lag_ms", plainWindowLagMs(program.clock, 15));
    printParticipant("mutter_wayland_at_once_", participantFalls(program, 20, false));
    printParticipant("mutter_wayland_after_150ms_", participantFalls(program, 20, false, 150));
    printSpread("mutter_wayland_plain_window_lag_after_ms", plainWindowLagMs(program.clock, 15));
}
