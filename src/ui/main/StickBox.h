#pragma once

#include "DrawingSurface.h"

#include <QWidget>

class X11WindowPainter;

// A picture box in which a stick stands and falls. It shows its drawing surface's image, so
// its picture survives being covered.
class StickBox final : public QWidget {
    Q_OBJECT
public:
    // With a painter, what changed goes straight onto the window's X window; without one
    // (other platforms, or a window the painter cannot draw on), through a Qt repaint.
    StickBox(const QSize& sizeTwips, X11WindowPainter* painter, QWidget* parent);

    DrawingSurface& surface() { return m_surface; }
    // Puts what changed in the picture on screen now, without the event loop.
    void presentNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool putDirectly(const QRect& area);

    DrawingSurface m_surface;
    X11WindowPainter* m_painter;
};
