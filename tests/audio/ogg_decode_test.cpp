// Decoding songs into one block, and LoadSong's answers to files that are
// missing, empty, not Ogg, damaged or have too many channels.
#include <AL/al.h>
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/ALDemoAudioSystem.h"
#include "audio/DecodeOggFile.h"
#include "tests/audio/support/capture_logger.h"
#include "tests/audio/support/test_song.h"
#include "tests/support/scratch_dir.h"

namespace {

const char* kReadError = "ERROR: Failed To Read OggVorbis File!";

bool AllZero(const std::vector<char>& v, size_t from) {
    for (size_t i = from; i < v.size(); ++i)
        if (v[i] != 0) return false;
    return true;
}

// The stream with the granule position (sample count) of its last page moved
// by `extra` samples, its checksum set again so that the page stays valid.
std::string WithLastGranule(std::string bytes, int64_t extra) {
    size_t page = bytes.rfind("OggS");
    if (page == std::string::npos) return bytes;
    int64_t granule;
    std::memcpy(&granule, &bytes[page + 6], 8);
    granule += extra;
    std::memcpy(&bytes[page + 6], &granule, 8);
    ogg_page header;
    int segments = uint8_t(bytes[page + 26]);
    header.header = reinterpret_cast<unsigned char*>(&bytes[page]);
    header.header_len = 27 + segments;
    header.body = header.header + header.header_len;
    header.body_len = 0;
    for (int i = 0; i < segments; ++i) header.body_len += uint8_t(bytes[page + 27 + size_t(i)]);
    ogg_page_checksum_set(&header);
    return bytes;
}

// Decodes with room left for the decoder's own state, not for a second of
// samples (in a child process: the limit stays with it).
bool DecodeWithLittleMemory(const std::string& path) {
    long pages = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(3);
    std::fclose(statm);
    const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(768) << 10);
    const rlimit limit{room, room};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    DecodedSong song;
    return DecodeOggFile(path.c_str(), &song);
}

// A clean three-second stereo song at 44.1 kHz, and what it decodes to.
class ThreeSecondSong : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeTestSong(clean, 2, 44100, 3.0));
        ASSERT_TRUE(DecodeOggFile(clean.c_str(), &reference));
    }
    ScratchDir dir;
    std::string clean = dir / "clean.ogg";
    DecodedSong reference;
};

}  // namespace

TEST(DecodeOggFile, MonoAndStereoFillWholeFramesAtTheirRate) {
    ScratchDir dir;
    for (int channels : {1, 2}) {
        std::string path = dir / ("song" + std::to_string(channels) + ".ogg");
        ASSERT_TRUE(MakeTestSong(path, channels, 22050, 1.5));
        DecodedSong song;
        ASSERT_TRUE(DecodeOggFile(path.c_str(), &song));
        EXPECT_EQ(song.channels, channels);
        EXPECT_EQ(song.rate, 22050);
        size_t frameBytes = size_t(channels) * 2;
        EXPECT_EQ(song.samples.size() % frameBytes, 0u);
        // The stated length is the synthesised one, give or take a frame.
        size_t expected = size_t(1.5 * 22050) * frameBytes;
        EXPECT_NEAR(double(song.samples.size()), double(expected), double(frameBytes));
        EXPECT_GE(song.decodedBytes + frameBytes, song.samples.size());
        // Not silence: the decoder really filled it.
        EXPECT_FALSE(AllZero(song.samples, song.samples.size() / 2));
    }
}

// A stream whose last page claims more samples than it holds decodes to
// less than its stated length: what decoded is kept, the rest is silence.
TEST_F(ThreeSecondSong, StreamEndingBeforeItsStatedLengthIsPaddedWithSilence) {

    dir.Write("long.ogg", WithLastGranule(ReadFileBytes(clean), 22050));  // half a second more than there is

    DecodedSong song;
    ASSERT_TRUE(DecodeOggFile((dir / "long.ogg").c_str(), &song));
    EXPECT_EQ(song.samples.size(), reference.samples.size() + 22050 * 4);
    ASSERT_GE(song.decodedBytes, reference.samples.size());
    ASSERT_LT(song.decodedBytes, song.samples.size());
    EXPECT_EQ(std::memcmp(song.samples.data(), reference.samples.data(), reference.samples.size()), 0);
    EXPECT_TRUE(AllZero(song.samples, song.decodedBytes));
}

