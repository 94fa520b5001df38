#pragma once

#include "platform/Random.h"
#include "platform/TimeOfDay.h"

// The value 1, 2 or 3 that decides a tick: 1 drops the left stick, 2 the right, 3 nothing.
// The generator is re-seeded from the time of day on every call.
int drawLots(RandomSource& random, TimeOfDay& timeOfDay);
