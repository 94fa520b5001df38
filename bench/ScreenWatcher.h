#pragma once

#include "Harness.h"

#include "ui/main/StickBox.h"
#include "ui/main/StickDrawing.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <atomic>
#include <functional>
#include <vector>

// A second X client that watches one pixel column of the left stick box on the screen (the
// watched screen's): a pixel inside the resting stick and the first pixel row below the
// stick's rest position.
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
        const WatchedScreen& screen = watchedScreen();
        m_x = screen.offset.x() + origin.x() + inStick.x();
        m_top = screen.offset.y() + origin.y() + inStick.y();
        m_height = m_belowRest - inStick.y() + 1;
        m_belowRest -= inStick.y();
        m_display = XOpenDisplay(screen.display.isEmpty() ? nullptr : screen.display.constData());
    }
    ~ScreenWatcher() { XCloseDisplay(m_display); }

    // Polls until told to stop, or until `onSample` says so, as fast as the server answers.
    std::vector<Sample> watchUntil(const std::atomic<bool>& stop, SteadyClock& clock,
                                   const std::function<bool(const Sample&)>& onSample = {}) {
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
            if (onSample && onSample(samples.back()))
                break;
        }
        return samples;
    }

private:
    Display* m_display = nullptr;
    int m_x = 0;
    int m_top = 0;
    int m_height = 0;
    int m_belowRest = 0;
};
