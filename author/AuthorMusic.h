// AuthorMusic: the author's music, the player's sound system with one
// difference: while the author holds it paused it still counts as playing, so
// that the engine's frames go on (the picture stays up, frozen) instead of
// ending the run. Once the song has played to its end the run ends as the
// player's does.
#pragma once

#include <memory>

#include "audio/IDemoAudioSystem.h"

class AuthorMusic final : public IDemoAudioSystem {
public:
    explicit AuthorMusic(std::unique_ptr<IDemoAudioSystem> music) : music(std::move(music)) {}

    bool Init() override { return music->Init(); }
    void Shutdown() override { music->Shutdown(); }
    void SetListenerPosition(float x, float y, float z) override { music->SetListenerPosition(x, y, z); }
    bool LoadSong(const char* path, float beatsPerMinute) override { return music->LoadSong(path, beatsPerMinute); }
    void Play() override {
        held = false;
        music->Play();
    }
    void Pause() override {
        held = true;
        music->Pause();
    }
    void Stop() override {
        held = false;
        music->Stop();
    }
    bool IsPlaying() override { return held || music->IsPlaying(); }
    void SetVolume(float gain) override { music->SetVolume(gain); }
    float GetPosition() override { return music->GetPosition(); }
    void SetPosition(float beats) override { music->SetPosition(beats); }

private:
    std::unique_ptr<IDemoAudioSystem> music;
    bool held = false;
};