// A few seconds of data whose last page claims two and a half hours: the
// block holds what decodes, not gigabytes of silence.
TEST_F(ThreeSecondSong, StatedLengthFarBeyondTheDataIsNotBelieved) {
    const std::string claim = WithLastGranule(ReadFileBytes(clean), int64_t(2.5 * 3600 * 44100));
    dir.Write("claims.ogg", claim);

    DecodedSong song;
    ASSERT_TRUE(DecodeOggFile((dir / "claims.ogg").c_str(), &song));
    EXPECT_EQ(song.samples.size(), song.decodedBytes);
    EXPECT_GE(song.decodedBytes, reference.samples.size());
    EXPECT_LT(song.samples.size(), reference.samples.size() + 44100 * 4);
    EXPECT_LT(song.samples.capacity(), 2 * reference.samples.size());
    EXPECT_EQ(std::memcmp(song.samples.data(), reference.samples.data(), reference.samples.size()), 0);

    DecodedSong fromMemory;
    ASSERT_TRUE(DecodeOggMemory(claim.data(), claim.size(), &fromMemory));
    EXPECT_EQ(fromMemory.samples, song.samples);
}

// Songs in memory decode exactly as the same bytes in a file.
TEST(DecodeOggMemory, MatchesTheFileDecoder) {
    ScratchDir dir;
    for (int channels : {1, 2}) {
        std::string path = dir / "song.ogg";
        ASSERT_TRUE(MakeTestSong(path, channels, 32000, 0.7));
        const std::string bytes = ReadFileBytes(path);
        DecodedSong file, memory;
        ASSERT_TRUE(DecodeOggFile(path.c_str(), &file));
        ASSERT_TRUE(DecodeOggMemory(bytes.data(), bytes.size(), &memory));
        EXPECT_EQ(memory.samples, file.samples);
        EXPECT_EQ(memory.decodedBytes, file.decodedBytes);
        EXPECT_EQ(memory.channels, channels);
        EXPECT_EQ(memory.rate, 32000);
        // Cut anywhere, the stream still decodes or is refused.
        for (size_t cut : {size_t(0), size_t(1), size_t(58), bytes.size() / 3, bytes.size() - 1}) {
            DecodedSong part;
            if (DecodeOggMemory(bytes.data(), cut, &part)) {
                EXPECT_LE(part.decodedBytes, part.samples.size());
            }
        }
    }
    DecodedSong none;
    EXPECT_FALSE(DecodeOggMemory(nullptr, 0, &none));
    EXPECT_FALSE(DecodeOggMemory("OggS", 4, &none));
}

// With no memory left for the block the song is refused; the process lives on.
TEST(DecodeOggFileDeathTest, NoMemoryForTheBlockRefusesTheSong) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer's shadow memory cannot live under an address-space limit";
#endif
    ScratchDir dir;
    std::string path = dir / "ten.ogg";
    ASSERT_TRUE(MakeTestSong(path, 2, 44100, 10.0));
    EXPECT_EXIT(std::_Exit(DecodeWithLittleMemory(path) ? 1 : 0), ::testing::ExitedWithCode(0), "");
}

TEST_F(ThreeSecondSong, FileCutShortPlaysWhatIsThere) {
    std::string bytes = ReadFileBytes(clean);
    dir.Write("cut.ogg", bytes.substr(0, bytes.size() * 6 / 10 + 13));

    DecodedSong song;
    ASSERT_TRUE(DecodeOggFile((dir / "cut.ogg").c_str(), &song));
    ASSERT_GT(song.decodedBytes, 0u);
    ASSERT_LT(song.samples.size(), reference.samples.size());
    size_t n = std::min(song.decodedBytes, song.samples.size());
    EXPECT_EQ(std::memcmp(song.samples.data(), reference.samples.data(), n), 0);
    EXPECT_TRUE(AllZero(song.samples, song.decodedBytes));
}

