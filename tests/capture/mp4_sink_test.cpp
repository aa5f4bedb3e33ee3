// The MP4 sink end to end: synthetic pictures and sound encoded, then read
// back with FFmpeg's own demuxer and decoders; repeatability; and the files
// left behind (none) when an encode fails or is dropped.
#include "capture/Mp4Sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/capture/media_reader.h"
#include "tests/capture/synthetic_media.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr int kWidth = 160, kHeight = 90, kFps = 30, kRate = 48000, kChannels = 2;

const StreamFormat kFormat{kWidth, kHeight, kFps, kRate, kChannels};

// Encodes `frames` gradient pictures with `soundFrames` sample frames of the sweep
// spread over them (the rest after the last picture); the error text, empty on success.
std::string Encode(const std::string& path, int frames, int soundFrames, const StreamFormat& format = kFormat) {
    Mp4Sink sink(path);
    std::string error;
    if (!sink.Open(format, &error)) return error;
    const int channels = std::max(1, format.channels);
    const std::vector<int16_t> sound = SweepSound(format.sampleRate, channels, soundFrames);
    int soundDone = 0;
    for (int i = 0; i < frames; ++i) {
        if (!sink.WriteVideo(GradientFrame(format.width, format.height, i).data())) break;
        const int due = static_cast<int>((i + 1LL) * format.sampleRate / format.fps);
        const int end = i + 1 == frames ? soundFrames : std::min(soundFrames, due);
        if (!sink.WriteAudio(sound.data() + static_cast<size_t>(soundDone) * channels, end - soundDone)) break;
        soundDone = end;
    }
    return sink.Finish(&error) ? "" : error;
}

class Mp4SinkOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = new ScratchDir;
        encodeError = new std::string(Encode(*scratch / "show.mp4", 30, kRate));
        media = new DecodedMedia(ReadMedia(*scratch / "show.mp4"));
    }
    static void TearDownTestSuite() {
        delete media;
        delete encodeError;
        delete scratch;
    }
    void SetUp() override {
        ASSERT_EQ(*encodeError, "");
        ASSERT_EQ(media->error, "");
    }
    static ScratchDir* scratch;
    static std::string* encodeError;
    static DecodedMedia* media;
};
ScratchDir* Mp4SinkOutput::scratch = nullptr;
std::string* Mp4SinkOutput::encodeError = nullptr;
DecodedMedia* Mp4SinkOutput::media = nullptr;

TEST_F(Mp4SinkOutput, OneH264AndOneAacStreamUnderTheFinalNameOnly) {
    EXPECT_EQ(FileNamesIn(scratch->path()), std::vector<std::string>{"show.mp4"});
    EXPECT_EQ(media->videoStreams, 1);
    EXPECT_EQ(media->audioStreams, 1);
    EXPECT_EQ(media->videoCodec, "h264");
    EXPECT_EQ(media->pixelFormat, "yuv420p");
    EXPECT_EQ(media->width, kWidth);
    EXPECT_EQ(media->height, kHeight);
    EXPECT_EQ(media->audioCodec, "aac");
    EXPECT_EQ(media->sampleRate, kRate);
    EXPECT_EQ(media->channels, kChannels);
}

TEST_F(Mp4SinkOutput, EveryFrameOnceAndTheDurationExact) {
    EXPECT_EQ(media->videoPackets, 30);
    EXPECT_EQ(media->luma.size(), 30u);
    EXPECT_EQ(media->fileDurationMicroseconds, 1000000);
    EXPECT_DOUBLE_EQ(media->videoSeconds, 1.0);
    EXPECT_DOUBLE_EQ(media->audioSeconds, 1.0);
    EXPECT_DOUBLE_EQ(media->videoStart, 0.0);
    EXPECT_DOUBLE_EQ(media->audioStart, 0.0);
}

TEST_F(Mp4SinkOutput, PicturesDecodeUprightInBt709) {
    ASSERT_EQ(media->luma.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        const std::vector<double> expected = GradientLuma(kWidth, kHeight, i);
        double error = 0;
        for (size_t p = 0; p < expected.size(); ++p) error += std::fabs(media->luma[i][p] - expected[p]);
        EXPECT_LT(error / expected.size(), 2.0) << "frame " << i;
    }
}

