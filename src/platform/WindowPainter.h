#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

// Puts part of a picture straight onto a top-level window, past Qt's backing store. A trial
// never returns to the event loop, and a repaint through the backing store costs a frame or
// more, while the picture of a falling stick must be on screen as soon as it is drawn.
class WindowPainter {
public:
    virtual ~WindowPainter() = default;
    // Whether this painter can draw on the window (given by its native id) at all; where it
    // cannot, the caller repaints through Qt.
    virtual bool canDraw(unsigned long window) = 0;
    // Puts the part `source` of the image (its pixels) at `target` in the window.
    virtual void put(unsigned long window, const QImage& image, const QRect& source,
                     const QPoint& target) = 0;
};
