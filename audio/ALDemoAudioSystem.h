// ALDemoAudioSystem: the whole song decoded by libvorbisfile into one OpenAL
// buffer and played by one source on the default device.
#pragma once

#include <AL/alc.h>
#include <cstdint>

#include "audio/IDemoAudioSystem.h"

struct AudioDevice {
    ALCcontext* context = nullptr;
    ALCdevice* device = nullptr;
    int32_t majorVersion = -1;
    int32_t minorVersion = -1;

    // Default device, one context made current; logs its own error lines.
    bool Open();
};

class ALDemoAudioSystem final : public IDemoAudioSystem {
public:
    bool Init() override;
    void Shutdown() override;
    void SetListenerPosition(float x, float y, float z) override;
    bool LoadSong(const char* path, float beatsPerMinute) override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    bool IsPlaying() override;
    void SetVolume(float gain) override;
    float GetPosition() override;
    void SetPosition(float beats) override;

    float beatsPerMinute = 0;
    AudioDevice audioDevice;
    uint32_t buffer = 0;
    uint32_t source = 0;
};
