// The capture's session through its seams, in-process on the real show with
// the real renderer on an EGL context (no display): a recording sink double
// stands for the encoder.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/CaptureSession.h"
#include "tests/support/show_folder.h"

namespace {

class RecordingSink final : public IFrameSink {
public:
    bool Open(const StreamFormat& wanted, std::string*) override {
        format = wanted;
        return true;
    }
    bool WriteVideo(const uint8_t* rgba) override {
        pictures.emplace_back(rgba, rgba + size_t(format.width) * size_t(format.height) * 4);
        return acceptPictures;
    }
    bool WriteAudio(const int16_t* samples, int frames) override {
        soundPerFrame.push_back(frames);
        sound.insert(sound.end(), samples, samples + size_t(frames) * size_t(format.channels));
        return true;
    }
    bool Finish(std::string*) override {
        finished = true;
        return true;
    }
    void Abort() override { aborted = true; }

    StreamFormat format;
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<int> soundPerFrame;
    std::vector<int16_t> sound;
    bool acceptPictures = true;
    bool finished = false;
    bool aborted = false;
};

CaptureSettings Small(double from, double to) {
    CaptureSettings settings;
    settings.width = 160;
    settings.height = 90;
    settings.fps = 30;
    settings.from = from;
    settings.to = to;
    return settings;
}

bool Capture(const CaptureSettings& settings, RecordingSink* sink, std::string* error,
             const volatile std::sig_atomic_t* stop = nullptr) {
    CaptureSession session;
    if (!session.Start(settings, error)) return false;
    sink->Open(session.Format(), error);
    return session.Run(*sink, nullptr, stop, error);
}

// Share of channel values further apart than 8/255.
double FarApart(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t far = 0;
    for (size_t i = 0; i < a.size(); ++i) far += std::abs(int(a[i]) - int(b[i])) > 8;
    return double(far) / double(a.size());
}

TEST(CaptureSession, FramesAndTheirSoundComeInLockstep) {
    ShowFolder show(ShowFolder::kBuiltShow);  // keeps CaptureLog.txt out of the build tree
    RecordingSink sink;
    std::string error;
    ASSERT_TRUE(Capture(Small(10.0, 10.5), &sink, &error)) << error;
    EXPECT_TRUE(sink.finished);
    EXPECT_FALSE(sink.aborted);
    EXPECT_EQ(sink.format.width, 160);
    EXPECT_EQ(sink.format.height, 90);
    EXPECT_EQ(sink.format.channels, 2);
    EXPECT_EQ(sink.format.sampleRate, 44100);
    ASSERT_EQ(sink.pictures.size(), 15u);
    ASSERT_EQ(sink.soundPerFrame.size(), 15u);
    for (int frames : sink.soundPerFrame) EXPECT_EQ(frames, 1470);
    // The show is playing: the pictures move and the sound is not silent.
    EXPECT_NE(sink.pictures.front(), sink.pictures.back());
    int loudest = 0;
    for (int16_t sample : sink.sound) loudest = std::max(loudest, std::abs(int(sample)));
    EXPECT_GT(loudest, 1000);
}

TEST(CaptureSession, SameFramesTwiceGiveIdenticalPixels) {
    ShowFolder show(ShowFolder::kBuiltShow);
    RecordingSink first, second;
    std::string error;
    ASSERT_TRUE(Capture(Small(35.0, 35.2), &first, &error)) << error;
    ASSERT_TRUE(Capture(Small(35.0, 35.2), &second, &error)) << error;
    ASSERT_EQ(first.pictures.size(), 6u);
    EXPECT_TRUE(first.pictures == second.pictures);
    EXPECT_TRUE(first.sound == second.sound);
}

// The bloom composes every frame of the show from single-sampled targets, so
// the frames come out the same with the window's multisampling or without.
TEST(CaptureSession, ComposedFramesAreTheSameWithOrWithoutMultisampling) {
    ShowFolder show(ShowFolder::kBuiltShow);
    RecordingSink multisampled, plain;
    std::string error;
    CaptureSettings settings = Small(35.0, 35.2);
    ASSERT_TRUE(Capture(settings, &multisampled, &error)) << error;
    settings.samples = 0;
    ASSERT_TRUE(Capture(settings, &plain, &error)) << error;
    ASSERT_EQ(multisampled.pictures.size(), 6u);
    EXPECT_TRUE(multisampled.pictures == plain.pictures);
}

// In the tunnel the scenes' clocks carry the history of cuts and time jumps:
// a capture that starts late shows what one that started earlier shows.
TEST(CaptureSession, StartingLateShowsTheSameFrameAsStartingEarlier) {
    ShowFolder show(ShowFolder::kBuiltShow);
    RecordingSink early, late;
    std::string error;
    ASSERT_TRUE(Capture(Small(68.0, 70.1), &early, &error)) << error;
    ASSERT_TRUE(Capture(Small(70.0, 70.1), &late, &error)) << error;
    ASSERT_EQ(late.pictures.size(), 3u);
    ASSERT_EQ(early.pictures.size(), 63u);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_LE(FarApart(early.pictures[60 + k], late.pictures[k]), 0.005) << "frame " << k;
    // The late capture's sound starts at its first frame's sample.
    ASSERT_GE(early.sound.size(), late.sound.size());
    EXPECT_TRUE(std::equal(late.sound.begin(), late.sound.end(), early.sound.end() - long(late.sound.size())));
}

TEST(CaptureSession, AStopOrARefusingSinkAbortsTheOutput) {
    ShowFolder show(ShowFolder::kBuiltShow);
    std::string error;
    RecordingSink stopped;
    volatile std::sig_atomic_t stop = 1;
    EXPECT_FALSE(Capture(Small(1.0, 2.0), &stopped, &error, &stop));
    EXPECT_EQ(error, "interrupted");
    EXPECT_TRUE(stopped.aborted);
    EXPECT_FALSE(stopped.finished);

    RecordingSink refusing;
    refusing.acceptPictures = false;
    EXPECT_FALSE(Capture(Small(1.0, 2.0), &refusing, &error));
    EXPECT_TRUE(refusing.aborted);
    EXPECT_FALSE(refusing.finished);
    EXPECT_LE(refusing.pictures.size(), 2u);
}

TEST(CaptureSession, RefusedSizesMissingFoldersAndEmptySpansAreNamed) {
    std::string error;
    {
        InScratchDir empty;
        CaptureSession session;
        EXPECT_FALSE(session.Start(Small(0, 1), &error));
        EXPECT_NE(error.find("no show folder here"), std::string::npos) << error;
    }
    ShowFolder show(ShowFolder::kBuiltShow);
    {
        CaptureSettings settings = Small(0, 1);
        settings.samples = 64;
        CaptureSession session;
        EXPECT_FALSE(session.Start(settings, &error));
        EXPECT_NE(error.find("renderer could not start"), std::string::npos) << error;
    }
    {
        CaptureSettings settings = Small(0, 1);
        settings.width = 40000;
        CaptureSession session;
        EXPECT_FALSE(session.Start(settings, &error));
        EXPECT_NE(error.find("40000 x 90"), std::string::npos) << error;
    }
    {
        CaptureSession session;
        EXPECT_FALSE(session.Start(Small(500, -1), &error));
        EXPECT_NE(error.find("after the end"), std::string::npos) << error;
    }
}

}  // namespace
