#include "ChangeTracker.h"

#include <cmath>
#include <cstring>
#include <utility>

ChangeTracker::ChangeTracker(DrawingSurface& surface)
    : m_surface(surface)
    , m_taken(surface.image().copy()) {
    m_surface.setFillListener(this);
}

ChangeTracker::~ChangeTracker() {
    m_surface.setFillListener(nullptr);
}

void ChangeTracker::filled(const QRect& deviceArea, QRgb colour) {
    m_fills.push_back({deviceArea, colour});
    m_touched |= deviceArea;
}

QRect ChangeTracker::takeChangedArea() {
    const QRect touched = std::exchange(m_touched, QRect());
    const bool repeated = m_fills == m_previousFills;
    m_previousFills.swap(m_fills);
    m_fills.clear();
    if (touched.isEmpty() || repeated)
        return QRect();
    // Row by row against the last picture taken.
    const QImage& image = m_surface.image();
    const qsizetype offset = qsizetype(touched.left()) * 4;
    const size_t bytes = size_t(touched.width()) * 4;
    uchar* const taken = m_taken.bits();
    int top = -1;
    int bottom = -1;
    for (int y = touched.top(); y <= touched.bottom(); ++y) {
        const uchar* now = image.constScanLine(y) + offset;
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
    const qreal ratio = m_surface.devicePixelRatio();
    const auto logical = [ratio](int device) { return device / ratio; };
    return QRect(QPoint(int(std::floor(logical(touched.left()))), int(std::floor(logical(top)))),
                 QPoint(int(std::ceil(logical(touched.right() + 1))) - 1,
                        int(std::ceil(logical(bottom + 1))) - 1));
}
