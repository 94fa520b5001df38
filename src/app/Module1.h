#pragma once

#include <QtGlobal>
#include <array>

// The program's shared module: what the main window and the results window both use.
class Module1 {
public:
    static constexpr int kTrialsPerSeries = 10;

    // Milliseconds of each trial of the current series; trial n (1-based) at index n - 1.
    // Values of an earlier series stay until a new one overwrites them.
    std::array<qint16, kTrialsPerSeries> TrialTimes{};

    // Index outside 0..9 is a run-time error, as with any array of the system.
    qint16& trialTime(int index);
};
