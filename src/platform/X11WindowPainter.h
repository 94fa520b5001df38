#pragma once

#include <QImage>
#include <QRect>

struct _XDisplay;

// Puts parts of an image straight onto an X window through a connection of its own: one
// small request each, sent at once, no round trip. A trial never returns to the event loop,
// and a repaint through Qt's backing store costs a frame or more, while the picture of a
// falling stick must be on screen as soon as it is drawn.
class X11WindowPainter {
public:
    X11WindowPainter() = default;
    ~X11WindowPainter();
    X11WindowPainter(const X11WindowPainter&) = delete;
    X11WindowPainter& operator=(const X11WindowPainter&) = delete;

    // Whether the window takes the 32-bit pixels of a QImage::Format_RGB32 image as they are:
    // the connection opens and the window's visual is true colour with 8-bit red, green and
    // blue. Asks the server once per window.
    bool canDraw(unsigned long window);
    // Puts the part `source` of the image (its pixels) at `target` in the window.
    void put(unsigned long window, const QImage& image, const QRect& source, const QPoint& target);

private:
    _XDisplay* m_display = nullptr;
    bool m_connectionFailed = false;
    unsigned long m_window = 0;
    bool m_windowUsable = false;
    void* m_gc = nullptr;
    int m_depth = 0;
    void* m_visual = nullptr;
};
