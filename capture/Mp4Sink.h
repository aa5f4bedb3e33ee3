// The capture's video file: H.264 (libx264, yuv420p, constant quality) and
// AAC (FFmpeg's native encoder) in MP4, through FFmpeg's libraries. Pictures
// are copied on the caller's thread and converted and encoded on one worker.
// The same input gives the same bytes: the encoder's thread count is fixed
// rather than taken from the machine.
//
// Timing: video time base 1/fps, frame n at n/fps; the sound is cut or padded
// with silence to exactly frames*sampleRate/fps sample frames (rounded
// down), so the file lasts frames/fps and the sound ends within one sample of it. The AAC priming delay is left to
// the MP4 edit list, so readers see the sound start with the first picture.
// Sound may run at most a second ahead of the pictures.
#pragma once

#include <memory>
#include <string>

#include "capture/FrameBufferPool.h"
#include "capture/FrameSink.h"
#include "platform/OutputFile.h"

class SinkWorker;

struct Mp4Settings {
    int crf = 18;
    std::string preset = "veryfast";
    // On top of the preset: the cheapest motion search and no inter
    // sub-partitions. On the show this halves the encoder's time for the
    // same quality at this CRF (43.5 dB PSNR against the lossless frames
    // either way) in files about a quarter larger.
    std::string x264Params = "me=dia:subme=1:partitions=i8x8,i4x4";
    int audioBitRate = 192000;
    // x264 frame threads; fixed so the output does not depend on the machine.
    int encoderThreads = 4;
    // Frames (a picture and its sound) waiting for the worker before the writes block.
    int queuedFrames = 4;
};

class Mp4Sink : public IFrameSink {
public:
    explicit Mp4Sink(std::string path, Mp4Settings settings = {});
    // Aborts when not finished.
    ~Mp4Sink() override;
    Mp4Sink(const Mp4Sink&) = delete;
    Mp4Sink& operator=(const Mp4Sink&) = delete;

    bool Open(const StreamFormat& format, std::string* error) override;
    // False once the sink is not open or the worker has failed; Finish then says why.
    bool WriteVideo(const uint8_t* rgba) override;
    bool WriteAudio(const int16_t* samples, int frames) override;
    bool Finish(std::string* error) override;
    void Abort() override;
    std::string RefusalReason() override;

    // The file being written until Finish; empty when none.
    const std::string& TemporaryPath() const { return file.TemporaryPath(); }
    long long FramesWritten() const { return videoFrames; }
    // Seconds WriteVideo and WriteAudio spent waiting for the worker.
    double SecondsWaited() const;

private:
    struct Encoder;

    const std::string path;
    const Mp4Settings settings;
    StreamFormat format;
    platform::OutputFile file;  // declared before the encoder, which writes into it
    std::unique_ptr<Encoder> encoder;
    std::unique_ptr<SinkWorker> worker;
    FrameBufferPool buffers;
    long long videoFrames = 0;
    long long audioFramesQueued = 0;
    bool open = false;
};