TEST_F(Mp4SinkOutput, SoundMatchesAndStartsWithTheFirstPicture) {
    const std::vector<int16_t> input = SweepSound(kRate, kChannels, kRate);
    // FFmpeg's decoder keeps the padding of the last AAC frame (the stream's
    // duration above says where the sound ends), never the priming.
    ASSERT_GE(media->sound.size(), input.size());
    ASSERT_LT(media->sound.size(), input.size() + 1024 * kChannels);
    // The left channel's best alignment with the input.
    auto correlation = [&](int lag) {
        double sum = 0;
        for (int i = std::max(0, -lag); i < kRate && i + lag < kRate; ++i) {
            sum += media->sound[static_cast<size_t>(i + lag) * kChannels] * input[static_cast<size_t>(i) * kChannels];
        }
        return sum;
    };
    int bestLag = 0;
    double best = correlation(0);
    for (int lag = -2048; lag <= 2048; ++lag) {
        const double value = correlation(lag);
        if (value > best) best = value, bestLag = lag;
    }
    EXPECT_EQ(bestLag, 0);

    double signal = 0, noise = 0, firstInput = 0, firstOutput = 0;
    for (size_t i = 0; i < input.size(); ++i) {
        const double expected = input[i] / 32768.0;
        signal += expected * expected;
        noise += (media->sound[i] - expected) * (media->sound[i] - expected);
        if (i < 1024 * kChannels) {
            firstInput += expected * expected;
            firstOutput += media->sound[i] * media->sound[i];
        }
    }
    const double snr = 10 * std::log10(signal / noise);
    EXPECT_GT(snr, 20.0) << "signal to noise in dB";
    RecordProperty("snr_db", std::to_string(snr));
    EXPECT_GT(firstOutput, 0.7 * firstInput) << "the first AAC frame is sound, not priming silence";
}

TEST(Mp4Sink, SameInputGivesTheSameBytes) {
    ScratchDir scratch;
    ASSERT_EQ(Encode(scratch / "a.mp4", 20, 20 * kRate / kFps), "");
    ASSERT_EQ(Encode(scratch / "b.mp4", 20, 20 * kRate / kFps), "");
    const DecodedMedia first = ReadMedia(scratch / "a.mp4"), second = ReadMedia(scratch / "b.mp4");
    EXPECT_EQ(first.videoPacketBytes, second.videoPacketBytes);
    EXPECT_EQ(first.luma, second.luma);
    EXPECT_TRUE(ReadFileBytes(scratch / "a.mp4") == ReadFileBytes(scratch / "b.mp4"));
}

TEST(Mp4Sink, SoundIsCutOrPaddedToThePictures) {
    ScratchDir scratch;
    // 31 frames at 30 fps: 1.0333 s, with sound for only 20 of them.
    ASSERT_EQ(Encode(scratch / "short.mp4", 31, 20 * kRate / kFps), "");
    const DecodedMedia padded = ReadMedia(scratch / "short.mp4");
    EXPECT_EQ(padded.videoPackets, 31);
    EXPECT_EQ(padded.fileDurationMicroseconds, 1033333);
    EXPECT_NEAR(padded.audioSeconds, 31.0 / 30, 1e-9) << "49600 sample frames";
    ASSERT_GE(padded.sound.size(), 49600u * kChannels);
    double head = 0, tail = 0;
    for (size_t i = 0; i < 32000 * kChannels; ++i) head += std::fabs(padded.sound[i]);
    for (size_t i = 33000 * kChannels; i < padded.sound.size(); ++i) tail += std::fabs(padded.sound[i]);
    EXPECT_GT(head / (32000 * kChannels), 0.1);
    EXPECT_LT(tail / (padded.sound.size() - 33000 * kChannels), 1e-3) << "the missing sound is silence";

    // Sound past the last picture is dropped.
    ASSERT_EQ(Encode(scratch / "long.mp4", 15, kRate), "");
    const DecodedMedia cut = ReadMedia(scratch / "long.mp4");
    EXPECT_EQ(cut.fileDurationMicroseconds, 500000);
    EXPECT_DOUBLE_EQ(cut.audioSeconds, 0.5);

    // Sound well ahead of the pictures is refused.
    Mp4Sink sink(scratch / "ahead.mp4");
    std::string error;
    ASSERT_TRUE(sink.Open(kFormat, &error)) << error;
    ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, 0).data()));
    const std::vector<int16_t> twoSeconds = SweepSound(kRate, kChannels, 2 * kRate);
    EXPECT_FALSE(sink.WriteAudio(twoSeconds.data(), 2 * kRate));
    EXPECT_FALSE(sink.Finish(&error));
    EXPECT_EQ(error, "the sound runs more than a second ahead of the pictures");
    EXPECT_FALSE(std::filesystem::exists(scratch / "ahead.mp4"));
}

// Frame rates and sample rates whose frames hold whole and fractional sample counts.
class Mp4SinkTiming : public ::testing::TestWithParam<StreamFormat> {};

