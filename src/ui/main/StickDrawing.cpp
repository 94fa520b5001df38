#include "StickDrawing.h"

#include "TrialTiming.h"

namespace {

const QColor kStickColour(255, 0, 0);
const QColor kBaseLineColour(0, 0, 0);
constexpr float kHalfStick = 300.0f;
constexpr int kMarkSpacing = 200;

float centreOf(const DrawingSurface& surface) {
    return surface.width() / 2.0f;
}

void drawBaseLine(DrawingSurface& surface, float c) {
    surface.line(0.0f, kRestBottom, 2.0f * c, kRestBottom, kBaseLineColour);
}

// A long mark at every multiple of 200 up to the limit and a short one 100 above it; the
// short mark of y = 0 lies above the box and is clipped. The limit is taken once.
void drawGraduations(DrawingSurface& surface, float c, double limit) {
    for (int y = 0; y <= limit; y += kMarkSpacing) {
        const auto fy = float(y);
        surface.line(c - kHalfStick, fy, c + 100.0f, fy);
        surface.line(c - kHalfStick, fy - 100.0f, c + 50.0f, fy - 100.0f);
    }
}

void drawStickAtRest(DrawingSurface& surface) {
    surface.clear();
    const float c = centreOf(surface);
    surface.box(c - kHalfStick, 0.0f, c + kHalfStick, kRestBottom, kStickColour);
    // After the stick, so that the line crosses its lower edge.
    drawBaseLine(surface, c);
    drawGraduations(surface, c, kRestBottom);
}

} // namespace

void DrawSticksAtRest(DrawingSurface& right, DrawingSurface& left) {
    drawStickAtRest(right);
    drawStickAtRest(left);
}

void BeginDrop(DrawingSurface& surface) {
    surface.clear();
    drawBaseLine(surface, centreOf(surface));
}

void DrawDropFrame(DrawingSurface& surface, double bottom) {
    const float c = centreOf(surface);
    surface.box(c - kHalfStick, 0.0f, c + kHalfStick, float(bottom), kStickColour);
    drawGraduations(surface, c, bottom);
}

std::int64_t firstFrameBelowRest(const DrawingSurface& surface, std::int32_t speed) {
    const int restRow = surface.toDevice(0.0f, kRestBottom).y();
    double bottom = kRestBottom;
    std::int64_t t = 1;
    while (surface.toDevice(0.0f, float(bottom)).y() <= restRow)
        bottom += fallIncrement(t++, speed);
    return t;
}
