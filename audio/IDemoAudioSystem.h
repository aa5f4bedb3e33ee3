// IDemoAudioSystem: the music player, which is also the show's only clock.
// Positions are in beats (seconds x beats per minute / 60).
#pragma once

class IDemoAudioSystem {
public:
    virtual ~IDemoAudioSystem() {}
    virtual bool Init() = 0;
    virtual void Shutdown() = 0;
    virtual void SetListenerPosition(float x, float y, float z) = 0;
    virtual bool LoadSong(const char* path, float beatsPerMinute) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // False once the song has played to its end (or none was loaded).
    virtual bool IsPlaying() = 0;
    virtual void SetVolume(float gain) = 0;
    virtual float GetPosition() = 0;
    virtual void SetPosition(float beats) = 0;
};
