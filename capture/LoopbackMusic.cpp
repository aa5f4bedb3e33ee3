// The capture's music: ALDemoAudioSystem on OpenAL Soft's loopback device.
#include "capture/LoopbackMusic.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <cmath>

#include "core/Log.h"

namespace {
LPALCLOOPBACKOPENDEVICESOFT gOpenLoopback = nullptr;

ALCdevice* OpenLoopback(const ALCchar* name) { return gOpenLoopback ? gOpenLoopback(name) : nullptr; }
}  // namespace

bool LoopbackMusic::Init() {
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        gOpenLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    // Float output and no output limiter: the mixer then neither dithers nor
    // delays (the limiter's look-ahead) nor bends the loudest samples, so the
    // song's 16-bit samples come back as they are.
    const ALCint format[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                             ALC_FREQUENCY, sampleRate, ALC_HRTF_SOFT, ALC_FALSE,
                             ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
    static_assert(sizeof format == sizeof outputFormat, "attribute list size");
    for (size_t i = 0; i < sizeof format / sizeof format[0]; ++i) outputFormat[i] = format[i];
    music.audioDevice.openDevice = OpenLoopback;
    music.audioDevice.contextAttributes = outputFormat;
    if (!music.Init()) return false;
    renderSamples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(music.audioDevice.device, "alcRenderSamplesSOFT"));
    return true;
}

bool LoopbackMusic::LoadSong(const char* path, float bpm) {
    beatsPerMinute = bpm;
    return music.LoadSong(path, bpm);
}

void LoopbackMusic::SetPosition(float beats) {
    position = beats;
    if (beatsPerMinute > 0) SeekSound(beats / (beatsPerMinute / 60.0f));
}

void LoopbackMusic::SetTime(double seconds) {
    position = (beatsPerMinute / 60.0f) * static_cast<float>(seconds);
}

void LoopbackMusic::SeekSound(double seconds) {
    if (!SongLoaded()) return;
    alSourcei(music.source, AL_SAMPLE_OFFSET, static_cast<ALint>(std::llround(seconds * sampleRate)));
}

void LoopbackMusic::RenderSound(int16_t* out, int frames) {
    if (frames <= 0) return;
    const size_t count = static_cast<size_t>(frames) * kChannels;
    mixed.assign(count, 0.0f);
    if (renderSamples && music.audioDevice.device) renderSamples(music.audioDevice.device, mixed.data(), frames);
    for (size_t i = 0; i < count; ++i) {
        const long sample = std::lrint(mixed[i] * 32768.0f);
        out[i] = static_cast<int16_t>(sample > 32767 ? 32767 : sample < -32768 ? -32768 : sample);
    }
}

double LoopbackMusic::SongSeconds() const {
    if (!SongLoaded()) return 0;
    ALint bytes = 0, channels = 0, bits = 0, frequency = 0;
    alGetBufferi(music.buffer, AL_SIZE, &bytes);
    alGetBufferi(music.buffer, AL_CHANNELS, &channels);
    alGetBufferi(music.buffer, AL_BITS, &bits);
    alGetBufferi(music.buffer, AL_FREQUENCY, &frequency);
    if (channels <= 0 || bits <= 0 || frequency <= 0) return 0;
    return static_cast<double>(bytes) / (channels * (bits / 8)) / frequency;
}
