#include "StickBox.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// The boxes' background is the caption-text system colour, white, so the marks drawn in
// their foreground colour are black.
const QColor kBoxBackground(255, 255, 255);
const QColor kBoxForeground(0, 0, 0);

} // namespace

StickBox::StickBox(const QRect& geometryTwips, QWidget* parent)
    : QWidget(parent)
    , m_surface(geometryTwips.width(), geometryTwips.height(), parent->devicePixelRatioF(),
                kBoxBackground, kBoxForeground) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void StickBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QImage& image = m_surface.image();
    const QRect area = event->rect();
    const qreal ratio = m_surface.devicePixelRatio();
    painter.drawImage(
        area, image,
        QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio));
}

void StickBox::presentNow() {
    const QRect changed = m_surface.takeChangedArea();
    if (!changed.isEmpty())
        repaint(changed);
}
