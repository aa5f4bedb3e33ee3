// OverlayText: the lines the author's overlay shows, from the state of the
// run: position (beat:sixteenth, row, section), frames per second, paused or
// looping, the last reload's result and every track's value at the current
// row. The lines of a failed reload are shown even with the rest hidden.
#pragma once

#include <string>
#include <vector>

#include "sync/SyncSystem.h"

struct OverlayState {
    double beat = 0;
    std::string section;
    int framesPerSecond = 0;
    bool paused = false;
    bool looping = false;
    bool reloadOk = true;
    std::string reloadResult;  // lines "\n" apart
    const SyncDevice* device = nullptr;
};

// All lines with `full`, else only a failed reload's.
std::vector<std::string> OverlayLines(const OverlayState& state, bool full);
