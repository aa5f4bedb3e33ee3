// Playback through the real OpenAL Soft: its silent real-time device for the
// clock, its wave writer for what is actually heard, and no device at all.
#include <AL/al.h>
#include <AL/alext.h>
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <thread>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "audio/ALDemoAudioSystem.h"
#include "audio/DecodeOggFile.h"
#include "tests/audio/support/capture_logger.h"
#include "tests/audio/support/test_song.h"
#include "tests/support/player_run.h"
#include "tests/support/scratch_dir.h"

namespace {

void UseNullDevice() {
    unsetenv("ALSOFT_CONF");
    setenv("ALSOFT_DRIVERS", "null", 1);
}

// Reads a RIFF WAVE file as float samples per channel. The data chunk is
// taken to the end of the file, since the writer may not have patched sizes.
bool ReadWave(const std::string& bytes, int* channels, int* rate, std::vector<std::vector<double>>* out) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return false;
    auto u16 = [&](size_t p) { return unsigned(uint8_t(bytes[p])) | unsigned(uint8_t(bytes[p + 1])) << 8; };
    auto u32 = [&](size_t p) { return uint32_t(u16(p)) | uint32_t(u16(p + 2)) << 16; };
    int format = 0, bits = 0;
    size_t p = 12;
    while (p + 8 <= bytes.size()) {
        std::string id = bytes.substr(p, 4);
        uint32_t size = u32(p + 4);
        if (id == "fmt ") {
            format = int(u16(p + 8));
            *channels = int(u16(p + 10));
            *rate = int(u32(p + 12));
            bits = int(u16(p + 22));
            if (format == 0xFFFE) format = int(u16(p + 32));  // extensible: the sub-format's tag
        } else if (id == "data") {
            size_t begin = p + 8;
            size_t frameBytes = size_t(*channels) * size_t(bits / 8);
            if (frameBytes == 0) return false;
            size_t frames = (bytes.size() - begin) / frameBytes;
            out->assign(size_t(*channels), std::vector<double>(frames));
            for (size_t i = 0; i < frames; ++i)
                for (int c = 0; c < *channels; ++c) {
                    const char* s = bytes.data() + begin + i * frameBytes + size_t(c) * size_t(bits / 8);
                    double v = 0;
                    if (format == 3 && bits == 32) {
                        float f;
                        std::memcpy(&f, s, 4);
                        v = f;
                    } else if (format == 1 && bits == 16) {
                        int16_t x;
                        std::memcpy(&x, s, 2);
                        v = x / 32768.0;
                    } else {
                        return false;
                    }
                    (*out)[size_t(c)][i] = v;
                }
            return true;
        }
        p += 8 + size + (size & 1);
    }
    return false;
}

std::vector<std::vector<double>> Channels(const DecodedSong& song) {
    size_t frames = song.samples.size() / size_t(song.channels) / 2;
    std::vector<std::vector<double>> out(size_t(song.channels), std::vector<double>(frames));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < song.channels; ++c) {
            int16_t x;
            std::memcpy(&x, song.samples.data() + (i * size_t(song.channels) + size_t(c)) * 2, 2);
            out[size_t(c)][i] = x / 32768.0;
        }
    return out;
}

size_t FirstLoud(const std::vector<double>& v, double level) {
    for (size_t i = 0; i < v.size(); ++i)
        if (std::fabs(v[i]) > level) return i;
    return v.size();
}

