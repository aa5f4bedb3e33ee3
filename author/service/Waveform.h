// Waveform: the song's peaks for the editor's ruler, one min/max pair per
// row, both channels folded, in -1..1. The song is decoded once, on a thread
// of its own started with the object; requests wait for it (bounded). Only
// the peaks are kept, not the samples.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/DecodeOggFile.h"

// min0, max0, min1, max1, ...: `rows` pairs of rows of 1/rowsPerSecond
// seconds from the song's start; rows past its end read 0.
std::vector<float> WaveformPeaks(const DecodedSong& song, double rowsPerSecond, int64_t rows);

class Waveform {
public:
    // Starts decoding `songPath`, at `rowsPerSecond` rows a second.
    Waveform(std::string songPath, double rowsPerSecond);
    ~Waveform();
    Waveform(const Waveform&) = delete;
    Waveform& operator=(const Waveform&) = delete;

    // {"rowsPerBeat", "rows", "peaks":[...]} for a song form of `rows` rows
    // (at most 4096 past the song's end); false with *error when the song
    // could not be decoded or was not ready within `wait`.
    bool Json(int64_t rows, std::chrono::milliseconds wait, std::string* json, std::string* error);

private:
    void Decode();

    const std::string songPath;
    const double rowsPerSecond;
    std::mutex lock;
    std::condition_variable ready;
    bool done = false;
    bool ok = false;
    std::vector<float> peaks;  // for the whole song as decoded
    int64_t cachedRows = -1;
    std::string cached;
    std::thread decoder;
};
