// Onsets: where the song strikes, on the beat grid, for the editor's ruler.
// aubio's onset detector runs over the mono mix of the samples the waveform
// decoded; each onset lands on its nearest whole row (one per row, the
// strongest), with a strength in 0..1. The strength is the onset's rank
// among the song's onsets by how far the sound rises at it (the level of
// the 40 ms after against the 40 ms before, in dB): a threshold t hides the
// weakest fraction t of them, whatever the song's loudness. Onsets under
// the silence floor are never reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/DecodeOggFile.h"

struct OnsetSettings {
    // aubio's detection function, its analysis window and hop in samples,
    // and its peak-picking threshold (bench/editor's onsets table compares them).
    std::string method = "kl";
    unsigned buffer = 2048;
    unsigned hop = 512;
    float peakThreshold = 0.4f;
    float silenceDb = -50.0f;       // quieter than this is no onset
    float minimumGapMs = 20.0f;     // between two onsets
};

struct Onset {
    int64_t row = 0;
    float strength = 0;  // 0..1
};

struct OnsetList {
    std::vector<Onset> onsets;  // by row, one per row
    // The threshold a page starts with: at least the weakest quarter hidden,
    // and more when needed so that no more than two a beat show on average.
    float threshold = 0.25f;
};

// The song's onsets at `rowsPerSecond` rows a second (`rowsPerBeat` of them
// a beat, for the default threshold); empty for a song with no samples or
// settings aubio refuses.
OnsetList FindOnsets(const DecodedSong& song, double rowsPerSecond, int rowsPerBeat,
                     const OnsetSettings& settings = OnsetSettings());

// {"rowsPerBeat", "threshold", "onsets":[{"row", "strength"}]}
std::string OnsetsJson(const OnsetList& list, int rowsPerBeat);
