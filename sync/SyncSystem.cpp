// Placeholder until the sync system is built.
#include "sync/SyncSystem.h"

bool SyncSystem::Init(IDemoAudioSystem* audioSystem) {
    audio = audioSystem;
    return false;
}
TrackHandle* SyncSystem::GetTrack(const char*) { return new TrackHandle; }
void DestroySyncDevice(SyncDevice*) {}
double CurrentRow() { return 0; }
int FindKey(const SyncTrack*, int) { return -1; }
float GetValue(const SyncTrack*, double) { return 0; }
float GetTrackValue(const TrackHandle*) { return 0; }
