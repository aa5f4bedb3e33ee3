// The PNG frame sink: named frames, upright and opaque, read back with
// stb_image; the folder made when missing; the frames appear together at
// Finish, and an abort leaves the folder as it was.
#include "capture/PngFrameSink.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/capture/synthetic_media.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr int kWidth = 33, kHeight = 17;  // odd on purpose: pictures need no even size

TEST(PngFrameSink, WritesNamedFramesTopDownAndOpaque) {
    ScratchDir scratch;
    const std::string folder = scratch / "shots/deeper";
    PngFrameSink sink(folder);
    std::string error;
    ASSERT_TRUE(sink.Open({kWidth, kHeight, 30, 48000, 2}, &error)) << error;
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 3; ++i) {
        frames.push_back(GradientFrame(kWidth, kHeight, i * 7));
        frames.back()[3] = 0;  // a transparent pixel must not come out transparent
        ASSERT_TRUE(sink.WriteVideo(frames.back().data()));
        const int16_t sound[4] = {1, 2, 3, 4};
        EXPECT_TRUE(sink.WriteAudio(sound, 2));
    }
    ASSERT_TRUE(sink.Finish(&error)) << error;
    EXPECT_EQ(FileNamesIn(folder),
              (std::vector<std::string>{"frame_000000.png", "frame_000001.png", "frame_000002.png"}));

    for (int i = 0; i < 3; ++i) {
        int width = 0, height = 0, channels = 0;
        const std::string path = folder + "/" + PngFrameSink::FrameName(i);
        std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load(path.c_str(), &width, &height, &channels, 0),
                                                         stbi_image_free);
        ASSERT_TRUE(pixels) << path;
        EXPECT_EQ(width, kWidth);
        EXPECT_EQ(height, kHeight);
        EXPECT_EQ(channels, 3) << "RGB: no alpha channel at all";
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint8_t* source = &frames[i][((kHeight - 1 - y) * kWidth + x) * 4];
                const stbi_uc* read = pixels.get() + (y * kWidth + x) * 3;
                ASSERT_EQ(std::vector<int>(read, read + 3), std::vector<int>(source, source + 3))
                    << "frame " << i << " at " << x << "," << y;
            }
        }
    }
}

TEST(PngFrameSink, AbortLeavesTheFolderAsItWas) {
    ScratchDir scratch;
    scratch.Write("kept/notes.txt", "mine");
    scratch.Write("kept/frame_000001.png", "an earlier capture's frame");
    {
        PngFrameSink sink(scratch / "kept");
        std::string error;
        ASSERT_TRUE(sink.Open({kWidth, kHeight, 30, 0, 0}, &error)) << error;
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, i).data()));
        sink.Abort();
        EXPECT_EQ(FileNamesIn(scratch / "kept"), (std::vector<std::string>{"frame_000001.png", "notes.txt"}));
        EXPECT_EQ(scratch.Read("kept/frame_000001.png"), "an earlier capture's frame");
    }
    {
        PngFrameSink sink(scratch / "made");
        std::string error;
        ASSERT_TRUE(sink.Open({kWidth, kHeight, 30, 0, 0}, &error)) << error;
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, i).data()));
    }
    EXPECT_FALSE(std::filesystem::exists(scratch / "made")) << "destroyed unfinished: the folder it made goes too";
}

TEST(PngFrameSink, UnusableFolderGivesAClearError) {
    ScratchDir scratch;
    scratch.Write("file", "x");
    PngFrameSink sink(scratch / "file/shots");
    std::string error;
    EXPECT_FALSE(sink.Open({kWidth, kHeight, 30, 0, 0}, &error));
    EXPECT_EQ(error.rfind("cannot make the folder '" + scratch / "file/shots" + "': ", 0), 0u) << error;
    EXPECT_FALSE(sink.WriteVideo(GradientFrame(kWidth, kHeight, 0).data()));

    PngFrameSink empty(scratch / "empty");
    ASSERT_TRUE(empty.Open({kWidth, kHeight, 30, 0, 0}, &error)) << error;
    EXPECT_FALSE(empty.Finish(&error));
    EXPECT_EQ(error, "no frames were written");
    EXPECT_FALSE(std::filesystem::exists(scratch / "empty"));
}

}  // namespace
