#include "WaylandSession.h"

#include "WaylandConnection.h"
#include "presentation-time-client-protocol.h"

#include <QDir>
#include <QLibraryInfo>
#include <cstring>
#include <wayland-client.h>

namespace {

struct Globals {
    WaylandOffer offer;
    bool compositor = false;
    bool subcompositor = false;
    bool shm = false;
    wp_presentation* presentation = nullptr;
};

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    globals->compositor |=
        std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4;
    globals->subcompositor |= std::strcmp(interface, wl_subcompositor_interface.name) == 0;
    globals->shm |= std::strcmp(interface, wl_shm_interface.name) == 0;
    if (std::strcmp(interface, wp_presentation_interface.name) == 0 && !globals->presentation) {
        globals->presentation = static_cast<wp_presentation*>(
            wl_registry_bind(registry, name, &wp_presentation_interface, 1));
        static const wp_presentation_listener listener{
            [](void* data, wp_presentation*, std::uint32_t clock) {
                static_cast<Globals*>(data)->offer.clock = clockid_t(clock);
            }};
        wp_presentation_add_listener(globals->presentation, &listener, data);
    }
}

void globalRemove(void*, wl_registry*, std::uint32_t) {}

} // namespace

WaylandOffer probeWaylandSession() {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return {};
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    static const wl_registry_listener listener{&global, &globalRemove};
    wl_registry_add_listener(registry, &listener, &globals);
    // The globals, then the presentation clock the bound presentation tells.
    globals.offer.connected =
        wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0;
    globals.offer.surfacesAndShm = globals.compositor && globals.subcompositor && globals.shm;
    globals.offer.presentation = globals.presentation != nullptr;
    if (globals.presentation)
        wp_presentation_destroy(globals.presentation);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return globals.offer;
}

bool qtWaylandInstalled() {
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}).isEmpty();
}

bool runsNativelyOnWayland(const WaylandOffer& offer, bool qtWayland) {
    return offer.connected && offer.surfacesAndShm && offer.presentation &&
           WaylandConnection::readableClock(offer.clock) && qtWayland;
}
