// Golden frames: twelve moments of the show (each scene, the bloom, fades, a
// flash, an effect-clock jump, the drop's hits) rendered by the real
// tessel-capture with no display, compared with the references kept in
// tests/golden/. A frame passes when at most 0.5 % of its pixels have a
// channel more than 8/255 from the reference; otherwise the frame and a
// difference image are written next to the test's output and named.
// TESSEL_BLESS_GOLDEN=1 makes the run write the references instead
// (scripts/bless-golden.sh).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "platform/OutputFile.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kGoldenDir = std::string(TESSEL_SOURCE_DIR) + "/tests/golden";
constexpr int kWidth = 480, kHeight = 270, kFps = 30;

struct GoldenFrame {
    std::string name;
    double beat = 0;
};

void PrintTo(const GoldenFrame& frame, std::ostream* out) { *out << frame.name << " at beat " << frame.beat; }

std::vector<GoldenFrame> ReadGoldenList() {
    std::vector<GoldenFrame> frames;
    std::ifstream in(kGoldenDir + "/frames.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        GoldenFrame frame;
        if (fields >> frame.name >> frame.beat) frames.push_back(frame);
    }
    return frames;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool LoadPicture(const std::string& path, Picture* picture) {
    int components = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &picture->width, &picture->height, &components, 3);
    if (!pixels) return false;
    picture->rgb.assign(pixels, pixels + size_t(picture->width) * size_t(picture->height) * 3);
    stbi_image_free(pixels);
    return true;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9f", seconds);
    return text;
}

class GoldenFrames : public ::testing::TestWithParam<GoldenFrame> {};

TEST_P(GoldenFrames, MatchTheReference) {
    const GoldenFrame frame = GetParam();
    ScratchDir dir;
    LinkBuiltShow(dir);
    const double from = frame.beat * 60.0 / 140.0;
    const ProgramResult run =
        RunProgram(TESSEL_CAPTURE,
                   {"--width", std::to_string(kWidth), "--height", std::to_string(kHeight), "--fps",
                    std::to_string(kFps), "--from", Seconds(from), "--to", Seconds(from + 1.0 / kFps), "--frames",
                    "frames"},
                   dir.path(), {{"DISPLAY", std::nullopt}});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string captured = dir / "frames/frame_000000.png";
    const std::string reference = kGoldenDir + "/" + frame.name + ".png";

    if (std::getenv("TESSEL_BLESS_GOLDEN")) {
        // A reference is replaced whole or not at all.
        std::string error;
        ASSERT_TRUE(platform::WriteFileAtomically(reference, ReadFileBytes(captured), &error)) << error;
        GTEST_SKIP() << "wrote " << reference;
    }
    Picture actual, expected;
    ASSERT_TRUE(LoadPicture(captured, &actual)) << captured;
    ASSERT_TRUE(LoadPicture(reference, &expected)) << "no reference " << reference
                                                   << " (scripts/bless-golden.sh makes the set)";
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);

    std::vector<uint8_t> difference(actual.rgb.size());
    size_t beyond = 0;
    for (size_t pixel = 0; pixel < actual.rgb.size() / 3; ++pixel) {
        bool far = false;
        for (size_t c = 0; c < 3; ++c) {
            const int delta = std::abs(int(actual.rgb[pixel * 3 + c]) - int(expected.rgb[pixel * 3 + c]));
            difference[pixel * 3 + c] = uint8_t(std::min(255, delta * 8));
            far = far || delta > 8;
        }
        beyond += far;
    }
    const double share = double(beyond) / double(actual.rgb.size() / 3);
    if (share > 0.005) {
        const fs::path out = fs::path(TESSEL_GOLDEN_OUTPUT);
        fs::create_directories(out);
        const std::string actualPath = (out / (frame.name + ".actual.png")).string();
        const std::string diffPath = (out / (frame.name + ".diff.png")).string();
        fs::copy_file(captured, actualPath, fs::copy_options::overwrite_existing);
        stbi_write_png(diffPath.c_str(), actual.width, actual.height, 3, difference.data(), actual.width * 3);
        ADD_FAILURE() << frame.name << " at beat " << frame.beat << ": " << share * 100
                      << " % of pixels differ by more than 8/255; frame " << actualPath << ", difference "
                      << diffPath;
    }
}

INSTANTIATE_TEST_SUITE_P(Show, GoldenFrames, ::testing::ValuesIn(ReadGoldenList()),
                         [](const ::testing::TestParamInfo<GoldenFrame>& info) { return info.param.name; });

}  // namespace
