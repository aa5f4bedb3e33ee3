// The music player on OpenAL Soft: default device, one context, the whole
// song in one buffer played by one non-looping source. Its position in beats
// is the show's clock.
#include "audio/ALDemoAudioSystem.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>

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
    if (alIsExtensionPresent("AL_SOFT_source_latency"))
        offsetLatencyQuery = reinterpret_cast<OffsetLatencyQuery>(alGetProcAddress("alGetSourcedvSOFT"));
    // The offset moves once per mix; the device states how often it mixes.
    ALCint refresh = 0;
    alcGetIntegerv(audioDevice.device, ALC_REFRESH, 1, &refresh);
    if (refresh > 0) clock.SetNominalPeriod(1.0 / refresh);
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

void ALDemoAudioSystem::Play() {
    alSourcePlay(source);
    Restart(true);
}

void ALDemoAudioSystem::Pause() {
    alSourcePause(source);
    Restart(false);
}

void ALDemoAudioSystem::Stop() {
    alSourceStop(source);
    Restart(false);
}

bool ALDemoAudioSystem::IsPlaying() {
    // Stays 0 (not playing) when the query fails, e.g. with no source.
    ALint state = 0;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    const bool nowPlaying = state == AL_PLAYING;
    // The song ended (or was started) behind this player's back.
    if (nowPlaying != playing) Restart(nowPlaying);
    return nowPlaying;
}

void ALDemoAudioSystem::SetVolume(float gain) { alSourcef(source, AL_GAIN, gain); }

float ALDemoAudioSystem::GetPosition() {
    // A failed query (no source) leaves the -1 in place; it is passed on as is.
    double offset = -1;
    if (offsetLatencyQuery) {
        offsetLatencyQuery(source, AL_SEC_OFFSET, &offset);
        // The latency changes with the mix, so it is read again (with the
        // offset, in one call) only when the offset has moved.
        if (offset >= 0 && offset != latencyOffset) {
            double values[2] = {offset, 0};
            offsetLatencyQuery(source, AL_SEC_OFFSET_LATENCY_SOFT, values);
            offset = latencyOffset = values[0];
            latency = values[1];
        }
    } else {
        ALfloat seconds = -1.0f;
        alGetSourcef(source, AL_SEC_OFFSET, &seconds);
        offset = seconds;
    }
    float seconds = -1.0f;
    if (offset >= 0) {
        // The song's first sample is heard at 0, not before.
        // What was sought or started from is heard first, not what was
        // still in flight before it: a start at 0 never reads negative, a
        // seek never reads behind its target.
        const double heard = playing ? std::max(heardFrom, offset - latency) : offset;
        seconds = float(clock.Position(heard));
    }
    return (beatsPerMinute / 60.0f) * seconds;
}

void ALDemoAudioSystem::Restart(bool nowPlaying) {
    playing = nowPlaying;
    ALfloat seconds = 0;
    alGetSourcef(source, AL_SEC_OFFSET, &seconds);
    heardFrom = seconds > 0 ? seconds : 0;
    latencyOffset = -1;
    clock.Reset();
}

void ALDemoAudioSystem::SetPosition(float beats) {
    alSourcef(source, AL_SEC_OFFSET, beats / (beatsPerMinute / 60.0f));
    Restart(playing);
}
