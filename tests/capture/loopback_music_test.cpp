// The capture's music against real OpenAL Soft: the loopback device mixes the
// decoded song sample for sample from any starting sample, and the clock is
// the frame's time in beats, whatever the mixer has done.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

#include "audio/DecodeOggFile.h"
#include "capture/LoopbackMusic.h"
#include "tests/audio/support/test_song.h"
#include "tests/support/scratch_dir.h"

namespace {

struct LoopbackCase {
    int channels;
    double startSeconds;
};

void PrintTo(const LoopbackCase& param, std::ostream* out) {
    *out << param.channels << " channels from " << param.startSeconds << " s";
}

class LoopbackSound : public ::testing::TestWithParam<LoopbackCase> {};

TEST_P(LoopbackSound, MixesTheDecodedSongFromTheSeekedSample) {
    const LoopbackCase param = GetParam();
    ScratchDir dir;
    const std::string song = dir / "song.ogg";
    ASSERT_TRUE(MakeTestSong(song, param.channels, 44100, 2.0));
    DecodedSong decoded;
    ASSERT_TRUE(DecodeOggFile(song.c_str(), &decoded));
    const auto* in = reinterpret_cast<const int16_t*>(decoded.samples.data());
    const long inFrames = long(decoded.samples.size() / 2 / size_t(param.channels));

    LoopbackMusic music(44100);
    ASSERT_TRUE(music.Init());
    ASSERT_TRUE(music.LoadSong(song.c_str(), 140.0f));
    EXPECT_NEAR(music.SongSeconds(), double(inFrames) / 44100, 1e-9);
    music.Play();
    music.SeekSound(param.startSeconds);
    const long first = std::lround(param.startSeconds * 44100);

    // In odd chunks, as frames of different lengths would ask for them.
    std::vector<int16_t> out;
    std::vector<int16_t> chunk;
    for (int frames : {735, 1, 1470, 4096, 734}) {
        chunk.assign(size_t(frames) * 2, 0);
        music.RenderSound(chunk.data(), frames);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    music.Shutdown();

    // A stereo song comes back bit for bit; a mono one sits in the middle,
    // equal on both sides at the panning's fixed gain.
    double gain = 1.0;
    if (param.channels == 1) {
        size_t loudest = 0;
        for (size_t k = 0; k < out.size() / 2; ++k)
            if (std::abs(in[first + long(k)]) > std::abs(in[first + long(loudest)])) loudest = k;
        gain = double(out[loudest * 2]) / in[first + long(loudest)];
        EXPECT_GT(gain, 0.5);
        EXPECT_LE(gain, 1.0);
    }
    long mismatches = 0;
    for (size_t k = 0; k < out.size() / 2; ++k) {
        for (int c = 0; c < 2; ++c) {
            const int expected = in[(first + long(k)) * param.channels + (param.channels == 2 ? c : 0)];
            const int tolerance = param.channels == 2 ? 0 : 1;
            if (std::abs(out[k * 2 + size_t(c)] - std::lround(expected * gain)) > tolerance) ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << out.size() << " samples";
}

INSTANTIATE_TEST_SUITE_P(FromStartAndMidSong, LoopbackSound,
                         ::testing::Values(LoopbackCase{2, 0.0}, LoopbackCase{2, 0.75}, LoopbackCase{1, 0.5}));

TEST(LoopbackClock, StandsAtTheFrameTimeInBeats) {
    ScratchDir dir;
    const std::string song = dir / "song.ogg";
    ASSERT_TRUE(MakeTestSong(song, 2, 44100, 1.0));
    LoopbackMusic music(44100);
    ASSERT_TRUE(music.Init());
    ASSERT_TRUE(music.LoadSong(song.c_str(), 140.0f));
    music.Play();
    EXPECT_TRUE(music.IsPlaying());
    music.SetTime(3.0);
    EXPECT_FLOAT_EQ(music.GetPosition(), 7.0f);
    // Mixing does not move the clock; only the capture does.
    std::vector<int16_t> sound(44100 * 2);
    music.RenderSound(sound.data(), 44100);
    EXPECT_FLOAT_EQ(music.GetPosition(), 7.0f);
    // Past the song's end the capture, not the mixer, decides that the show goes on.
    EXPECT_TRUE(music.IsPlaying());
    music.SetPosition(7.0f);
    EXPECT_FLOAT_EQ(music.GetPosition(), 7.0f);
    music.Shutdown();
}

}  // namespace