// Least-squares fit of one output channel as a mix of the input channels
// over [0, n) at the given offset; returns the residual's share of the
// output's energy and the mix weights.
double FitResidual(const std::vector<std::vector<double>>& in, const std::vector<double>& out, long offset,
                   size_t n, std::vector<double>* weights) {
    size_t k = in.size();
    std::vector<double> a(k * k, 0.0), b(k, 0.0);
    double energy = 0;
    for (size_t i = 0; i < n; ++i) {
        double y = out[size_t(long(i) + offset)];
        energy += y * y;
        for (size_t r = 0; r < k; ++r) {
            b[r] += in[r][i] * y;
            for (size_t c = 0; c < k; ++c) a[r * k + c] += in[r][i] * in[c][i];
        }
    }
    weights->assign(k, 0.0);
    if (k == 1) {
        (*weights)[0] = b[0] / a[0];
    } else {
        double det = a[0] * a[3] - a[1] * a[2];
        (*weights)[0] = (b[0] * a[3] - a[1] * b[1]) / det;
        (*weights)[1] = (a[0] * b[1] - a[2] * b[0]) / det;
    }
    double residual = 0;
    for (size_t i = 0; i < n; ++i) {
        double e = out[size_t(long(i) + offset)];
        for (size_t r = 0; r < k; ++r) e -= (*weights)[r] * in[r][i];
        residual += e * e;
    }
    return energy > 0 ? residual / energy : 1.0;
}

class NullDevice : public ::testing::Test {
protected:
    void SetUp() override {
        UseNullDevice();
        ASSERT_TRUE(MakeTestSong(dir / "song.ogg", 2, 44100, 3.5));
        ASSERT_TRUE(audio.Init());
        ASSERT_TRUE(audio.LoadSong((dir / "song.ogg").c_str(), 140.0f));
    }
    void TearDown() override { audio.Shutdown(); }

    ScratchDir dir;
    CaptureLogger log;
    ALDemoAudioSystem audio;
};

}  // namespace

TEST_F(NullDevice, InitLogsTheDeviceAndPlacesTheListener) {
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0].rfind("OpenAL Device Specifier: ", 0), 0u);
    EXPECT_GT(log.lines[0].size(), std::strlen("OpenAL Device Specifier: "));
    EXPECT_GE(audio.audioDevice.majorVersion, 1);
    EXPECT_GE(audio.audioDevice.minorVersion, 0);
    ALfloat orientation[6] = {};
    alGetListenerfv(AL_ORIENTATION, orientation);
    const ALfloat expected[6] = {0, 0, 1, 0, -1, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(orientation[i], expected[i]);
}

// How far the silent device may run ahead of the wall clock: ten periods.
constexpr double kDeviceSlack = 10 * 1024.0 / 44100.0;

TEST_F(NullDevice, PositionAdvancesInRealTimeUntilTheSongEnds) {
    EXPECT_EQ(audio.GetPosition(), 0.0f);
    EXPECT_FALSE(audio.IsPlaying());

    auto start = std::chrono::steady_clock::now();
    audio.Play();
    EXPECT_TRUE(audio.IsPlaying());
    ASSERT_TRUE(WaitUntil([&] { return audio.GetPosition() >= 1.0f; }, 20));
    float beats = audio.GetPosition();
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The clock cannot run ahead of the wall clock. The silent device mixes
    // in 1024-sample periods and catches up in bursts after a stall on a busy
    // machine, so allow a few periods of slack; a clock running at the wrong
    // rate is still far outside it.
    EXPECT_LE(beats * 60.0 / 140.0, elapsed + kDeviceSlack);

    // A 3.5 s song is 8.17 beats long; then it stops by itself.
    ASSERT_TRUE(WaitUntil([&] { return !audio.IsPlaying(); }, 30));
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(total, 3.5 - kDeviceSlack);
    EXPECT_EQ(audio.GetPosition(), 0.0f);
}

// What OpenAL reports for the source: offset and latency in seconds.
void ReadOffset(const ALDemoAudioSystem& audio, double* offset, double* latency) {
    double values[2] = {0, 0};
    ASSERT_NE(audio.offsetLatencyQuery, nullptr) << "OpenAL Soft offers AL_SOFT_source_latency";
    audio.offsetLatencyQuery(audio.source, AL_SEC_OFFSET_LATENCY_SOFT, values);
    *offset = values[0];
    *latency = values[1];
}

