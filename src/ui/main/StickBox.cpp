#include "StickBox.h"

#include "platform/WindowPainter.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// The boxes' background is the caption-text system colour, white, so the marks drawn in
// their foreground colour are black.
const QColor kBoxBackground(255, 255, 255);
const QColor kBoxForeground(0, 0, 0);

} // namespace

StickBox::StickBox(const QSize& sizeTwips, WindowPainter& painter, QWidget* parent)
    : QWidget(parent)
    , m_surface(sizeTwips.width(), sizeTwips.height(), parent->devicePixelRatioF(), kBoxBackground,
                kBoxForeground)
    , m_painter(painter) {
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
    const QRect changed = m_changes.takeChangedArea();
    if (changed.isEmpty())
        return;
    if (putDirectly(changed)) {
        // Qt's backing store still holds the old picture; it catches up once the event loop
        // runs, so that a later exposure shows the picture as it is.
        update(changed);
        return;
    }
    repaint(changed);
}

bool StickBox::putDirectly(const QRect& area) {
    if (!isVisible())
        return false;
    QWidget* const top = window();
    const WId id = top->winId();
    if (!m_painter.canDraw(id))
        return false;
    const qreal ratio = m_surface.devicePixelRatio();
    const QRect source(area.topLeft() * ratio, area.size() * ratio);
    const QPoint origin = mapTo(top, QPoint(0, 0)) * ratio;
    m_painter.put(id, m_surface.image(), source, origin + source.topLeft());
    return true;
}
