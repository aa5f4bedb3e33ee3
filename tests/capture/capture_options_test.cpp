// The capture tool's options: defaults, both value spellings, times in
// seconds and beats, every rejected value with its message (in the shared
// command line's shape), the checks across options, and the frame count.
#include "capture/CaptureOptions.h"

#include "capture/Mp4Sink.h"
#include "capture/PngFrameSink.h"
#include "capture/SinkForOptions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok = false;
    CaptureOptions options;
    std::string error;
};

const std::string kPrefix = "tessel-capture: ";
const std::string kSuffix = " (see tessel-capture --help)\n";

// Parses as tessel-capture does; the error is the problem alone, once its
// shape is checked.
Parsed Parse(std::initializer_list<const char*> arguments, double bpm = kShowBeatsPerMinute) {
    std::vector<const char*> argv = {"tessel-capture"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Parsed parsed;
    cli::CommandLine line("tessel-capture");
    AddCaptureOptions(&line, &parsed.options, bpm);
    std::ostringstream out, err;
    const std::optional<int> exit = line.Parse(static_cast<int>(argv.size()), argv.data(), out, err);
    if (exit) {
        parsed.error = err.str();
        EXPECT_EQ(*exit, 2) << parsed.error;
    } else {
        const std::string problem = CheckCaptureOptions(parsed.options, line.App().get_option("--out")->count() > 0);
        if (!problem.empty()) {
            std::ostringstream refused;
            line.Refuse(problem, refused);
            parsed.error = refused.str();
        }
    }
    parsed.ok = parsed.error.empty();
    if (!parsed.ok) {
        EXPECT_EQ(parsed.error.rfind(kPrefix, 0), 0u) << parsed.error;
        EXPECT_GE(parsed.error.size(), kPrefix.size() + kSuffix.size());
        EXPECT_EQ(parsed.error.substr(parsed.error.size() - kSuffix.size()), kSuffix) << parsed.error;
        parsed.error = parsed.error.substr(kPrefix.size(), parsed.error.size() - kPrefix.size() - kSuffix.size());
    }
    return parsed;
}

std::string ErrorOf(std::initializer_list<const char*> arguments) {
    const Parsed parsed = Parse(arguments);
    EXPECT_FALSE(parsed.ok);
    return parsed.error;
}

TEST(CaptureOptions, DefaultsWithoutArguments) {
    const Parsed parsed = Parse({});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.width, 1920);
    EXPECT_EQ(parsed.options.height, 1080);
    EXPECT_EQ(parsed.options.fps, 60);
    EXPECT_EQ(parsed.options.fromSeconds, 0.0);
    EXPECT_FALSE(parsed.options.toSeconds.has_value());
    EXPECT_EQ(parsed.options.samples, 4);
    EXPECT_EQ(parsed.options.out, "show.mp4");
    EXPECT_TRUE(parsed.options.framesDir.empty());
}

