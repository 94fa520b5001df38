#pragma once

#include "Clock.h"
#include "ErrorReporter.h"
#include "KeyState.h"
#include "Random.h"
#include "Scheduling.h"
#include "Sleeper.h"
#include "TimeOfDay.h"
#include "WindowPainter.h"
#include "platform/files/Files.h"

// The services the windows get from the system. main() wires the real ones; tests hand in
// fakes so that trials run deterministically.
struct Platform {
    Clock& clock;
    KeyState& keys;
    Sleeper& sleeper;
    RandomSource& random;
    TimeOfDay& timeOfDay;
    ErrorReporter& errors;
    Files::LockWait& lockWait;
    WindowPainter& painter;
    Scheduling& scheduling;
};
