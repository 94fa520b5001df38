#pragma once

#include "WindowPainter.h"

struct _XDisplay;

// Puts parts of an image straight onto an X window through a connection of its own: one
// small request each, sent at once, no round trip.
class X11WindowPainter final : public WindowPainter {
public:
    X11WindowPainter() = default;
    ~X11WindowPainter() override;
    X11WindowPainter(const X11WindowPainter&) = delete;
    X11WindowPainter& operator=(const X11WindowPainter&) = delete;

    // Whether the window takes the 32-bit pixels of a QImage::Format_RGB32 image as they are:
    // the connection opens and the window's visual is true colour with 8-bit red, green and
    // blue. Asks the server once per window.
    bool canDraw(unsigned long window) override;
    void put(unsigned long window, const QImage& image, const QRect& source,
             const QPoint& target) override;

private:
    _XDisplay* m_display = nullptr;
    bool m_connectionFailed = false;
    unsigned long m_window = 0;
    bool m_windowUsable = false;
    void* m_gc = nullptr;
    int m_depth = 0;
    void* m_visual = nullptr;
};
