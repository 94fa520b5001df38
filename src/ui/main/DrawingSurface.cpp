#include "DrawingSurface.h"

#include <algorithm>
#include <cmath>

DrawingSurface::DrawingSurface(int widthTwips, int heightTwips, qreal devicePixelRatio,
                               QColor background, QColor foreground)
    : m_widthTwips(float(widthTwips))
    , m_heightTwips(float(heightTwips))
    , m_devicePixelRatio(devicePixelRatio)
    , m_deviceScale(devicePixelRatio / double(kTwipsPerPixel))
    , m_background(background)
    , m_foreground(foreground)
    , m_image(int(std::lround(widthTwips * m_deviceScale)),
              int(std::lround(heightTwips * m_deviceScale)), QImage::Format_RGB32) {
    // The image's own ratio stays 1: a painter would scale by it, and the drawing already
    // works in device pixels.
    m_image.fill(m_background);
}

QPoint DrawingSurface::toDevice(float x, float y) const {
    return QPoint(int(std::floor(x * m_deviceScale)), int(std::floor(y * m_deviceScale)));
}

void DrawingSurface::fill(const QRect& deviceRect, const QColor& colour) {
    // A trial fills tens of thousands of rectangles, most of them one pixel row of a mark:
    // written straight into the pixels, a fill costs a fraction of QPainter's.
    const QRect area = deviceRect & m_image.rect();
    const QRgb value = colour.rgb();
    if (m_listener)
        m_listener->filled(area, value);
    if (area.isEmpty())
        return;
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(bits + y * stride) + area.left(), area.width(), value);
}

void DrawingSurface::clear() {
    fill(m_image.rect(), m_background);
}

void DrawingSurface::line(float x1, float y1, float x2, float y2) {
    line(x1, y1, x2, y2, m_foreground);
}

void DrawingSurface::line(float x1, float y1, float x2, float y2, QColor colour) {
    // The sticks' lines are horizontal: the one pixel row between the ends.
    box(x1, y1, x2, y2, colour);
}

void DrawingSurface::box(float x1, float y1, float x2, float y2, QColor colour) {
    fill(QRect(toDevice(x1, y1), toDevice(x2, y2)).normalized(), colour);
}
