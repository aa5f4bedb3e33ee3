// Sync tracks: named parameter tracks read once from ./sync/_<name>.track and
// evaluated at the music's current row (16 rows per beat). Playback only:
// tracks never change after they are read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IDemoAudioSystem;

enum TrackKeyType : int32_t { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };

struct TrackKey {
    int32_t row = 0;
    float value = 0;
    int32_t type = 0;
};

struct SyncTrack {
    std::string name;
    std::vector<TrackKey> keys;  // strictly increasing rows
    int32_t numKeys = 0;         // == keys.size()
};

// Owns every track, in the order they were first asked for.
struct SyncDevice {
    std::string basePath;
    std::vector<SyncTrack*> tracks;
    int32_t numTracks = 0;  // == tracks.size()

    // The existing track of that name, or a new one read from its file.
    SyncTrack* GetTrack(const char* name);
    // Position of the track named exactly name (case-sensitive), or -1.
    int FindTrack(const char* name) const;
};

// A caller-owned reference to a device-owned track.
struct TrackHandle {
    SyncTrack* track = nullptr;
};

struct SyncSystem {
    SyncDevice* device = nullptr;
    IDemoAudioSystem* audio = nullptr;

    // Stores the audio system and creates the device with base path "./sync/".
    bool Init(IDemoAudioSystem* audioSystem);
    // A new handle on the named track (read from its file on first request).
    // Without a device the handle points to a key-less track that reads 0.
    TrackHandle* GetTrack(const char* name);
};

// Longest track path, terminator included; longer paths are not opened.
constexpr int kTrackPathCapacity = 260;

// Reads a track file into track: 0 when it was opened and read, 1 when it
// could not be opened (the track then has no keys). Damaged files are mended
// as far as they can be: see TrackFile.h.
int LoadTrackFile(SyncTrack* track, const char* path);

// Fills track from the bytes of its file, mending what it can and naming
// the file (path) in the log for what it mended.
void ApplyTrackBytes(SyncTrack* track, const std::string& bytes, const char* path);

// Frees the device and every track it holds; null is allowed.
void DestroySyncDevice(SyncDevice* device);

// The whole row at the music's current position.
double CurrentRow();
// The position of the key in force at row, or -1.
int FindKey(const SyncTrack* track, int row);
// The track's value at row.
float GetValue(const SyncTrack* track, double row);
// The track's value at the current row.
float GetTrackValue(const TrackHandle* handle);

// The engine's sync record; set just before it starts.
extern SyncSystem* gSyncSystem;
