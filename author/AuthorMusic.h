// AuthorMusic: the author's music, the player's sound system with two
// differences, both so that the engine's frames go on (the picture stays up)
// instead of the run ending: while the author holds it paused it still counts
// as playing, and a song that plays to its end is held paused where it was
// last known to be (the last position read while playing, or a seek made
// since), to be sought back from. A song that never played (no sound
// device) ends the run at once, as the player's does.
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
        played = false;  // stopped on purpose: nothing to hold
        music->Stop();
    }
    bool IsPlaying() override {
        if (held) return true;
        if (music->IsPlaying()) {
            played = true;
            return true;
        }
        if (!played) return false;
        // Played out: start again where it last was and pause there.
        music->SetPosition(lastPosition);
        music->Play();
        Pause();
        heldAtEnd = true;
        return true;
    }
    // True once after the song was held at its end.
    bool TakeHeldAtEnd() {
        const bool was = heldAtEnd;
        heldAtEnd = false;
        return was;
    }
    void SetVolume(float gain) override { music->SetVolume(gain); }
    float GetPosition() override {
        const float position = music->GetPosition();
        if (music->IsPlaying()) lastPosition = position;
        return position;
    }
    // A seek moves the hold too: a song that runs out before the next read
    // is held where it was sought to, not where it was before.
    void SetPosition(float beats) override {
        music->SetPosition(beats);
        lastPosition = beats;
    }

private:
    std::unique_ptr<IDemoAudioSystem> music;
    bool held = false;
    bool played = false;
    bool heldAtEnd = false;
    float lastPosition = 0;
};
