// Encode: writes interleaved float stereo as Ogg Vorbis (libvorbisenc) or as
// 16-bit PCM WAV for listening and inspection. Both are byte-for-byte
// reproducible: fixed stream serial number, fixed encoder settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct OggSettings {
    float quality = 0.5f;             // libvorbisenc VBR quality, -0.1 .. 1
    uint32_t serial = 0x54455353u;    // fixed so every run gives the same bytes
    std::string title = "Song_094_Final";
};

// False with a message ("PATH: reason") when the file cannot be written or
// the encoder refuses; the file at `path` is then as it was.
bool WriteOggVorbis(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int sampleRate, const OggSettings& settings, std::string& error);

bool WriteWav16(const std::string& path, const std::vector<float>& interleaved, int channels,
                int sampleRate, std::string& error);
