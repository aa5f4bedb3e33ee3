// Command-line options of the capture tool: picture size, frame rate, the
// stretch of the song to render, multisampling and where the output goes.
// Times are seconds ("12.5") or beats ("80b") at a given tempo. Parsing never
// exits or prints: it fills the options or one line of error text.
#pragma once

#include <optional>
#include <string>

struct CaptureOptions {
    int width = 1920;
    int height = 1080;
    int fps = 60;
    double fromSeconds = 0.0;
    // Unset: up to the song's end, which the caller learns once the song is loaded.
    std::optional<double> toSeconds;
    int samples = 4;
    std::string out = "show.mp4";
    // Non-empty: one PNG per frame in this folder instead of a video.
    std::string framesDir;
    bool help = false;
};

// The show's tempo, for times given in beats.
constexpr double kShowBeatsPerMinute = 140.0;
// Largest width or height accepted (the largest texture size GL drivers promise in practice).
constexpr int kMaxCaptureSize = 16384;
constexpr int kMaxCaptureSamples = 64;

// True with *out filled from argv[1..argc-1]; false with a one-line *error.
// `--help` sets out->help and stops parsing.
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* out, std::string* error,
                         double beatsPerMinute = kShowBeatsPerMinute);

// The usage text printed for --help, ending in a newline.
std::string CaptureUsage(const char* program, double beatsPerMinute = kShowBeatsPerMinute);

// Seconds for "12.5" or beats for "80b"; false for anything else (no sign
// tricks, hex, inf or trailing characters).
bool ParseCaptureTime(const std::string& text, double beatsPerMinute, double* seconds);

// Frames rendered for [from, to) at fps. Frame n shows the song at from + n/fps
// and stands for one frame's width of time; the count is the span in frames
// rounded to the nearest whole frame (halves up), so the video's length is
// within half a frame of the span asked for. Any non-empty span gives at
// least one frame; an empty or reversed one gives none.
long long FrameCount(double fromSeconds, double toSeconds, int fps);
