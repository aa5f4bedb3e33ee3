// Command-line options of the capture tool: picture size, frame rate, the
// stretch of the song to render, multisampling and where the output goes.
// Times are seconds ("12.5") or beats ("80b") at a given tempo. The options
// sit on the shared command line, which checks each value; the checks that
// span options come after.
#pragma once

#include <optional>
#include <string>

#include "cli/CommandLine.h"

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
};

// The show's tempo, for times given in beats.
constexpr double kShowBeatsPerMinute = 140.0;
// Largest width or height accepted (the largest texture size GL drivers promise in practice).
constexpr int kMaxCaptureSize = 16384;
constexpr int kMaxCaptureSamples = 64;

// Adds the options, their help and the time syntax to `line`; parsing fills
// *out, times in seconds at `beatsPerMinute`.
void AddCaptureOptions(cli::CommandLine* line, CaptureOptions* out, double beatsPerMinute = kShowBeatsPerMinute);

// What is wrong across the parsed options (from before to, one output, even
// sizes for H.264 4:2:0); empty when nothing is. `outGiven`: --out was on
// the command line.
std::string CheckCaptureOptions(const CaptureOptions& options, bool outGiven);

// Seconds for "12.5" or beats for "80b"; false for anything else (no sign
// tricks, hex, inf or trailing characters).
bool ParseCaptureTime(const std::string& text, double beatsPerMinute, double* seconds);

// Frames rendered for [from, to) at fps. Frame n shows the song at from + n/fps
// and stands for one frame's width of time; the count is the span in frames
// rounded to the nearest whole frame (halves up), so the video's length is
// within half a frame of the span asked for. Any non-empty span gives at
// least one frame; an empty or reversed one gives none.
long long FrameCount(double fromSeconds, double toSeconds, int fps);
