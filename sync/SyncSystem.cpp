// The sync device (tracks read once from ./sync/), and track evaluation at
// the music's current row. Files that are damaged are mended on reading:
// see LoadTrackFile.
#include "sync/SyncSystem.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "audio/IDemoAudioSystem.h"
#include "core/Log.h"
#include "sync/TrackFile.h"

namespace {

constexpr int kRowsPerBeat = 16;

// Where every track path is composed; reused for each track.
char pathBuffer[kTrackPathCapacity];

// Handed out when there is no device (or no memory for a new track), so
// callers always get a track that reads 0. Never given keys.
SyncTrack emptyTrack;

// A row as a 32-bit integer; out-of-range and non-numbers are pinned so the
// conversion is always defined.
int32_t ToRow(double row) {
    if (!(row == row)) return 0;
    if (row >= 2147483647.0) return INT32_MAX;
    if (row <= -2147483648.0) return INT32_MIN;
    return int32_t(row);
}

void LogTrackError(const char* what, const char* path) {
    std::string line = std::string(what) + path;
    LogError(line.c_str());
}

}  // namespace

bool SyncSystem::Init(IDemoAudioSystem* audioSystem) {
    audio = audioSystem;
    device = new (std::nothrow) SyncDevice;
    if (!device) return false;
    device->basePath = "./sync/";
    return true;
}

TrackHandle* SyncSystem::GetTrack(const char* name) {
    TrackHandle* handle = new (std::nothrow) TrackHandle;
    if (!handle) return nullptr;
    handle->track = device ? device->GetTrack(name) : &emptyTrack;
    return handle;
}

int SyncDevice::FindTrack(const char* name) const {
    for (int i = 0; i < numTracks; ++i)
        if (tracks[i]->name == name) return i;
    return -1;
}

SyncTrack* SyncDevice::GetTrack(const char* name) {
    if (!name) name = "";
    int found = FindTrack(name);
    if (found >= 0) return tracks[found];

    // Out of memory: a track that reads 0, not remembered, so a later
    // request may still succeed.
    SyncTrack* track = new (std::nothrow) SyncTrack;
    if (!track) return &emptyTrack;
    track->name = name;
    tracks.push_back(track);
    numTracks = int32_t(tracks.size());

    // A path that does not fit the buffer is not cut short (that would read
    // some other track's file): the track stays without keys.
    size_t length = basePath.size() + 1 + track->name.size() + 6;
    if (length >= sizeof(pathBuffer)) {
        LogTrackError("Track Path Too Long: ", name);
        return track;
    }
    std::snprintf(pathBuffer, sizeof(pathBuffer), "%s_%s.track", basePath.c_str(), name);
    LoadTrackFile(track, pathBuffer);
    return track;
}

int LoadTrackFile(SyncTrack* track, const char* path) {
    // Only the bytes the count asks for are read, and the parser takes no
    // more keys than those bytes hold, so neither a huge file nor its stored
    // count decides how much memory is reserved.
    std::string bytes;
    if (!ReadTrackFileBytes(path, &bytes)) return 1;
    ApplyTrackBytes(track, bytes, path);
    return 0;
}

void ApplyTrackBytes(SyncTrack* track, const std::string& bytes, const char* path) {
    TrackFileContents contents = ParseTrackBytes(bytes);
    if (!contents.hasCount) {
        LogTrackError("Track File Too Short: ", path);
        track->keys.clear();
        track->numKeys = 0;
        return;
    }
    track->keys = std::move(contents.keys);
    if (contents.declaredCount < 0)
        LogTrackError("Track File Key Count Negative: ", path);
    else if (contents.declaredCount != int32_t(track->keys.size()))
        LogTrackError("Track File Holds Fewer Keys Than Its Count: ", path);
    if (!RowsStrictlyIncreasing(track->keys)) {
        LogTrackError("Track File Rows Not In Order, Sorted: ", path);
        OrderKeysByRow(track->keys);
    }
    track->numKeys = int32_t(track->keys.size());
}

void DestroySyncDevice(SyncDevice* device) {
    if (!device) return;
    for (SyncTrack* track : device->tracks) delete track;
    delete device;
}

double CurrentRow() {
    float beats = gSyncSystem && gSyncSystem->audio ? gSyncSystem->audio->GetPosition() : 0.0f;
    float scaled = beats * float(kRowsPerBeat);
    double floored = std::floor(double(scaled));
    return double(ToRow(double(float(floored))));
}

int FindKey(const SyncTrack* track, int row) {
    int lo = 0;
    int hi = track->numKeys;
    if (hi <= 0) return -1;
    const TrackKey* keys = track->keys.data();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (keys[mid].row < row)
            lo = mid + 1;
        else if (keys[mid].row > row)
            hi = mid;
        else
            return mid;
    }
    return lo - 1;
}

float GetValue(const SyncTrack* track, double row) {
    if (track->numKeys == 0) return 0.0f;
    // Rows beyond what a key can hold are read at the outermost row.
    if (row < double(INT32_MIN)) row = double(INT32_MIN);
    if (row > double(INT32_MAX)) row = double(INT32_MAX);
    int k = FindKey(track, ToRow(std::floor(row)));
    if (k < 0) return track->keys[0].value;
    if (k > track->numKeys - 2) return track->keys[track->numKeys - 1].value;

    const TrackKey& a = track->keys[k];
    const TrackKey& b = track->keys[k + 1];
    if (a.type == Step) return a.value;
    if (a.type != Linear && a.type != Smooth && a.type != Ramp) return 0.0f;

    double t = (row - double(a.row)) / double(int64_t(b.row) - int64_t(a.row));
    double delta = double(b.value - a.value);
    double factor = t;
    if (a.type == Smooth)
        factor = (3.0 - t * 2.0) * (t * t);
    else if (a.type == Ramp)
        factor = std::pow(t, 2.0);
    return float(double(a.value) + factor * delta);
}

float GetTrackValue(const TrackHandle* handle) {
    return GetValue(handle->track, CurrentRow());
}
