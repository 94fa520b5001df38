#include "RealtimeKit.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdlib>
#include <dbus/dbus.h>
#include <sys/resource.h>

namespace {

const char* const kService = "org.freedesktop.RealtimeKit1";
const char* const kPath = "/org/freedesktop/RealtimeKit1";

// A message owned here, released on every path.
struct Message {
    DBusMessage* message;
    explicit Message(DBusMessage* m)
        : message(m) {}
    ~Message() {
        if (message)
            dbus_message_unref(message);
    }
    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;
};

// Sends the call and waits at most `timeoutMs` for its answer: the reply, or null for an
// error reply, a broken connection or no answer in time; `answered` says which of these.
DBusMessage* call(DBusConnection* connection, DBusMessage* message, int timeoutMs,
                  bool* answered = nullptr) {
    if (answered)
        *answered = false;
    if (!message)
        return nullptr;
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply =
        dbus_connection_send_with_reply_and_block(connection, message, timeoutMs, &error);
    if (answered)
        *answered = reply || (dbus_error_is_set(&error) &&
                              !dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) &&
                              !dbus_error_has_name(&error, DBUS_ERROR_DISCONNECTED));
    dbus_error_free(&error);
    return reply;
}

// One of RealtimeKit's integer properties, or 0 when it cannot be read.
long long property(DBusConnection* connection, const char* name, int timeoutMs) {
    const Message get(
        dbus_message_new_method_call(kService, kPath, "org.freedesktop.DBus.Properties", "Get"));
    if (!get.message || !dbus_message_append_args(get.message, DBUS_TYPE_STRING, &kService,
                                                  DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
        return 0;
    const Message reply(call(connection, get.message, timeoutMs));
    if (!reply.message)
        return 0;
    DBusMessageIter iter;
    DBusMessageIter variant;
    if (!dbus_message_iter_init(reply.message, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT)
        return 0;
    dbus_message_iter_recurse(&iter, &variant);
    switch (dbus_message_iter_get_arg_type(&variant)) {
    case DBUS_TYPE_INT32: {
        dbus_int32_t value = 0;
        dbus_message_iter_get_basic(&variant, &value);
        return value;
    }
    case DBUS_TYPE_INT64: {
        dbus_int64_t value = 0;
        dbus_message_iter_get_basic(&variant, &value);
        return value;
    }
    default:
        return 0;
    }
}

// The process's RLIMIT_RTTIME no larger than RealtimeKit's limit, as it demands.
bool limitRealtimeRun(long long maxRtTimeUs) {
    rlimit rtTime{};
    if (getrlimit(RLIMIT_RTTIME, &rtTime) != 0)
        return false;
    if (rtTime.rlim_max != RLIM_INFINITY && rtTime.rlim_max <= rlim_t(maxRtTimeUs))
        return true;
    rtTime.rlim_max = rlim_t(maxRtTimeUs);
    rtTime.rlim_cur = std::min(rtTime.rlim_cur, rtTime.rlim_max);
    return setrlimit(RLIMIT_RTTIME, &rtTime) == 0;
}

} // namespace

std::string RealtimeKit::systemBusAddress() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    return address && *address ? address : "unix:path=/run/dbus/system_bus_socket";
}

std::unique_ptr<RealtimeKit> RealtimeKit::connect(const std::string& busAddress,
                                                  int stepTimeoutMs) {
    dbus_threads_init_default();
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(busAddress.c_str(), &error);
    dbus_error_free(&error);
    if (!connection)
        return nullptr;
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    const auto fail = [connection]() -> std::unique_ptr<RealtimeKit> {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
        return nullptr;
    };

    // The handshake, bounded: a call made before it is done would wait on it without limit.
    QElapsedTimer handshake;
    handshake.start();
    while (!dbus_connection_get_is_authenticated(connection)) {
        const qint64 left = stepTimeoutMs - handshake.elapsed();
        if (left <= 0 || !dbus_connection_read_write(connection, int(left)))
            return fail();
    }

    // The bus's greeting, by hand: the library's own waits far longer than we may.
    const Message hello(dbus_message_new_method_call(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "Hello"));
    const Message welcome(call(connection, hello.message, stepTimeoutMs));
    const char* uniqueName = nullptr;
    if (!welcome.message ||
        !dbus_message_get_args(welcome.message, nullptr, DBUS_TYPE_STRING, &uniqueName,
                               DBUS_TYPE_INVALID) ||
        !dbus_bus_set_unique_name(connection, uniqueName))
        return fail();

    const long long maxPriority = property(connection, "MaxRealtimePriority", stepTimeoutMs);
    const long long maxRtTimeUs =
        maxPriority > 0 ? property(connection, "RTTimeUSecMax", stepTimeoutMs) : 0;
    if (maxPriority <= 0 || maxRtTimeUs <= 0 || !limitRealtimeRun(maxRtTimeUs))
        return fail();
    return std::unique_ptr<RealtimeKit>(new RealtimeKit(connection, int(maxPriority)));
}

RealtimeKit::RealtimeKit(DBusConnection* connection, int maxPriority)
    : m_connection(connection)
    , m_maxPriority(maxPriority) {}

RealtimeKit::~RealtimeKit() {
    dbus_connection_close(m_connection);
    dbus_connection_unref(m_connection);
}

int RealtimeKit::makeThreadRealtime(pid_t thread, int priority, int timeoutMs) {
    const dbus_uint64_t id = dbus_uint64_t(thread);
    const dbus_uint32_t granted = dbus_uint32_t(std::min(priority, m_maxPriority));
    const Message request(
        dbus_message_new_method_call(kService, kPath, kService, "MakeThreadRealtime"));
    if (!request.message ||
        !dbus_message_append_args(request.message, DBUS_TYPE_UINT64, &id, DBUS_TYPE_UINT32,
                                  &granted, DBUS_TYPE_INVALID))
        return 0;
    bool answered = false;
    const Message reply(call(m_connection, request.message, timeoutMs, &answered));
    if (!answered)
        return -1;
    return reply.message ? int(granted) : 0;
}
