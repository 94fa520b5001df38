#pragma once

#include "DrawingSurface.h"
#include "StickSide.h"

#include <QString>

// What a trial changes in the main window besides the stick boxes' pictures.
class TrialView {
public:
    virtual ~TrialView() = default;
    virtual DrawingSurface& surface(StickSide side) = 0;
    // Puts what changed in the box's picture since the last call on screen now, and nothing
    // when no pixel changed; the trial does not return to the event loop, so nothing would
    // show otherwise.
    virtual void presentStick(StickSide side) = 0;
    // Shows the trial's time and the count of trials done, on screen now.
    virtual void presentTrialResult(const QString& time, const QString& count) = 0;
    // After the tenth trial: the timer stops and the results are shown.
    virtual void finishSeries() = 0;
};
