#include "TimeOfDay.h"

#include <QTime>

float SystemTimeOfDay::secondsSinceMidnight() {
    return float(QTime::currentTime().msecsSinceStartOfDay()) / 1000.0f;
}
