#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>

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
    const QImage& image();
    qreal devicePixelRatio() const { return m_devicePixelRatio; }

    // The part of the box, in logical pixels, that changed since the last call: putting only
    // that on screen keeps a falling stick's repaint small.
    QRect takeChangedArea();

    static constexpr double kTwipsPerPixel = 15.0;

private:
    QPoint toDevice(float x, float y) const;
    QPainter& painter();
    void fill(const QRect& deviceRect, const QColor& colour);

    float m_widthTwips;
    float m_heightTwips;
    qreal m_devicePixelRatio;
    double m_deviceScale;
    QColor m_background;
    QColor m_foreground;
    QImage m_image;
    QRect m_changed; // device pixels
    // A trial draws tens of thousands of operations; one painter stays open across them and
    // is closed only when the picture is read.
    QPainter m_painter;
};
