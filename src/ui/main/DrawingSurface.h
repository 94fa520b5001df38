#pragma once

#include "ui/Twips.h"

#include <QColor>
#include <QImage>
#include <vector>

// The drawing operations of a stick box, in twips (15 per logical pixel) measured from the
// box's top-left corner, x to the right and y downwards. It draws into an image that the
// box widget shows, so a covered and uncovered box keeps its picture. What lies outside the
// box is clipped.
class DrawingSurface {
public:
    DrawingSurface(int widthTwips, int heightTwips, qreal devicePixelRatio, QColor background,
                   QColor foreground);

    float width() const { return m_widthTwips; }
    float height() const { return m_heightTwips; }

    // Fills the whole box with its background colour.
    void clear();
    // A one-pixel line in the box's foreground colour, or in the colour given.
    void line(float x1, float y1, float x2, float y2);
    void line(float x1, float y1, float x2, float y2, QColor colour);
    // The filled rectangle with these opposite corners, both included.
    void box(float x1, float y1, float x2, float y2, QColor colour);

    // The picture so far, in device pixels.
    const QImage& image() const { return m_image; }
    qreal devicePixelRatio() const { return m_devicePixelRatio; }

    // The part of the box, in logical pixels, whose pixels differ from the picture as it was
    // at the previous call; empty when nothing drawn since changed a pixel. A falling stick
    // repaints its whole length every frame, but only a few rows ever look different, and a
    // frame that changes nothing must not cost a trip to the screen.
    QRect takeChangedArea();

    // The device pixel that a point in twips falls on.
    QPoint toDevice(float x, float y) const;

private:
    void fill(const QRect& deviceRect, const QColor& colour);

    float m_widthTwips;
    float m_heightTwips;
    qreal m_devicePixelRatio;
    double m_deviceScale;
    QColor m_background;
    QColor m_foreground;
    QImage m_image;
    QImage m_taken;  // the picture at the last takeChangedArea()
    QRect m_touched; // device pixels drawn on since then

    // Fills in device pixels. The same fills over again cannot change a pixel, so a frame
    // that repeats the previous frame's fills is known unchanged without comparing pixels.
    struct Fill {
        QRect rect;
        QRgb colour;
        bool operator==(const Fill&) const = default;
    };
    std::vector<Fill> m_fills;         // since the last takeChangedArea()
    std::vector<Fill> m_previousFills; // between the two calls before
    bool m_onlyFills = false;          // nothing but fills since the last call
    bool m_previousOnlyFills = false;  // nothing but fills between the two calls before
};
