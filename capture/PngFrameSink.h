// Captured frames as a folder of pictures: DIR/frame_000000.png, ... as
// 8-bit RGB (the alpha channel is dropped, so every frame is opaque), rows
// top-down. Each picture is compressed on a worker thread and written into a
// hidden folder inside DIR; Finish moves them all into DIR, replacing frames
// of the same names. A failed or aborted capture removes the hidden folder,
// so DIR stays as it was (the folder itself goes when this sink made it).
// The sound is ignored.
#pragma once

#include <memory>
#include <string>

#include "capture/FrameBufferPool.h"
#include "capture/FrameSink.h"
#include "platform/OutputFile.h"

class SinkWorker;

class PngFrameSink : public IFrameSink {
public:
    explicit PngFrameSink(std::string folder, int queuedFrames = 4);
    // Aborts when not finished.
    ~PngFrameSink() override;
    PngFrameSink(const PngFrameSink&) = delete;
    PngFrameSink& operator=(const PngFrameSink&) = delete;

    // Creates the folder when missing.
    bool Open(const StreamFormat& format, std::string* error) override;
    bool WriteVideo(const uint8_t* rgba) override;
    bool WriteAudio(const int16_t* samples, int frames) override;
    bool Finish(std::string* error) override;
    void Abort() override;
    std::string RefusalReason() override;

    // "frame_000042.png" for 42.
    static std::string FrameName(long long index);
    // One frame (rows bottom-up, RGBA) as the bytes of its PNG file, as the
    // frames are written; false when it could not be encoded.
    static bool EncodePicture(const uint8_t* rgba, int width, int height, std::string* png);

private:
    // Writes one picture as DIR/FrameName(index); false with *error set.
    bool WritePicture(const uint8_t* rgba, long long index, std::string* error);

    const std::string folder;
    const int queuedFrames;
    StreamFormat format;
    std::unique_ptr<SinkWorker> worker;
    FrameBufferPool buffers;
    long long framesPosted = 0;
    platform::OutputFolder staging;
    bool createdFolder = false;
    bool open = false;
};