TEST_F(NullDevice, PositionAdvancesAtEveryFrameAndIsWhatIsHeard) {
    audio.Play();
    // The first mixed sample is heard a latency after the start; until then
    // the position is 0.
    ASSERT_TRUE(WaitUntil([&] { return audio.GetPosition() > 0.0f; }, 20));
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    double previous = 0, previousOffset = -1, olderOffset = -2;
    int stalls = 0, between = 0;
    for (int frame = 0; frame < 150; ++frame) {
        next.tv_nsec += 16666667;
        if (next.tv_nsec >= 1000000000) next.tv_nsec -= 1000000000, next.tv_sec += 1;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
        }
        double before = 0, after = 0, latency = 0;
        ReadOffset(audio, &before, &latency);
        const double seconds = audio.GetPosition() * 60.0 / 140.0;
        ReadOffset(audio, &after, &latency);
        EXPECT_GT(latency, 0.0);
        // Within a period above what OpenAL says is heard. (The period widens
        // to the largest recent step when the device mixes in bursts.)
        const double period = audio.clock.Period();
        EXPECT_GE(seconds, before - latency - 1e-4) << "frame " << frame;
        EXPECT_LE(seconds, after - latency + period + 1e-4) << "frame " << frame;
        // Every frame sees a later position, unless the silent device itself
        // did not mix for two frames, or mixed late and the clock has gone
        // as far past its last report as it may, or mixed in a burst and the
        // clock waits at what is surely heard for its line to catch up (a
        // busy machine). It never goes back.
        const bool atItsLimit = seconds >= after - latency + period - 1e-4;
        const bool atItsFloor = seconds <= before - latency + 1e-4;
        EXPECT_GE(seconds, previous) << "frame " << frame;
        if (before == olderOffset || atItsLimit || atItsFloor)
            ++stalls;
        else
            EXPECT_GT(seconds, previous) << "frame " << frame << " at offset " << before;
        if (!atItsLimit && !atItsFloor) ++between;
        olderOffset = previousOffset;
        previousOffset = before;
        previous = seconds;
    }
    RecordProperty("device_stalls", stalls);
    // A clock that only repeats the stepped report is never between them.
    EXPECT_GE(between, 30) << stalls << " stalls";
    ASSERT_TRUE(audio.IsPlaying());
}

TEST_F(NullDevice, PositionIsInBeatsAtTheSongsTempo) {
    // OpenAL reports offsets of a started source only, so seek while paused.
    audio.Play();
    audio.Pause();
    EXPECT_FALSE(audio.IsPlaying());
    audio.SetPosition(7.0f);
    ALfloat seconds = -1;
    alGetSourcef(audio.source, AL_SEC_OFFSET, &seconds);
    EXPECT_NEAR(seconds, 3.0f, 1e-4f);
    EXPECT_NEAR(audio.GetPosition(), 7.0f, 1e-3f);

    audio.Play();
    ASSERT_TRUE(WaitUntil([&] { return audio.GetPosition() > 7.5f; }, 20));
    audio.Stop();
    EXPECT_FALSE(audio.IsPlaying());
    EXPECT_EQ(audio.GetPosition(), 0.0f);

    audio.SetVolume(0.25f);
    ALfloat gain = 0;
    alGetSourcef(audio.source, AL_GAIN, &gain);
    EXPECT_EQ(gain, 0.25f);
}

