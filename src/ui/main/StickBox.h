#pragma once

#include "ChangeTracker.h"
#include "DrawingSurface.h"

#include <QWidget>

class WindowPainter;

// A picture box in which a stick stands and falls. It shows its drawing surface's image, so
// its picture survives being covered.
class StickBox final : public QWidget {
    Q_OBJECT
public:
    // What changed goes straight onto the window through the painter, or, where it cannot
    // draw on the window, through a Qt repaint.
    StickBox(const QSize& sizeTwips, WindowPainter& painter, QWidget* parent);

    DrawingSurface& surface() { return m_surface; }
    // Puts what changed in the picture on screen now, without the event loop.
    void presentNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool putDirectly(const QRect& area);

    DrawingSurface m_surface;
    ChangeTracker m_changes{m_surface};
    WindowPainter& m_painter;
};
