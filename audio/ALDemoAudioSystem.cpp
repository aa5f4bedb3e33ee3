// Placeholder until music playback is built: no song, so the run ends at once.
#include "audio/ALDemoAudioSystem.h"

#include "core/Log.h"

bool AudioDevice::Open() { return false; }
bool ALDemoAudioSystem::Init() {
    LogError("Music playback is not built yet!");
    return false;
}
void ALDemoAudioSystem::Shutdown() {}
void ALDemoAudioSystem::SetListenerPosition(float, float, float) {}
bool ALDemoAudioSystem::LoadSong(const char*, float) { return false; }
void ALDemoAudioSystem::Play() {}
void ALDemoAudioSystem::Pause() {}
void ALDemoAudioSystem::Stop() {}
bool ALDemoAudioSystem::IsPlaying() { return false; }
void ALDemoAudioSystem::SetVolume(float) {}
float ALDemoAudioSystem::GetPosition() { return 0; }
void ALDemoAudioSystem::SetPosition(float) {}