TEST(CaptureOptions, BothSpellingsOfEveryValue) {
    const Parsed parsed = Parse({"--width", "1280", "--height=720", "--fps=30", "--from", "2.5", "--to=10",
                                 "--samples", "0", "--out=clip.mp4"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.width, 1280);
    EXPECT_EQ(parsed.options.height, 720);
    EXPECT_EQ(parsed.options.fps, 30);
    EXPECT_DOUBLE_EQ(parsed.options.fromSeconds, 2.5);
    EXPECT_DOUBLE_EQ(*parsed.options.toSeconds, 10.0);
    EXPECT_EQ(parsed.options.samples, 0);
    EXPECT_EQ(parsed.options.out, "clip.mp4");

    const Parsed frames = Parse({"--frames", "shots", "--width", "161", "--height", "91"});
    ASSERT_TRUE(frames.ok) << frames.error;
    EXPECT_EQ(frames.options.framesDir, "shots");
    EXPECT_EQ(frames.options.width, 161) << "odd sizes are fine for pictures";
}

TEST(CaptureOptions, TimesInSecondsAndBeats) {
    const Parsed parsed = Parse({"--from", "80b", "--to", "1e2"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_DOUBLE_EQ(parsed.options.fromSeconds, 80 * 60 / 140.0);
    EXPECT_DOUBLE_EQ(*parsed.options.toSeconds, 100.0);

    const Parsed slower = Parse({"--to", "60b"}, 120.0);
    ASSERT_TRUE(slower.ok) << slower.error;
    EXPECT_DOUBLE_EQ(*slower.options.toSeconds, 30.0);

    double seconds = 0;
    EXPECT_TRUE(ParseCaptureTime(".5", 140, &seconds));
    EXPECT_DOUBLE_EQ(seconds, 0.5);
    for (const char* bad : {"", "b", "12x", "1.2.3", "0x10", "inf", "nan", "1e", "12bb", "b12", " 1"}) {
        EXPECT_FALSE(ParseCaptureTime(bad, 140, &seconds)) << bad;
    }
}

TEST(CaptureOptions, HelpWinsOverAnythingElse) {
    std::vector<const char*> argv = {"tessel-capture", "--help", "--bogus"};
    cli::CommandLine line("tessel-capture");
    CaptureOptions options;
    AddCaptureOptions(&line, &options);
    std::ostringstream out, err;
    EXPECT_EQ(line.Parse(static_cast<int>(argv.size()), argv.data(), out, err), std::optional<int>(0)) << err.str();
    const std::string usage = out.str();
    for (const char* option : {"--width", "--height", "--fps", "--from", "--to", "--samples", "--out", "--frames",
                               "--help", "--version", "80b"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
}

TEST(CaptureOptions, RejectsUnknownAndMissing) {
    EXPECT_EQ(ErrorOf({"--widht", "5"}), "unknown option '--widht'");
    EXPECT_EQ(ErrorOf({"-w"}), "unknown option '-w'");
    EXPECT_EQ(ErrorOf({"clip.mp4"}), "unexpected argument 'clip.mp4'");
    EXPECT_EQ(ErrorOf({"--width"}), "--width: needs a value");
    EXPECT_EQ(ErrorOf({"--width", "--height", "5"}), "--width: needs a value");
    EXPECT_EQ(ErrorOf({"--to", "--from", "5"}), "--to: needs a value");
    EXPECT_EQ(ErrorOf({"--out="}), "--out: needs a value");
    EXPECT_EQ(ErrorOf({"--help=yes"}), "--help: takes no value");
}

TEST(CaptureOptions, RejectsBadNumbers) {
    EXPECT_EQ(ErrorOf({"--fps", "12x"}), "--fps: '12x' is not a whole number");
    EXPECT_EQ(ErrorOf({"--width", "12.5"}), "--width: '12.5' is not a whole number");
    EXPECT_EQ(ErrorOf({"--from", "12x"}), "--from: '12x' is not a time (seconds like 12.5 or beats like 80b)");
    EXPECT_EQ(ErrorOf({"--fps", "0"}), "--fps: must be between 1 and 1000, not 0");
    EXPECT_EQ(ErrorOf({"--width", "-5"}), "--width: must be between 1 and 16384, not -5");
    EXPECT_EQ(ErrorOf({"--height=16386"}), "--height: must be between 1 and 16384, not 16386");
    EXPECT_EQ(ErrorOf({"--width", "99999999999999999999"}), "--width: must be between 1 and 16384, not 99999999999999999999");
    EXPECT_EQ(ErrorOf({"--samples", "-1"}), "--samples: must be between 0 and 64, not -1");
    EXPECT_EQ(ErrorOf({"--samples", "65"}), "--samples: must be between 0 and 64, not 65");
}

TEST(CaptureOptions, RejectsBadSpans) {
    EXPECT_EQ(ErrorOf({"--from", "-1"}), "--from: must not be negative, not -1");
    EXPECT_EQ(ErrorOf({"--from", "-2b"}), "--from: must not be negative, not -2b");
    EXPECT_EQ(ErrorOf({"--from", "10", "--to", "10"}), "--from (10 s) must be before --to (10 s)");
    EXPECT_EQ(ErrorOf({"--to=7b", "--from=12"}), "--from (12 s) must be before --to (3 s)");
    EXPECT_EQ(ErrorOf({"--out", "a.mp4", "--frames", "shots"}),
              "--out and --frames exclude each other: a video or a folder of frames");
    EXPECT_EQ(ErrorOf({"--width", "161"}), "the video needs an even width and height (H.264 4:2:0), not 161 x 1080");
}

TEST(CaptureOptions, FrameCountRoundsToWholeFrames) {
    EXPECT_EQ(FrameCount(0, 1, 30), 30);
    EXPECT_EQ(FrameCount(12.5, 12.5 + 1.0 / 60, 60), 1) << "one frame's width";
    EXPECT_EQ(FrameCount(0, 1.0 / 600, 60), 1) << "any span gives a frame";
    EXPECT_EQ(FrameCount(0, 1.009, 100), 101);
    EXPECT_EQ(FrameCount(0, 1.004, 100), 100);
    EXPECT_EQ(FrameCount(80 * 60 / 140.0, 96 * 60 / 140.0, 60), 411) << "16 beats = 6.857 s";
    EXPECT_EQ(FrameCount(5, 5, 60), 0);
    EXPECT_EQ(FrameCount(5, 4, 60), 0);
}

TEST(CaptureOptions, ChooseTheSink) {
    const Parsed video = Parse({"--out", "clip.mp4"});
    ASSERT_TRUE(video.ok) << video.error;
    EXPECT_NE(dynamic_cast<Mp4Sink*>(MakeFrameSink(video.options).get()), nullptr);
    EXPECT_EQ(OutputPath(video.options), "clip.mp4");
    const Parsed frames = Parse({"--frames", "shots"});
    ASSERT_TRUE(frames.ok) << frames.error;
    EXPECT_NE(dynamic_cast<PngFrameSink*>(MakeFrameSink(frames.options).get()), nullptr);
    EXPECT_EQ(OutputPath(frames.options), "shots");
}

}  // namespace
