// The music player on OpenAL Soft: default device, one context, the whole
// song in one buffer played by one non-looping source. Its position in beats
// is the show's clock.
#include "audio/ALDemoAudioSystem.h"

#include <AL/al.h>
#include <AL/alc.h>

#include "audio/DecodeOggFile.h"
#include "core/Log.h"

bool AudioDevice::Open() {
    device = openDevice ? openDevice(nullptr) : nullptr;
    if (!device) {
        LogError("Failed To Open Audio Device!");
        return false;
    }
    context = alcCreateContext(device, contextAttributes);
    if (!context) {
        LogError("Failed To Create OpenAL Context!");
        return false;
    }
    if (!alcMakeContextCurrent(context)) {
        LogError("Failed To Make OpenAL Context Current!");
        return false;
    }
    ALCint major = -1;
    ALCint minor = -1;
    alcGetIntegerv(device, ALC_MAJOR_VERSION, 1, &major);
    alcGetIntegerv(device, ALC_MINOR_VERSION, 1, &minor);
    majorVersion = major;
    minorVersion = minor;
    const ALCchar* specifier = alcGetString(device, ALC_DEVICE_SPECIFIER);
    LogPair("OpenAL Device Specifier: ", specifier ? specifier : "");
    return true;
}

bool ALDemoAudioSystem::Init() {
    if (!audioDevice.Open()) {
        LogError("Failed To Initialize OpenAL Context!");
        return false;
    }
    SetListenerPosition(0, 0, 0);
    return true;
}

void ALDemoAudioSystem::Shutdown() {
    // Without a current context the names are not ours to delete.
    if (audioDevice.context && alcGetCurrentContext() == audioDevice.context) {
        alDeleteSources(1, &source);
        alDeleteBuffers(1, &buffer);
    }
    source = 0;
    buffer = 0;
    alcMakeContextCurrent(nullptr);
    if (audioDevice.context) alcDestroyContext(audioDevice.context);
    if (audioDevice.device) alcCloseDevice(audioDevice.device);
    audioDevice.context = nullptr;
    audioDevice.device = nullptr;
}

void ALDemoAudioSystem::SetListenerPosition(float x, float y, float z) {
    const ALfloat position[3] = {x, y, z};
    const ALfloat velocity[3] = {0, 0, 0};
    const ALfloat orientation[6] = {0, 0, 1, 0, -1, 0};
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_VELOCITY, velocity);
    alListenerfv(AL_ORIENTATION, orientation);
}

bool ALDemoAudioSystem::LoadSong(const char* path, float bpm) {
    DecodedSong song;
    if (!path || !DecodeOggFile(path, &song)) {
        LogError("Failed To Read OggVorbis File!");
        return false;
    }
    beatsPerMinute = bpm;
    // Without a working context (no device) or with too little memory for
    // the buffer, nothing would play: that is reported, not passed as loaded.
    alGetError();
    alGenBuffers(1, &buffer);
    if (buffer != 0)
        alBufferData(buffer, song.channels < 2 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, song.samples.data(),
                     ALsizei(song.samples.size()), ALsizei(song.rate));
    // OpenAL keeps its own copy.
    std::vector<char>().swap(song.samples);
    if (buffer != 0 && alGetError() == AL_NO_ERROR) {
        alGenSources(1, &source);
        if (source != 0) alSourcei(source, AL_BUFFER, ALint(buffer));
    }
    if (buffer == 0 || source == 0 || alGetError() != AL_NO_ERROR) {
        if (source != 0) alDeleteSources(1, &source);
        if (buffer != 0) alDeleteBuffers(1, &buffer);
        source = 0;
        buffer = 0;
        LogError("Failed To Upload Song To OpenAL!");
        return false;
    }
    return true;
}

void ALDemoAudioSystem::Play() { alSourcePlay(source); }
void ALDemoAudioSystem::Pause() { alSourcePause(source); }
void ALDemoAudioSystem::Stop() { alSourceStop(source); }

bool ALDemoAudioSystem::IsPlaying() {
    // Stays 0 (not playing) when the query fails, e.g. with no source.
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void ALDemoAudioSystem::SetVolume(float gain) { alSourcef(source, AL_GAIN, gain); }

float ALDemoAudioSystem::GetPosition() {
    ALfloat seconds = -1.0f;
    alGetSourcef(source, AL_SEC_OFFSET, &seconds);
    return (beatsPerMinute / 60.0f) * seconds;
}

void ALDemoAudioSystem::SetPosition(float beats) {
    alSourcef(source, AL_SEC_OFFSET, beats / (beatsPerMinute / 60.0f));
}
