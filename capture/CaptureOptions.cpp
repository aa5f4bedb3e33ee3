// Command-line parsing for the capture tool: `--opt value` and `--opt=value`,
// checked value by value, then the checks that span options (from before to,
// even sizes for H.264 4:2:0).
#include "capture/CaptureOptions.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum class Kind { Int, Time, Text, Flag };

struct OptionInfo {
    const char* name;
    Kind kind;
};

const OptionInfo kOptions[] = {
    {"--width", Kind::Int},   {"--height", Kind::Int}, {"--fps", Kind::Int},
    {"--from", Kind::Time},   {"--to", Kind::Time},    {"--samples", Kind::Int},
    {"--out", Kind::Text},    {"--frames", Kind::Text}, {"--help", Kind::Flag},
};

const OptionInfo* FindOption(const std::string& name) {
    for (const OptionInfo& option : kOptions) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

// Digits with an optional sign; values beyond nine digits clamp far outside
// every accepted range so the range check reports them.
bool ParseWholeNumber(const std::string& text, long long* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        if (result < 1000000000LL) result = result * 10 + (text[i] - '0');
    }
    *value = negative ? -result : result;
    return true;
}

// True when text is a plain decimal number: sign, digits, point, exponent.
bool IsDecimal(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

bool CheckRange(const std::string& name, const std::string& text, long long value, long long low, long long high,
                std::string* error) {
    if (value >= low && value <= high) return true;
    *error = name + " must be between " + std::to_string(low) + " and " + std::to_string(high) + ", not " + text;
    return false;
}

std::string FormatSeconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

bool StoreValue(const std::string& name, const std::string& value, double beatsPerMinute,
                CaptureOptions* out, std::string* error) {
    const OptionInfo* option = FindOption(name);
    if (option->kind == Kind::Text) {
        (name == "--out" ? out->out : out->framesDir) = value;
        return true;
    }
    if (option->kind == Kind::Time) {
        double seconds = 0.0;
        if (!ParseCaptureTime(value, beatsPerMinute, &seconds)) {
            *error = name + ": '" + value + "' is not a time (seconds like 12.5 or beats like 80b)";
            return false;
        }
        if (seconds < 0.0) {
            *error = name + " must not be negative, not " + value;
            return false;
        }
        if (name == "--from") {
            out->fromSeconds = seconds;
        } else {
            out->toSeconds = seconds;
        }
        return true;
    }
    long long number = 0;
    if (!ParseWholeNumber(value, &number)) {
        *error = name + ": '" + value + "' is not a whole number";
        return false;
    }
    if (name == "--width" || name == "--height") {
        if (!CheckRange(name, value, number, 1, kMaxCaptureSize, error)) return false;
        (name == "--width" ? out->width : out->height) = static_cast<int>(number);
    } else if (name == "--fps") {
        if (!CheckRange(name, value, number, 1, 1000, error)) return false;
        out->fps = static_cast<int>(number);
    } else {
        if (!CheckRange(name, value, number, 0, kMaxCaptureSamples, error)) return false;
        out->samples = static_cast<int>(number);
    }
    return true;
}

}  // namespace

bool ParseCaptureTime(const std::string& text, double beatsPerMinute, double* seconds) {
    const bool beats = !text.empty() && text.back() == 'b';
    const std::string number = beats ? text.substr(0, text.size() - 1) : text;
    if (!IsDecimal(number)) return false;
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

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* out, std::string* error,
                         double beatsPerMinute) {
    CaptureOptions options;
    bool outGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const OptionInfo* option = argument.rfind("--", 0) == 0 ? FindOption(name) : nullptr;
        if (!option) {
            *error = argument.rfind("-", 0) == 0 ? "unknown option '" + name + "' (see --help)"
                                                 : "unexpected argument '" + argument + "' (see --help)";
            return false;
        }
        if (option->kind == Kind::Flag) {
            if (equals != std::string::npos) {
                *error = name + " takes no value";
                return false;
            }
            options.help = true;
            *out = options;
            return true;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0) {
            value = argv[++i];
        }
        if (value.empty()) {
            *error = name + " needs a value";
            return false;
        }
        if (!StoreValue(name, value, beatsPerMinute, &options, error)) return false;
        if (name == "--out") outGiven = true;
    }
    if (options.toSeconds && options.fromSeconds >= *options.toSeconds) {
        *error = "--from (" + FormatSeconds(options.fromSeconds) + ") must be before --to (" +
                 FormatSeconds(*options.toSeconds) + ")";
        return false;
    }
    if (outGiven && !options.framesDir.empty()) {
        *error = "--out and --frames exclude each other: a video or a folder of frames";
        return false;
    }
    if (options.framesDir.empty() && (options.width % 2 || options.height % 2)) {
        *error = "the video needs an even width and height (H.264 4:2:0), not " +
                 std::to_string(options.width) + " x " + std::to_string(options.height);
        return false;
    }
    *out = options;
    return true;
}

std::string CaptureUsage(const char* program, double beatsPerMinute) {
    char tempo[32];
    std::snprintf(tempo, sizeof tempo, "%g", beatsPerMinute);
    return std::string("Usage: ") + program +
           " [options]\n"
           "Renders the show frame by frame off-screen and writes a video with its sound.\n"
           "  --width W      picture width in pixels (default 1920)\n"
           "  --height H     picture height in pixels (default 1080)\n"
           "  --fps N        frames per second (default 60)\n"
           "  --from T       start time (default 0)\n"
           "  --to T         end time (default: the song's end)\n"
           "  --samples N    multisampling samples per pixel, 0 for none (default 4)\n"
           "  --out FILE     the video: H.264 and AAC in MP4 (default show.mp4)\n"
           "  --frames DIR   write DIR/frame_000000.png, ... instead of a video (no sound)\n"
           "  --help         this text\n"
           "Times T are seconds (12.5) or beats at " + tempo + " per minute (80b).\n"
           "Values go as --opt value or --opt=value.\n";
}
