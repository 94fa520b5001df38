#include "DrawingSurface.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

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
    m_taken = m_image.copy();
}

QPoint DrawingSurface::toDevice(float x, float y) const {
    return QPoint(int(std::floor(x * m_deviceScale)), int(std::floor(y * m_deviceScale)));
}

void DrawingSurface::fill(const QRect& deviceRect, const QColor& colour) {
    // A trial fills tens of thousands of rectangles, most of them one pixel row of a mark:
    // written straight into the pixels, a fill costs a fraction of QPainter's.
    const QRect area = deviceRect & m_image.rect();
    const QRgb value = colour.rgb();
    m_fills.push_back({area, value});
    if (area.isEmpty())
        return;
    uchar* const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(bits + y * stride) + area.left(), area.width(), value);
    m_touched |= area;
}

void DrawingSurface::clear() {
    fill(m_image.rect(), m_background);
}

void DrawingSurface::line(float x1, float y1, float x2, float y2) {
    line(x1, y1, x2, y2, m_foreground);
}

void DrawingSurface::line(float x1, float y1, float x2, float y2, QColor colour) {
    const QPoint from = toDevice(x1, y1);
    const QPoint to = toDevice(x2, y2);
    if (from.y() == to.y() || from.x() == to.x()) {
        // The sticks' lines are all horizontal: one pixel row is a plain fill, far cheaper
        // than the general line rasteriser.
        fill(QRect(from, to).normalized(), colour);
        return;
    }
    QPainter p(&m_image);
    p.setPen(QPen(colour, 1));
    p.drawLine(from, to);
    m_touched |= QRect(from, to).normalized() & m_image.rect();
    m_onlyFills = false;
}

void DrawingSurface::box(float x1, float y1, float x2, float y2, QColor colour) {
    fill(QRect(toDevice(x1, y1), toDevice(x2, y2)).normalized(), colour);
}

QRect DrawingSurface::takeChangedArea() {
    const QRect touched = std::exchange(m_touched, QRect());
    const bool repeated = m_onlyFills && m_previousOnlyFills && m_fills == m_previousFills;
    m_previousOnlyFills = m_onlyFills;
    m_previousFills.swap(m_fills);
    m_fills.clear();
    m_onlyFills = true;
    if (touched.isEmpty() || repeated)
        return QRect();
    // Row by row against the last picture taken.
    const qsizetype offset = qsizetype(touched.left()) * 4;
    const size_t bytes = size_t(touched.width()) * 4;
    uchar* const taken = m_taken.bits();
    int top = -1;
    int bottom = -1;
    for (int y = touched.top(); y <= touched.bottom(); ++y) {
        const uchar* now = m_image.constScanLine(y) + offset;
        uchar* before = taken + y * m_taken.bytesPerLine() + offset;
        if (std::memcmp(now, before, bytes) == 0)
            continue;
        std::memcpy(before, now, bytes);
        if (top < 0)
            top = y;
        bottom = y;
    }
    if (top < 0)
        return QRect();
    const auto logical = [this](int device) { return device / m_devicePixelRatio; };
    return QRect(QPoint(int(std::floor(logical(touched.left()))), int(std::floor(logical(top)))),
                 QPoint(int(std::ceil(logical(touched.right() + 1))) - 1,
                        int(std::ceil(logical(bottom + 1))) - 1));
}
