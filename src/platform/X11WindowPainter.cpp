#include "X11WindowPainter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

X11WindowPainter::~X11WindowPainter() {
    if (!m_display)
        return;
    if (m_gc)
        XFreeGC(m_display, static_cast<GC>(m_gc));
    XCloseDisplay(m_display);
}

bool X11WindowPainter::canDraw(unsigned long window) {
    if (window == m_window)
        return m_windowUsable;
    if (!m_display && !m_connectionFailed) {
        m_display = XOpenDisplay(nullptr);
        m_connectionFailed = !m_display;
    }
    if (!m_display)
        return false;
    if (m_gc) {
        XFreeGC(m_display, static_cast<GC>(m_gc));
        m_gc = nullptr;
    }
    m_window = window;
    m_windowUsable = false;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(m_display, window, &attributes) || !attributes.visual)
        return false;
    const Visual* visual = attributes.visual;
    if (visual->c_class != TrueColor || visual->red_mask != 0xff0000 ||
        visual->green_mask != 0xff00 || visual->blue_mask != 0xff ||
        (attributes.depth != 24 && attributes.depth != 32))
        return false;
    m_gc = XCreateGC(m_display, window, 0, nullptr);
    m_depth = attributes.depth;
    m_visual = attributes.visual;
    m_windowUsable = m_gc != nullptr;
    return m_windowUsable;
}

void X11WindowPainter::put(unsigned long window, const QImage& image, const QRect& source,
                           const QPoint& target) {
    if (!canDraw(window) || image.format() != QImage::Format_RGB32)
        return;
    const QRect part = source & image.rect();
    if (part.isEmpty())
        return;
    // An image header over Qt's pixels; Xlib converts the byte order if the server's differs.
    XImage* header = XCreateImage(
        m_display, static_cast<Visual*>(m_visual), unsigned(m_depth), ZPixmap, 0,
        reinterpret_cast<char*>(const_cast<uchar*>(image.constScanLine(part.top()))),
        unsigned(image.width()), unsigned(part.height()), 32, int(image.bytesPerLine()));
    if (!header)
        return;
    header->byte_order = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? LSBFirst : MSBFirst;
    XPutImage(m_display, window, static_cast<GC>(m_gc), header, part.left(), 0,
              target.x() + (part.left() - source.left()), target.y() + (part.top() - source.top()),
              unsigned(part.width()), unsigned(part.height()));
    XFlush(m_display);
    header->data = nullptr; // Qt's pixels
    XDestroyImage(header);
}
