#pragma once

#include "Harness.h"

#include <functional>

// What a participant with no reaction time at all is recorded over some falls at speed 1000:
// a second X client watches the row below the left stick's rest position on the screen (the
// root window, which under a compositor holds what it composed) and sends the left arrow
// through XTEST as soon as that row shows red.
struct ParticipantFigures {
    // From that sight to the trial's poll that saw the key.
    double addedMean = 0.0;
    double addedMax = 0.0;
    // What the trial recorded beyond the moment its own frames moved the stick into that row
    // (the deadline of the first frame below rest): the screen's delay and the key's way.
    double recordedMean = 0.0;
    double recordedSd = 0.0;
    double recordedMax = 0.0;
    // The same, the compositor's report of when it showed the fall's first frame taken off
    // (as the trial records it), and in how many falls a report came.
    double correctedMean = 0.0;
    double correctedSd = 0.0;
    double correctedMin = 0.0;
    double correctedMax = 0.0;
    int reported = 0;
    // In those falls, from when the compositor said it showed that frame to the sight of it:
    // the screen's own lag, which no program knows.
    double shownToSeenMean = 0.0;
    // From the participant's press to the time the key's event bears, where it bears one.
    double keyDatedAfterPressMean = 0.0;
    // How late every frame of these falls started.
    double latenessP99 = 0.0;
    // Series that ended with the results window shown, and score lines they added.
    int seriesWithResults = 0;
    int scoreLinesAdded = 0;
};

// How the participant's watching, which never pauses, shares the machine with everything else.
enum class Watcher {
    Normal,
    // Ahead of everything: on a busy machine, with the X server ahead too.
    Ahead,
    // Behind everything: a person's eyes take no processor time from a compositor and an X
    // server that share this machine's two cores with a fall. Watching at normal priority,
    // it held mutter 48 back at times by 7 to 21 ms, and with it the picture it then reported.
    Behind,
};

// The participant presses `reactionMs` after the sight (0: at once); the figures beyond the
// onset then leave out the time it waited. As in the program, a series' first fall comes two
// seconds after its start.
ParticipantFigures participantFalls(BenchProgram& program, int falls, Watcher priority,
                                    int reactionMs = 0);

// Real-time priority for a process or the calling thread (0), where the benchmark may give it.
bool realtimeAhead(pid_t pid);

// Runs `watch` on a thread of its own behind everything else (Watcher::Behind) and waits for it.
// The calling thread keeps its priority: one that left the idle class could not come back
// without a privilege.
void watchBehind(const std::function<void()>& watch);