TEST_P(Mp4SinkTiming, DurationIsTheFrameCountOverTheFrameRate) {
    const StreamFormat format = GetParam();
    const int frames = format.fps + 1;
    const int soundFrames = static_cast<int>(static_cast<int64_t>(frames) * format.sampleRate / format.fps);
    ScratchDir scratch;
    ASSERT_EQ(Encode(scratch / "timed.mp4", frames, soundFrames, format), "");
    const DecodedMedia media = ReadMedia(scratch / "timed.mp4");
    ASSERT_EQ(media.error, "");
    EXPECT_EQ(media.videoPackets, frames);
    EXPECT_EQ(media.luma.size(), static_cast<size_t>(frames));
    const double seconds = static_cast<double>(frames) / format.fps;
    EXPECT_NEAR(media.videoSeconds, seconds, 1e-9);
    EXPECT_NEAR(media.fileSeconds, seconds, 1e-6);
    EXPECT_NEAR(media.audioSeconds, static_cast<double>(soundFrames) / format.sampleRate, 1e-9);
    EXPECT_EQ(media.channels, format.channels);
    EXPECT_EQ(media.sampleRate, format.sampleRate);
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp4SinkTiming,
                         ::testing::Values(StreamFormat{64, 36, 60, 48000, 2}, StreamFormat{64, 36, 24, 44100, 2},
                                           StreamFormat{64, 36, 25, 44100, 1}, StreamFormat{64, 36, 50, 22050, 2}),
                         [](const ::testing::TestParamInfo<StreamFormat>& info) {
                             return std::to_string(info.param.fps) + "fps_" + std::to_string(info.param.sampleRate) +
                                    "Hz_" + std::to_string(info.param.channels) + "ch";
                         });

TEST(Mp4Sink, PicturesWithoutSound) {
    ScratchDir scratch;
    ASSERT_EQ(Encode(scratch / "silent.mp4", 15, 0, {kWidth, kHeight, kFps, 0, 0}), "");
    const DecodedMedia media = ReadMedia(scratch / "silent.mp4");
    EXPECT_EQ(media.error, "");
    EXPECT_EQ(media.videoStreams, 1);
    EXPECT_EQ(media.audioStreams, 0);
    EXPECT_EQ(media.videoPackets, 15);
    EXPECT_EQ(media.fileDurationMicroseconds, 500000);
}

TEST(Mp4Sink, DroppedEncodesLeaveNoFile) {
    ScratchDir scratch;
    const std::string path = scratch / "show.mp4";
    std::string error;
    {
        Mp4Sink sink(path);
        ASSERT_TRUE(sink.Open(kFormat, &error)) << error;
        EXPECT_TRUE(std::filesystem::exists(sink.TemporaryPath()));
        EXPECT_EQ(std::filesystem::path(sink.TemporaryPath()).parent_path(), scratch.path());
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, i).data()));
        sink.Abort();
        EXPECT_TRUE(FileNamesIn(scratch.path()).empty());
        sink.Abort();
        EXPECT_FALSE(sink.WriteVideo(GradientFrame(kWidth, kHeight, 0).data()));
    }
    {
        Mp4Sink sink(path);
        ASSERT_TRUE(sink.Open(kFormat, &error)) << error;
        for (int i = 0; i < 10; ++i) ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, i).data()));
    }
    EXPECT_TRUE(FileNamesIn(scratch.path()).empty()) << "destroyed unfinished";
    {
        Mp4Sink sink(path);
        ASSERT_TRUE(sink.Open(kFormat, &error)) << error;
        EXPECT_FALSE(sink.Finish(&error));
        EXPECT_EQ(error, "no frames were written");
    }
    EXPECT_TRUE(FileNamesIn(scratch.path()).empty());
}

TEST(Mp4Sink, UnwritableOutputsGiveAClearError) {
    ScratchDir scratch;
    std::string error;
    Mp4Sink missing(scratch / "no/such/folder/show.mp4");
    EXPECT_FALSE(missing.Open(kFormat, &error));
    EXPECT_EQ(error, scratch / "no/such/folder/show.mp4" + ": No such file or directory");

    std::filesystem::create_directory(scratch / "taken");
    Mp4Sink folder(scratch / "taken");
    EXPECT_FALSE(folder.Open(kFormat, &error));
    EXPECT_EQ(error, scratch / "taken" + ": Is a directory");

    Mp4Sink odd(scratch / "odd.mp4");
    EXPECT_FALSE(odd.Open({161, 90, kFps, kRate, kChannels}, &error));
    EXPECT_EQ(error, "the video needs a positive even width and height and a positive frame rate, not 161 x 90 at 30 fps");

    if (geteuid() != 0) {
        std::filesystem::create_directory(scratch / "locked");
        std::filesystem::permissions(scratch / "locked", std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
        Mp4Sink locked(scratch / "locked/show.mp4");
        EXPECT_FALSE(locked.Open(kFormat, &error));
        EXPECT_EQ(error, scratch / "locked/show.mp4" + ": Permission denied");
        std::filesystem::permissions(scratch / "locked", std::filesystem::perms::owner_all);
    }
}

TEST(Mp4Sink, FailedFinishLeavesNoFile) {
    ScratchDir scratch;
    const std::string folder = scratch / "out";
    std::filesystem::create_directory(folder);
    Mp4Sink sink(folder + "/show.mp4");
    std::string error;
    ASSERT_TRUE(sink.Open({kWidth, kHeight, kFps, 0, 0}, &error)) << error;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(sink.WriteVideo(GradientFrame(kWidth, kHeight, i).data()));
    // The folder vanishes under the open file: the final rename has nowhere to go.
    std::filesystem::remove_all(folder);
    EXPECT_FALSE(sink.Finish(&error));
    EXPECT_EQ(error, folder + "/show.mp4: No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
