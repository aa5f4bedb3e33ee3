// Sync tracks: named parameter tracks read once from ./sync/_<name>.track and
// evaluated at the music's current row (16 rows per beat).
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

struct SyncDevice;

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
    TrackHandle* GetTrack(const char* name);
};

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
