#include "RealtimeKit.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace RealtimeKit {

namespace {

const QString kService = QStringLiteral("org.freedesktop.RealtimeKit1");
const QString kPath = QStringLiteral("/org/freedesktop/RealtimeKit1");
constexpr int kTimeoutMs = 500;

// One of RealtimeKit's properties, or `fallback` when it cannot be read.
qlonglong property(QDBusConnection& bus, const QString& name, qlonglong fallback) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kService << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return fallback;
    return reply.arguments().first().value<QDBusVariant>().variant().toLongLong();
}

} // namespace

int makeThreadRealtime(int priority) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return 0;
    const qlonglong maxPriority = property(bus, QStringLiteral("MaxRealtimePriority"), 0);
    const qlonglong maxRtTimeUs = property(bus, QStringLiteral("RTTimeUSecMax"), 0);
    if (maxPriority <= 0 || maxRtTimeUs <= 0)
        return 0;
    // The trial blocks in every frame, far more often than this limit asks.
    rlimit rtTime{};
    if (getrlimit(RLIMIT_RTTIME, &rtTime) != 0)
        return 0;
    if (rtTime.rlim_max == RLIM_INFINITY || rtTime.rlim_max > rlim_t(maxRtTimeUs)) {
        rtTime.rlim_cur = rtTime.rlim_max = rlim_t(maxRtTimeUs);
        if (setrlimit(RLIMIT_RTTIME, &rtTime) != 0)
            return 0;
    }
    const int granted = int(std::min<qlonglong>(priority, maxPriority));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                       QStringLiteral("MakeThreadRealtime"));
    call << quint64(gettid()) << quint32(granted);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? granted : 0;
}

} // namespace RealtimeKit
