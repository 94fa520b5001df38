#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

// From a fatal error on, nothing of the program runs again. Its message is shown in a box
// whose event loop would otherwise go on delivering the series timer's ticks, queued calls
// and socket events to the windows behind it: a trial would start, the results open and a
// score be saved for a series that ended in an error. Once installed, the filter drops such
// events for every object under the given roots (the windows that existed before the
// message); what comes after them, the message box, works as usual.
class EventHalt final : public QObject {
public:
    static void install(const QObjectList& roots);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    explicit EventHalt(const QObjectList& roots);

    QList<QPointer<QObject>> m_roots;
};
