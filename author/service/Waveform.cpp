// Waveform: peaks from 16-bit samples, the decoding thread, and the song
// file's stamp.
#include "author/service/Waveform.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "author/service/ShowJson.h"
#include "tools/songform/SongForm.h"

std::vector<float> WaveformPeaks(const DecodedSong& song, double rowsPerSecond, int64_t rows) {
    std::vector<float> peaks(size_t(std::max<int64_t>(rows, 0)) * 2, 0.0f);
    if (song.channels <= 0 || song.rate <= 0 || rowsPerSecond <= 0) return peaks;
    const size_t frameBytes = size_t(song.channels) * 2;
    const size_t frames = std::min(song.decodedBytes, song.samples.size()) / frameBytes;
    const double framesPerRow = double(song.rate) / rowsPerSecond;
    for (int64_t row = 0; row < rows; ++row) {
        const size_t first = size_t(std::llround(double(row) * framesPerRow));
        const size_t last = std::min(frames, size_t(std::llround(double(row + 1) * framesPerRow)));
        if (first >= last) break;
        int low = 0, high = 0;
        for (size_t frame = first; frame < last; ++frame)
            for (int channel = 0; channel < song.channels; ++channel) {
                int16_t sample;
                std::memcpy(&sample, &song.samples[frame * frameBytes + size_t(channel) * 2], 2);
                low = std::min<int>(low, sample);
                high = std::max<int>(high, sample);
            }
        peaks[size_t(row) * 2] = float(low) / 32768.0f;
        peaks[size_t(row) * 2 + 1] = float(high) / 32767.0f;
    }
    return peaks;
}

bool Waveform::FileStamp::operator==(const FileStamp& other) const {
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
}

Waveform::FileStamp Waveform::StampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

Waveform::Waveform(std::string path, double rowsPerSecond) : songPath(std::move(path)), rowsPerSecond(rowsPerSecond) {
    decoded = StampOf(songPath);
    decodes = 1;
    decoder = std::thread([this, stamp = decoded] { Decode(stamp); });
}

Waveform::~Waveform() {
    if (decoder.joinable()) decoder.join();
}

void Waveform::Decode(FileStamp stamp) {
    DecodedSong song;
    const bool read = stamp.exists && DecodeOggFile(songPath.c_str(), &song);
    std::vector<float> all;
    OnsetList found;
    if (read) {
        const size_t frames = song.decodedBytes / (size_t(song.channels) * 2);
        const int64_t rows = int64_t(std::ceil(double(frames) / double(song.rate) * rowsPerSecond));
        all = WaveformPeaks(song, rowsPerSecond, rows);
        found = FindOnsets(song, rowsPerSecond, kSongRowsPerBeat);
    }
    std::lock_guard<std::mutex> hold(lock);
    ok = read;
    peaks = std::move(all);
    onsets = std::move(found);
    done = true;
    ready.notify_all();
}

bool Waveform::Ready(std::unique_lock<std::mutex>& hold, std::chrono::milliseconds wait, std::string* error) {
    if (done) {
        const FileStamp now = StampOf(songPath);
        if (!(now == decoded)) {
            // The last decode has finished (it set `done` under this lock and
            // needs it no more): joining it does not wait on anything.
            if (decoder.joinable()) decoder.join();
            done = ok = false;
            decoded = now;
            ++decodes;
            cachedRows = -1;
            cachedOnsets.clear();
            decoder = std::thread([this, now] { Decode(now); });
        }
    }
    if (!ready.wait_for(hold, wait, [this] { return done; })) {
        *error = "the song is still being decoded; ask again";
        return false;
    }
    if (!ok) {
        *error = "the song could not be decoded: " + songPath;
        return false;
    }
    return true;
}

int Waveform::Decodes() {
    std::lock_guard<std::mutex> hold(lock);
    return decodes;
}

bool Waveform::Json(int64_t rows, std::chrono::milliseconds wait, std::string* json, std::string* error) {
    std::unique_lock<std::mutex> hold(lock);
    if (!Ready(hold, wait, error)) return false;
    // Past the song's end there is only silence: a song form that runs far
    // longer does not make the answer grow without bound.
    rows = std::max<int64_t>(0, std::min<int64_t>(rows, int64_t(peaks.size() / 2) + 4096));
    if (rows != cachedRows) {
        nlohmann::json list = nlohmann::json::array();
        for (int64_t i = 0; i < rows * 2; ++i) {
            // Four decimals are plenty for a picture, and keep the answer small.
            const float peak = size_t(i) < peaks.size() ? peaks[size_t(i)] : 0.0f;
            list.push_back(std::round(double(peak) * 10000.0) / 10000.0);
        }
        cached = Dump({{"rowsPerBeat", kSongRowsPerBeat}, {"rows", rows}, {"peaks", list}});
        cachedRows = rows;
    }
    *json = cached;
    return true;
}

bool Waveform::OnsetsJson(std::chrono::milliseconds wait, std::string* json, std::string* error) {
    std::unique_lock<std::mutex> hold(lock);
    if (!Ready(hold, wait, error)) return false;
    if (cachedOnsets.empty()) cachedOnsets = ::OnsetsJson(onsets, kSongRowsPerBeat);
    *json = cachedOnsets;
    return true;
}
