// tessel-stills as tessel-author runs it: pictures asked for out of order
// (later moments first, so that nothing left from one picture can help the
// next) equal the first frame tessel-capture --frames makes of the same
// moment within 8/255 per channel: the drop's glowing rain, the second
// theme's tunnel, the groove. Tracks sent over the pipe replace
// the compiled ones (a Fade of 1 is black). A damaged message ends it with
// status 1; the end of its input with 0.
#include <gtest/gtest.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "stills/StillsProtocol.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"

namespace {

constexpr int kWidth = 192, kHeight = 108;
constexpr int kAnswerMs = 120000;  // a bound on a hang (the sanitizer build is slow)

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool Decode(const std::string& bytes, Picture* picture) {
    int components = 0;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), int(bytes.size()),
                                            &picture->width, &picture->height, &components, 3);
    if (!pixels) return false;
    picture->rgb.assign(pixels, pixels + size_t(picture->width) * size_t(picture->height) * 3);
    stbi_image_free(pixels);
    return true;
}

double RowSeconds(double row) { return row / 16.0 * 60.0 / 140.0; }

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9f", seconds);
    return text;
}

class Stills {
public:
    explicit Stills(const std::string& folder) {
        started = child.Start(TESSEL_STILLS, {"--width", std::to_string(kWidth), "--height", std::to_string(kHeight),
                                              "--log", "StillsLog.txt", "--priority", "normal"},
                              folder, &error);
        stills::Message hello;
        started = started && stills::ReadMessage(child.Output(), kAnswerMs, &hello, &error) && hello.kind == 'H';
    }
    bool Send(const std::string& bytes) { return stills::WriteAll(child.Input(), bytes); }
    // The picture of `row` as the child encodes it; false with error.
    bool Picture(double row, uint8_t format, std::string* bytes) {
        stills::Message answer;
        uint32_t id = 0;
        uint8_t got = 0;
        return Send(stills::RenderMessage(7, row, format)) &&
               stills::ReadMessage(child.Output(), kAnswerMs, &answer, &error) && answer.kind == 'P' &&
               stills::ParsePicture(answer.payload, &id, &got, bytes) && id == 7 && got == format;
    }
    platform::ChildProcess child;
    bool started = false;
    std::string error;
};

TEST(Stills, PicturesEqualTesselCaptureFramesOfTheSameMoment) {
    ScratchDir dir;
    LinkBuiltShow(dir);
    Stills maker(dir.path());
    ASSERT_TRUE(maker.started) << maker.error;
    for (const double row : {2624.5, 1600.5, 448.5}) {
        std::string png;
        ASSERT_TRUE(maker.Picture(row, stills::kPng, &png)) << maker.error;
        const double from = RowSeconds(row);
        const std::string frames = "frames" + std::to_string(int(row));
        const ProgramResult run =
            RunProgram(TESSEL_CAPTURE,
                       {"--width", std::to_string(kWidth), "--height", std::to_string(kHeight), "--from",
                        Seconds(from), "--to", Seconds(from + 1.0 / 60), "--frames", frames},
                       dir.path(), {{"DISPLAY", std::nullopt}});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        Picture still, captured;
        ASSERT_TRUE(Decode(png, &still));
        ASSERT_TRUE(Decode(dir.Read(frames + "/frame_000000.png"), &captured));
        ASSERT_EQ(still.width, captured.width);
        ASSERT_EQ(still.height, captured.height);
        int worst = 0;
        long lit = 0;
        for (size_t i = 0; i < still.rgb.size(); ++i) {
            worst = std::max(worst, std::abs(int(still.rgb[i]) - int(captured.rgb[i])));
            lit += captured.rgb[i] > 16;
        }
        EXPECT_LE(worst, 8) << "row " << row;
        EXPECT_GT(lit, long(still.rgb.size() / 20)) << "row " << row << " shows the scene";
    }

    // The document's tracks over the compiled ones: Fade 1 is black.
    ASSERT_TRUE(maker.Send(stills::TracksMessage({{"Fade", {{0, 1.0f, 0}}}})));
    std::string jpeg;
    ASSERT_TRUE(maker.Picture(1600.5, stills::kJpeg, &jpeg)) << maker.error;
    Picture black;
    ASSERT_TRUE(Decode(jpeg, &black));
    int brightest = 0;
    for (uint8_t value : black.rgb) brightest = std::max(brightest, int(value));
    EXPECT_LE(brightest, 4);

    maker.child.Stop(60000);
    EXPECT_EQ(maker.child.Ending(), "exit status 0");
}

TEST(Stills, ADamagedMessageEndsItWithStatusOne) {
    ScratchDir dir;
    LinkBuiltShow(dir);
    Stills maker(dir.path());
    ASSERT_TRUE(maker.started) << maker.error;
    // A track count larger than its bytes could hold.
    std::string damaged = stills::TracksMessage({{"Fade", {}}});
    damaged[5] = '\x7f';
    ASSERT_TRUE(maker.Send(damaged));
    stills::Message answer;
    std::string error;
    EXPECT_FALSE(stills::ReadMessage(maker.child.Output(), kAnswerMs, &answer, &error));
    maker.child.Stop(60000);
    EXPECT_EQ(maker.child.Ending(), "exit status 1");
}

}  // namespace
