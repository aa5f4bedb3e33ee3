// LoopbackMusic: the show's music for a capture. The player's own music
// system (the same decoding, buffer and source) on OpenAL Soft's loopback
// device, which mixes only when asked (ALC_SOFT_loopback), so the soundtrack
// is rendered in step with the frames however long a frame takes. Its clock
// is not the mixer's: it stands at the time of the frame being drawn, set by
// the capture before each frame. The capture also decides when the show ends,
// so it always answers that the music plays.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/ALDemoAudioSystem.h"
#include "audio/IDemoAudioSystem.h"

class LoopbackMusic final : public IDemoAudioSystem {
public:
    // The loopback device mixes stereo at `sampleRate`; the sound comes out as
    // interleaved 16-bit samples.
    explicit LoopbackMusic(int sampleRate) : sampleRate(sampleRate) {}

    // Opens the loopback device; "Failed To Open Audio Device!" when OpenAL
    // offers none.
    bool Init() override;
    void Shutdown() override { music.Shutdown(); }
    void SetListenerPosition(float x, float y, float z) override { music.SetListenerPosition(x, y, z); }
    bool LoadSong(const char* path, float beatsPerMinute) override;
    void Play() override { music.Play(); }
    void Pause() override { music.Pause(); }
    void Stop() override { music.Stop(); }
    bool IsPlaying() override { return true; }
    void SetVolume(float gain) override { music.SetVolume(gain); }
    // The frame's time in beats, as the player computes beats from seconds.
    float GetPosition() override { return position; }
    // Moves the clock and the song's playing position to `beats`.
    void SetPosition(float beats) override;

    // Sets the clock to `seconds` into the song without moving the sound.
    void SetTime(double seconds);
    // Moves the sound (not the clock) to the sample frame nearest `seconds`.
    void SeekSound(double seconds);
    // Mixes the next `frames` stereo sample frames into `out`.
    void RenderSound(int16_t* out, int frames);

    bool SongLoaded() const { return music.source != 0; }
    // Length of the loaded song in seconds; 0 without one.
    double SongSeconds() const;
    int SampleRate() const { return sampleRate; }
    static constexpr int kChannels = 2;

private:
    int sampleRate;
    ALCint outputFormat[11] = {};  // the loopback context's attributes
    void (*renderSamples)(ALCdevice*, ALCvoid*, ALCsizei) = nullptr;
    float beatsPerMinute = 0;
    float position = 0;
    std::vector<float> mixed;  // one frame's sound as the mixer gives it
    ALDemoAudioSystem music;
};
