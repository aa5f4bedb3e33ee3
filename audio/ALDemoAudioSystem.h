// ALDemoAudioSystem: the whole song decoded by libvorbisfile into one OpenAL
// buffer and played by one source on the default device. Its position is
// what the listener hears now: the offset less the output latency, carried
// smoothly between mixing periods by a MusicClock.
#pragma once

#include <AL/alc.h>
#include <cstdint>

#include "audio/IDemoAudioSystem.h"
#include "audio/MusicClock.h"

struct AudioDevice {
    ALCcontext* context = nullptr;
    ALCdevice* device = nullptr;
    int32_t majorVersion = -1;
    int32_t minorVersion = -1;
    // How the device is opened and the context's attributes: the system's
    // default device and no attributes, unless a program renders the sound
    // itself (OpenAL Soft's loopback device with its output format).
    ALCdevice* (*openDevice)(const ALCchar* name) = alcOpenDevice;
    const ALCint* contextAttributes = nullptr;

    // One context made current on the device; logs its own error lines.
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

    // alGetSourcedvSOFT when AL_SOFT_source_latency is offered: the offset
    // and the latency in one call.
    using OffsetLatencyQuery = void (*)(unsigned source, int param, double* values);
    OffsetLatencyQuery offsetLatencyQuery = nullptr;
    // Whether the source plays, as far as this player has seen: only then is
    // sound in flight, so only then is the latency taken off.
    bool playing = false;
    // The latency last read, and the offset it was read with (-1: read again).
    double latency = 0;
    double latencyOffset = -1;
    // Where the song was started or sought to: nothing earlier is heard after it.
    double heardFrom = 0;
    MusicClock clock;

private:
    // After a start, pause, stop or seek: the clock starts again.
    void Restart(bool nowPlaying);
};