TEST(DecodeOggFile, RefusesWhatCannotBePlayedAsMonoOrStereo) {
    ScratchDir dir;
    dir.Write("empty.ogg", "");
    dir.Write("text.ogg", "this is not an ogg vorbis file, just words\n");
    // An Ogg page header with nothing sensible behind it.
    dir.Write("header.ogg", std::string("OggS\0\2", 6) + std::string(40, '\0'));
    std::string six = dir / "six.ogg";
    ASSERT_TRUE(MakeTestSong(six, 6, 44100, 0.5));

    for (const char* name : {"empty.ogg", "text.ogg", "header.ogg", "six.ogg", "missing.ogg"}) {
        DecodedSong song;
        song.channels = 99;
        EXPECT_FALSE(DecodeOggFile((dir / name).c_str(), &song)) << name;
        EXPECT_EQ(song.channels, 99) << name;
        EXPECT_TRUE(song.samples.empty()) << name;
    }
}

TEST(LoadSong, UnreadableSongsLogTheErrorAndLeaveNothingBehind) {
    ScratchDir dir;
    dir.Write("empty.ogg", "");
    dir.Write("text.ogg", "RIFF....WAVEfmt not ogg at all");
    ASSERT_TRUE(MakeTestSong(dir / "six.ogg", 6, 44100, 0.5));

    setenv("ALSOFT_DRIVERS", "null", 1);
    CaptureLogger log;
    ALDemoAudioSystem audio;
    ASSERT_TRUE(audio.Init());
    for (const char* name : {"missing.ogg", "empty.ogg", "text.ogg", "six.ogg"}) {
        log.lines.clear();
        EXPECT_FALSE(audio.LoadSong((dir / name).c_str(), 140.0f)) << name;
        EXPECT_EQ(log.lines, std::vector<std::string>{kReadError}) << name;
        EXPECT_EQ(audio.buffer, 0u);
        EXPECT_EQ(audio.source, 0u);
        EXPECT_EQ(audio.beatsPerMinute, 0.0f);
    }
    // With no song nothing plays, so the engine's first frame ends the run.
    EXPECT_FALSE(audio.IsPlaying());
    audio.Shutdown();
}

TEST(LoadSong, DeclaresMonoAndStereoBuffersAtTheSongsRate) {
    ScratchDir dir;
    ASSERT_TRUE(MakeTestSong(dir / "mono.ogg", 1, 22050, 0.5));
    ASSERT_TRUE(MakeTestSong(dir / "stereo.ogg", 2, 48000, 0.5));
    setenv("ALSOFT_DRIVERS", "null", 1);
    CaptureLogger log;
    struct Case {
        const char* name;
        int channels;
        int rate;
    };
    for (Case c : {Case{"mono.ogg", 1, 22050}, Case{"stereo.ogg", 2, 48000}}) {
        ALDemoAudioSystem audio;
        ASSERT_TRUE(audio.Init());
        ASSERT_TRUE(audio.LoadSong((dir / c.name).c_str(), 120.0f));
        EXPECT_EQ(audio.beatsPerMinute, 120.0f);
        ASSERT_NE(audio.buffer, 0u);
        ASSERT_NE(audio.source, 0u);
        ALint channels = 0, bits = 0, frequency = 0, attached = 0, looping = -1;
        alGetBufferi(audio.buffer, AL_CHANNELS, &channels);
        alGetBufferi(audio.buffer, AL_BITS, &bits);
        alGetBufferi(audio.buffer, AL_FREQUENCY, &frequency);
        alGetSourcei(audio.source, AL_BUFFER, &attached);
        alGetSourcei(audio.source, AL_LOOPING, &looping);
        EXPECT_EQ(channels, c.channels);
        EXPECT_EQ(bits, 16);
        EXPECT_EQ(frequency, c.rate);
        EXPECT_EQ(ALuint(attached), audio.buffer);
        EXPECT_EQ(looping, AL_FALSE);
        audio.Shutdown();
    }
    for (const std::string& line : log.lines) EXPECT_NE(line.rfind("ERROR: ", 0), 0u) << line;
}
