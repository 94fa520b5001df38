#pragma once

#include <ctime>

// What the Wayland compositor of the session offers, as far as the program's choice of window
// system goes; looked at before any window opens, over a connection of its own.
struct WaylandOffer {
    bool connected = false;      // WAYLAND_DISPLAY names a compositor that answers
    bool surfacesAndShm = false; // surfaces with damage in buffer pixels, sub-surfaces, shm
    bool presentation = false;   // wp_presentation
    clockid_t clock = -1;        // its presentation clock
};

// Asks the compositor WAYLAND_DISPLAY names; nothing connected where none is set or answers.
WaylandOffer probeWaylandSession();

// Whether Qt's wayland platform plugin is installed (Debian's qt6-wayland).
bool qtWaylandInstalled();

// The program runs as a native Wayland client where the compositor tells when each of its
// frames reached the screen, in a clock the program can read, and Qt can draw there; elsewhere
// it is an X11 client, on X11 or Xwayland.
bool runsNativelyOnWayland(const WaylandOffer& offer, bool qtWayland);
