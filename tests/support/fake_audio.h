// A music clock for tests: reports the position the test sets and counts how
// often it was asked. Loading, playing and volume do nothing.
#pragma once

#include "audio/IDemoAudioSystem.h"

class FakeAudio final : public IDemoAudioSystem {
public:
    bool Init() override { return true; }
    void Shutdown() override {}
    void SetListenerPosition(float, float, float) override {}
    bool LoadSong(const char*, float) override { return true; }
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    bool IsPlaying() override { return true; }
    void SetVolume(float) override {}
    float GetPosition() override {
        ++queries;
        return position;
    }
    void SetPosition(float beats) override { position = beats; }

    float position = 0;
    int queries = 0;
};