TEST(AudioDeviceMissing, NoSoundCardFailsInitAndNothingPlays) {
    unsetenv("ALSOFT_CONF");
    setenv("ALSOFT_DRIVERS", "alsa", 1);
    CaptureLogger log;
    ALDemoAudioSystem audio;
    if (audio.audioDevice.Open()) {
        audio.Shutdown();
        GTEST_SKIP() << "this machine has a sound card";
    }
    log.lines.clear();
    EXPECT_FALSE(audio.Init());
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ERROR: Failed To Open Audio Device!",
                                                   "ERROR: Failed To Initialize OpenAL Context!"}));
    EXPECT_EQ(audio.audioDevice.majorVersion, -1);

    // The song decodes, but there is nothing to play it on: not "loaded".
    ScratchDir dir;
    ASSERT_TRUE(MakeTestSong(dir / "song.ogg", 1, 22050, 0.5));
    log.lines.clear();
    EXPECT_FALSE(audio.LoadSong((dir / "song.ogg").c_str(), 140.0f));
    EXPECT_EQ(log.lines, std::vector<std::string>{"ERROR: Failed To Upload Song To OpenAL!"});
    EXPECT_EQ(audio.buffer, 0u);
    EXPECT_EQ(audio.source, 0u);
    EXPECT_FALSE(audio.IsPlaying());
    // The failed query's -1 s, passed through.
    EXPECT_EQ(audio.GetPosition(), -140.0f / 60.0f);
    audio.Shutdown();
}

// What the wave writer recorded is what was decoded, sample for sample at
// the song's rate, up to the mixer's gain and the device's start-up delay.
class WaveWriter : public ::testing::TestWithParam<int> {};

TEST_P(WaveWriter, PlaysTheDecodedSamples) {
    const int channels = GetParam();
    ScratchDir dir;
    std::string song = dir / "song.ogg";
    ASSERT_TRUE(MakeTestSong(song, channels, 44100, 2.0));
    dir.Write("alsoft.conf",
              "[general]\ndrivers=wave\nfrequency=44100\nchannels=stereo\nsample-type=float32\n"
              "[wave]\nfile=" + (dir / "out.wav") + "\n");
    unsetenv("ALSOFT_DRIVERS");
    setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);

    CaptureLogger log;
    ALDemoAudioSystem audio;
    ASSERT_TRUE(audio.Init());
    ASSERT_TRUE(audio.LoadSong(song.c_str(), 140.0f));
    audio.Play();
    ASSERT_TRUE(WaitUntil([&] { return !audio.IsPlaying(); }, 30));
    audio.Shutdown();
    unsetenv("ALSOFT_CONF");

    DecodedSong decoded;
    ASSERT_TRUE(DecodeOggFile(song.c_str(), &decoded));
    std::vector<std::vector<double>> in = Channels(decoded);

    int outChannels = 0, outRate = 0;
    std::vector<std::vector<double>> out;
    ASSERT_TRUE(ReadWave(ReadFileBytes(dir / "out.wav"), &outChannels, &outRate, &out));
    ASSERT_EQ(outChannels, 2);
    ASSERT_EQ(outRate, 44100);

    // Coarse alignment on the first loud sample, refined by the best fit.
    size_t n = in[0].size() - 64;
    long coarse = long(FirstLoud(out[0], 0.02)) - long(FirstLoud(in[0], 0.02 / 0.8));
    long best = coarse;
    double bestResidual = 2;
    std::vector<double> weights;
    for (long offset = coarse - 64; offset <= coarse + 64; ++offset) {
        if (offset < 0 || size_t(offset) + n > out[0].size()) continue;
        double r = FitResidual(in, out[0], offset, 4096, &weights);
        if (r < bestResidual) bestResidual = r, best = offset;
    }
    ASSERT_LT(bestResidual, 1e-3) << "no alignment found near " << coarse;
    ASSERT_LE(size_t(best) + n, out[0].size());

    // Over the whole song each output channel is a fixed mix of the input
    // channels; a stereo song keeps its left on the left and right on the right.
    for (int c = 0; c < 2; ++c) {
        double residual = FitResidual(in, out[size_t(c)], best, n, &weights);
        EXPECT_LT(residual, 1e-4) << "output channel " << c;
        if (channels == 2) {
            EXPECT_GT(std::fabs(weights[size_t(c)]), 5 * std::fabs(weights[size_t(1 - c)])) << "channel " << c;
        } else {
            EXPECT_GT(weights[0], 0.3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MonoAndStereo, WaveWriter, ::testing::Values(1, 2));
