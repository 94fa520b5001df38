#include "Module1.h"

#include "platform/RuntimeError.h"

qint16& Module1::trialTime(int index) {
    if (index < 0 || index >= kTrialsPerSeries)
        throw RuntimeError::indexOutOfRange();
    return TrialTimes[size_t(index)];
}
