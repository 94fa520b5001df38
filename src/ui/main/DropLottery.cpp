#include "DropLottery.h"

#include <cmath>

int drawLots(RandomSource& random, TimeOfDay& timeOfDay) {
    random.reseed(timeOfDay.secondsSinceMidnight());
    const float r = random.next();
    // In single precision, as the choice always was.
    return int(std::floor(r * 3.0f)) + 1;
}
