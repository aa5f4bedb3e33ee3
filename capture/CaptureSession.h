// CaptureSession: the show rendered frame by frame, through the player's own
// engine start-up, renderer, demo, scenes, bloom, tracks and shaders. Three
// things differ from the player, each behind a seam: the clock (frame n stands
// at from + n / fps seconds exactly, LoopbackMusic), the surface (an
// off-screen frame read back after each frame, OffscreenSurface) and the sound
// (mixed by OpenAL Soft's loopback device in step with the frames). There is
// no window, no frame sleep and no Config.txt; the log is CaptureLog.txt
// unless the settings name another.
//
// Effect clocks depend on the frames before: a capture that starts at `from`
// first runs the show's clocks from the song's start at its own frame step
// (carrying on for the last second what the scenes keep between drawn
// frames: the particles' glow), so frame n looks as it would in a capture of
// the whole show.
// Still renders one such first frame for any moment, again and again in one
// process, each from a rewound show.
#pragma once

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "capture/FrameSink.h"
#include "core/Engine.h"

class LoopbackMusic;
class OffscreenSurface;

struct CaptureSettings {
    int width = 1920;
    int height = 1080;
    int fps = 60;
    int samples = 4;
    double from = 0;  // seconds into the song
    double to = -1;   // seconds; negative: the song's end
    // False: frames are drawn but not read back and the sink gets no
    // pictures, to measure what the read-back costs.
    bool readBack = true;
    std::string logPath = "CaptureLog.txt";
    std::string logName = "tessel-capture";  // the program named on its error lines
};

class CaptureSession {
public:
    CaptureSession() = default;
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;
    ~CaptureSession() { Shutdown(); }

    // Starts the engine in the current folder (the show folder); false with
    // *error when the folder, the song, the surface or the demo fails.
    bool Start(const CaptureSettings& settings, std::string* error);
    // Renders every frame and its sound into an opened sink (see Format).
    // `stop` (may be null) is polled once per frame; when it is set, or the
    // sink fails, the sink is aborted and the result is false.
    using ProgressFn = std::function<void(int framesDone, int framesTotal)>;
    bool Run(IFrameSink& sink, const ProgressFn& progress, const volatile std::sig_atomic_t* stop,
             std::string* error);
    void Shutdown();

    // The picture a capture starting at `seconds` would show first (the
    // same clock, run-up and frame), whatever was rendered before: the show
    // is rewound to its start first. Width x height RGBA rows, bottom-up,
    // into *rgba; false when no frame could be read.
    bool Still(double seconds, std::vector<uint8_t>* rgba);
    // The running engine, for a program that changes the show between
    // pictures (its tracks, its demo).
    Engine& ShowEngine() { return engine; }

    // What the frames and the sound are: size, rate, channels.
    StreamFormat Format() const;
    int FrameCount() const { return frameCount; }
    double From() const { return settings.from; }
    double To() const { return settings.to; }
    double SongSeconds() const { return songSeconds; }

private:
    // Frames from the song's start up to (not including) `from`.
    void RunUp(double from);

    CaptureSettings settings;
    Engine engine;
    bool started = false;
    LoopbackMusic* music = nullptr;      // owned by the engine
    OffscreenSurface* surface = nullptr; // owned by the renderer
    double songSeconds = 0;
    int frameCount = 0;
};
