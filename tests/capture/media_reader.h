// Reads a video file back with FFmpeg's own demuxer and decoders, for tests
// that check what players will see: streams, durations, every decoded
// picture's luma and the decoded sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedMedia {
    std::string error;  // empty when the file was read completely
    int videoStreams = 0, audioStreams = 0;
    std::string videoCodec, audioCodec, pixelFormat;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    // Seconds as FFmpeg reports them: the file's and each stream's duration and start.
    double fileSeconds = 0, videoSeconds = 0, audioSeconds = 0;
    double videoStart = 0, audioStart = 0;
    int64_t fileDurationMicroseconds = 0;
    long long videoPackets = 0;
    std::vector<std::vector<uint8_t>> luma;  // one top-down width*height plane per picture, in display order
    std::vector<std::string> videoPacketBytes;
    std::vector<float> sound;  // interleaved, after the decoder dropped the priming samples
};

DecodedMedia ReadMedia(const std::string& path);
