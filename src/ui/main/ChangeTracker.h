#pragma once

#include "DrawingSurface.h"

#include <QImage>
#include <QRect>
#include <vector>

// Which part of a drawing surface's picture looks different from what was last put on
// screen. A falling stick repaints its whole length every frame, but only a few rows ever
// look different, and a frame that changes nothing must not cost a trip to the screen.
class ChangeTracker final : public FillListener {
public:
    // Listens to the surface's fills from now on; the picture as it is counts as on screen.
    explicit ChangeTracker(DrawingSurface& surface);
    ~ChangeTracker() override;
    ChangeTracker(const ChangeTracker&) = delete;
    ChangeTracker& operator=(const ChangeTracker&) = delete;

    // The part of the box, in logical pixels, whose pixels differ from the picture as it was
    // at the previous call; empty when nothing drawn since changed a pixel.
    QRect takeChangedArea();

    void filled(const QRect& deviceArea, QRgb colour) override;

private:
    // The same fills over again cannot change a pixel, so a frame that repeats the previous
    // frame's fills is known unchanged without comparing pixels.
    struct Fill {
        QRect rect;
        QRgb colour;
        bool operator==(const Fill&) const = default;
    };

    DrawingSurface& m_surface;
    QImage m_taken;                    // the picture at the last takeChangedArea()
    QRect m_touched;                   // device pixels drawn on since then
    std::vector<Fill> m_fills;         // since the last takeChangedArea()
    std::vector<Fill> m_previousFills; // between the two calls before
};
