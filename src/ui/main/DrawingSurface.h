#pragma once

#include "ui/Twips.h"

#include <QColor>
#include <QImage>

// Told of every fill a drawing surface makes, in device pixels, so that what changed can be
// put on screen (ChangeTracker).
class FillListener {
public:
    virtual ~FillListener() = default;
    virtual void filled(const QRect& deviceArea, QRgb colour) = 0;
};

// The drawing operations of a stick box, in twips (15 per logical pixel) measured from the
// box's top-left corner, x to the right and y downwards. It draws into an image that the
// box widget shows, so a covered and uncovered box keeps its picture. What lies outside the
// box is clipped. Every operation is a fill of device pixels: the sticks draw only
// horizontal lines, and a line is the one-pixel-thick rectangle between its ends.
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

    // The device pixel that a point in twips falls on.
    QPoint toDevice(float x, float y) const;

    // Null, or the one listener told of every fill.
    void setFillListener(FillListener* listener) { m_listener = listener; }

private:
    void fill(const QRect& deviceRect, const QColor& colour);

    float m_widthTwips;
    float m_heightTwips;
    qreal m_devicePixelRatio;
    double m_deviceScale;
    QColor m_background;
    QColor m_foreground;
    QImage m_image;
    FillListener* m_listener = nullptr;
};
