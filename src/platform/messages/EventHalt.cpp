#include "EventHalt.h"

#include <QCoreApplication>
#include <QEvent>

void EventHalt::install(const QObjectList& roots) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // Owned by the application; the process ends with the message anyway.
    app->installEventFilter(new EventHalt(roots));
}

EventHalt::EventHalt(const QObjectList& roots)
    : QObject(QCoreApplication::instance()) {
    for (QObject* root : roots)
        m_roots.append(root);
}

bool EventHalt::eventFilter(QObject* receiver, QEvent* event) {
    switch (event->type()) {
    case QEvent::Timer:
    case QEvent::MetaCall:
    case QEvent::SockAct:
    case QEvent::SockClose:
        break;
    default:
        return false;
    }
    for (const QObject* object = receiver; object; object = object->parent()) {
        if (m_roots.contains(object))
            return true;
    }
    return false;
}
