// Song: synthesises the production song from its form. The arrangement is
// written here, in code; the form file decides where each section lies.
// Output is interleaved stereo float, peaks kept below 0.95 by a soft limiter.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/songform/SongForm.h"

struct SongOptions {
    uint32_t seed = 94;        // drives noise and small velocity variations
    double bpm = 140.0;
    int sampleRate = 44100;
    double startBeat = 0.0;    // first beat rendered
    double lengthBeats = -1.0; // beats rendered; negative: to the end of the form
};

// Renders [startBeat, startBeat + lengthBeats) of the song. A render that stops
// before the form ends fades out over its last beat so it still ends in silence.
std::vector<float> RenderSong(const SongForm& form, const SongOptions& options);

// The beat offsets, within each 16-beat window of the drop, on which the lead
// and the chord stabs strike (the particle rain flares on the same offsets).
extern const double kHitOffsets[36];
