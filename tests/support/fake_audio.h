// A music clock for tests: reports the position the test sets and counts how
// often it was asked, and plays for as long as the test says. Loading,
// playing and volume do nothing. Tests that journal calls override them.
#pragma once

#include "audio/IDemoAudioSystem.h"

class FakeAudio : public IDemoAudioSystem {
public:
    bool Init() override { return true; }
    void Shutdown() override {}
    void SetListenerPosition(float, float, float) override {}
    bool LoadSong(const char*, float) override { return true; }
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    bool IsPlaying() override { return playing; }
    void SetVolume(float) override {}
    float GetPosition() override {
        ++queries;
        return position;
    }
    void SetPosition(float beats) override { position = beats; }

    float position = 0;
    int queries = 0;
    bool playing = true;
};
