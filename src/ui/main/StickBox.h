#pragma once

#include "DrawingSurface.h"

#include <QWidget>

// A picture box in which a stick stands and falls. It shows its drawing surface's image, so
// its picture survives being covered.
class StickBox final : public QWidget {
    Q_OBJECT
public:
    StickBox(const QRect& geometryTwips, QWidget* parent);

    DrawingSurface& surface() { return m_surface; }
    // Puts what changed in the picture on screen now, without the event loop.
    void presentNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawingSurface m_surface;
};
