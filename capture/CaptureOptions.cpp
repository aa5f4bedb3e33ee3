// The capture tool's options on the shared command line: whole numbers in
// their ranges, times in seconds or beats (checked and turned into seconds
// by one check), and the checks that span options.
#include "capture/CaptureOptions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string FormatSeconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// Checks a time and rewrites it as seconds, which the option then reads.
CLI::Validator CaptureTime(double beatsPerMinute) {
    return CLI::Validator(
        [beatsPerMinute](std::string& text) -> std::string {
            if (text.empty() || text.rfind("--", 0) == 0) return "needs a value";
            double seconds = 0.0;
            if (!ParseCaptureTime(text, beatsPerMinute, &seconds)) {
                return "'" + text + "' is not a time (seconds like 12.5 or beats like 80b)";
            }
            if (seconds < 0.0) return "must not be negative, not " + text;
            char exact[40];
            std::snprintf(exact, sizeof exact, "%.17g", seconds);
            text = exact;
            return {};
        },
        "");
}

}  // namespace

bool ParseCaptureTime(const std::string& text, double beatsPerMinute, double* seconds) {
    const bool beats = !text.empty() && text.back() == 'b';
    const std::string number = beats ? text.substr(0, text.size() - 1) : text;
    if (!cli::IsDecimal(number)) return false;
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) return false;
    *seconds = beats ? value * 60.0 / beatsPerMinute : value;
    return std::isfinite(*seconds);
}

long long FrameCount(double fromSeconds, double toSeconds, int fps) {
    if (!(toSeconds > fromSeconds) || fps <= 0) return 0;
    const long long frames = std::llround((toSeconds - fromSeconds) * fps);
    return frames < 1 ? 1 : frames;
}

void AddCaptureOptions(cli::CommandLine* line, CaptureOptions* out, double beatsPerMinute) {
    CLI::App& app = line->App();
    app.description("Renders the show frame by frame off-screen and writes a video with its sound.");
    app.add_option("--width", out->width, "picture width in pixels (default 1920)")
        ->type_name("W")
        ->check(cli::WholeNumber(1, kMaxCaptureSize));
    app.add_option("--height", out->height, "picture height in pixels (default 1080)")
        ->type_name("H")
        ->check(cli::WholeNumber(1, kMaxCaptureSize));
    app.add_option("--fps", out->fps, "frames per second (default 60)")->type_name("N")->check(cli::WholeNumber(1, 1000));
    app.add_option("--from", out->fromSeconds, "start time (default 0)")->type_name("T")->transform(CaptureTime(beatsPerMinute));
    app.add_option_function<double>(
           "--to", [out](const double& seconds) { out->toSeconds = seconds; }, "end time (default: the song's end)")
        ->type_name("T")
        ->transform(CaptureTime(beatsPerMinute));
    app.add_option("--samples", out->samples, "multisampling samples per pixel, 0 for none (default 4)")
        ->type_name("N")
        ->check(cli::WholeNumber(0, kMaxCaptureSamples));
    app.add_option("--out", out->out, "the video: H.264 and AAC in MP4 (default show.mp4)")
        ->type_name("FILE")
        ->check(cli::NotEmpty());
    app.add_option("--frames", out->framesDir, "write DIR/frame_000000.png, ... instead of a video (no sound)")
        ->type_name("DIR")
        ->check(cli::NotEmpty());
    char tempo[32];
    std::snprintf(tempo, sizeof tempo, "%g", beatsPerMinute);
    app.footer(std::string("Times T are seconds (12.5) or beats at ") + tempo + " per minute (80b).");
}

std::string CheckCaptureOptions(const CaptureOptions& options, bool outGiven) {
    if (options.toSeconds && options.fromSeconds >= *options.toSeconds) {
        return "--from (" + FormatSeconds(options.fromSeconds) + ") must be before --to (" +
               FormatSeconds(*options.toSeconds) + ")";
    }
    if (outGiven && !options.framesDir.empty()) {
        return "--out and --frames exclude each other: a video or a folder of frames";
    }
    if (options.framesDir.empty() && (options.width % 2 || options.height % 2)) {
        return "the video needs an even width and height (H.264 4:2:0), not " + std::to_string(options.width) +
               " x " + std::to_string(options.height);
    }
    return {};
}
