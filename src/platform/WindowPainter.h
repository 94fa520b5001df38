#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <cstdint>
#include <optional>

// Puts part of a picture straight onto a top-level window, past Qt's backing store. A trial
// never returns to the event loop, and a repaint through the backing store costs a frame or
// more, while the picture of a falling stick must be on screen as soon as it is drawn.
//
// On a composited desktop the picture reaches the screen only when the compositor next
// repaints; a compositor that reports its frames says when that was.
class WindowPainter {
public:
    virtual ~WindowPainter() = default;
    // Whether this painter can draw on the window (given by its native id) at all; where it
    // cannot, the caller repaints through Qt.
    virtual bool canDraw(unsigned long window) = 0;
    // Puts the part `source` of the image (its pixels) at `target` in the window.
    virtual void put(unsigned long window, const QImage& image, const QRect& source,
                     const QPoint& target) = 0;
    // A fall begins.
    virtual void startFall() = 0;
    // The next frame put is the one whose showing counts: the fall's first that visibly moves
    // the stick.
    virtual void markNextFrame() = 0;
    // How much later than drawn the compositor showed the marked frame, by its own report;
    // waits for that report at most `wait`, handling no input meanwhile. Nothing where no
    // compositor reports, no frame was marked and put, or the report is missing or implausible
    // (shown before drawn, or after `keyNs`, the moment the key ended the fall).
    virtual std::optional<std::int64_t> markedFrameShownLateNs(std::int64_t keyNs,
                                                               std::chrono::milliseconds wait) = 0;
    // A series runs (true) or is over (false). A compositor that reports no frames delays
    // every picture by a repaint or more, unknown to the program, so while a series runs it is
    // asked to stand aside; afterwards the desktop composes as before.
    virtual void bypassCompositor(bool bypass) = 0;
};
