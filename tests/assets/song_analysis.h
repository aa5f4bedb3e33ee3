// What a listener would notice about a song, measured: decoding through
// libvorbisfile, levels, a gated loudness, and onset times from spectral flux.
#pragma once

#include <string>
#include <vector>

struct DecodedAudio {
    int channels = 0;
    long rate = 0;
    std::vector<float> samples;  // interleaved, -1..1
    long long clippedSamples = 0;  // samples at full scale (+32767 or -32768)
    size_t Frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

// Whole file decoded with ov_read; false when it is not Ogg Vorbis.
bool DecodeOgg(const std::string& path, DecodedAudio& out);

// Root-mean-square over all channels of frames [from, to), in dBFS.
double RmsDb(const DecodedAudio& audio, size_t from, size_t to);
// Largest absolute sample in frames [from, to).
double Peak(const DecodedAudio& audio, size_t from, size_t to);
// Gated loudness in the manner of broadcast meters (400 ms blocks, absolute
// gate -70, relative gate -10), without the K-weighting filter.
double GatedLoudness(const DecodedAudio& audio);

// Onset times in seconds of the mono mix: peaks of the log-magnitude spectral flux.
std::vector<double> DetectOnsets(const DecodedAudio& audio);

// Distance from t to the nearest onset (a large number when there is none).
double NearestOnsetDistance(const std::vector<double>& onsets, double t);
