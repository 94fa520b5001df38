#include "DrawingSurface.h"

#include <cmath>
#include <utility>

DrawingSurface::DrawingSurface(int widthTwips, int heightTwips, qreal devicePixelRatio,
                               QColor background, QColor foreground)
    : m_widthTwips(float(widthTwips))
    , m_heightTwips(float(heightTwips))
    , m_devicePixelRatio(devicePixelRatio)
    , m_deviceScale(devicePixelRatio / kTwipsPerPixel)
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

QPainter& DrawingSurface::painter() {
    if (!m_painter.isActive())
        m_painter.begin(&m_image);
    return m_painter;
}

void DrawingSurface::fill(const QRect& deviceRect, const QColor& colour) {
    painter().fillRect(deviceRect, colour);
    m_changed |= deviceRect & m_image.rect();
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
    QPainter& p = painter();
    p.setPen(QPen(colour, 1));
    p.drawLine(from, to);
    m_changed |= QRect(from, to).normalized() & m_image.rect();
}

void DrawingSurface::box(float x1, float y1, float x2, float y2, QColor colour) {
    fill(QRect(toDevice(x1, y1), toDevice(x2, y2)).normalized(), colour);
}

const QImage& DrawingSurface::image() {
    if (m_painter.isActive())
        m_painter.end();
    return m_image;
}

QRect DrawingSurface::takeChangedArea() {
    const QRect changed = std::exchange(m_changed, QRect());
    if (changed.isEmpty())
        return QRect();
    const auto logical = [this](int device) { return device / m_devicePixelRatio; };
    return QRect(
        QPoint(int(std::floor(logical(changed.left()))), int(std::floor(logical(changed.top())))),
        QPoint(int(std::ceil(logical(changed.right() + 1))) - 1,
               int(std::ceil(logical(changed.bottom() + 1))) - 1));
}
