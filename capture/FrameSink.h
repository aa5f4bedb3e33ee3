// Where captured frames go: the picture of each frame and the sound that
// belongs to it, written in order, finished into a file (or files) that only
// appear under their final names once complete.
#pragma once

#include <cstdint>
#include <string>

struct StreamFormat {
    int width = 0, height = 0, fps = 0;
    // No sound when either is 0.
    int sampleRate = 0;
    int channels = 0;
};

class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    // Opens the output under a temporary name; false with *error set (e.g. folder not writable).
    virtual bool Open(const StreamFormat& format, std::string* error) = 0;
    // One picture, width*height RGBA8, rows bottom-up as glReadPixels gives them. Copies or converts
    // before returning; the heavy encoding runs on a worker thread (bounded queue: memory stays bounded,
    // the caller blocks only when the worker is far behind).
    virtual bool WriteVideo(const uint8_t* rgba) = 0;
    // The sound belonging to the picture just written: `frames` sample frames of interleaved signed
    // 16-bit samples (`channels` per frame). May be called with 0 frames.
    virtual bool WriteAudio(const int16_t* samples, int frames) = 0;
    // Flushes, finishes the file(s) and only then moves them to the final name; false with *error set.
    virtual bool Finish(std::string* error) = 0;
    // Drops everything: nothing under the final name, temporaries removed. Safe to call any time.
    virtual void Abort() = 0;
    // Why a write was refused ("PATH: No space left on device"), once the work in hand has
    // stopped; empty when the sink cannot tell. Finishes nothing.
    virtual std::string RefusalReason() { return {}; }
};
