// Waveform: what the editor's ruler shows of the song, from one decode of
// it: the peaks, one min/max pair per row, both channels folded, in -1..1,
// and the onsets (Onsets.h). The song is decoded on a thread of its own,
// started with the object; requests wait for it (bounded). Only the peaks
// and the onsets are kept, not the samples. A request that finds the song
// file changed since it was decoded (another size, time or file) starts a
// new decode and waits for that.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/DecodeOggFile.h"
#include "author/service/Onsets.h"

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
    // OnsetsJson's answer for the song, under the same terms.
    bool OnsetsJson(std::chrono::milliseconds wait, std::string* json, std::string* error);
    // Decodes started, the first included (for tests).
    int Decodes();

private:
    // The song file as last seen: a change of any of these is a new song.
    struct FileStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const FileStamp& other) const;
    };
    static FileStamp StampOf(const std::string& path);
    void Decode(FileStamp stamp);
    // With the lock held: a new decode when the file changed, then the wait.
    bool Ready(std::unique_lock<std::mutex>& hold, std::chrono::milliseconds wait, std::string* error);

    const std::string songPath;
    const double rowsPerSecond;
    std::mutex lock;
    std::condition_variable ready;
    bool done = false;
    bool ok = false;
    int decodes = 0;
    FileStamp decoded;         // the file the running or last decode read
    std::vector<float> peaks;  // for the whole song as decoded
    OnsetList onsets;
    int64_t cachedRows = -1;
    std::string cached;
    std::string cachedOnsets;
    std::thread decoder;
};
