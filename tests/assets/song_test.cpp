// The production song as a listener meets it: decoded from the show folder
// and measured against its form file and the particle rain's hit rhythm.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Encode.h"
#include "Song.h"
#include "tools/songform/SongForm.h"
#include "song_analysis.h"
#include "tests/support/scratch_dir.h"

namespace {

const double kBpm = 140.0;
const double kSecondsPerBeat = 60.0 / kBpm;

// Hit offsets of the particle rain, within each 16-beat window from beat 80.
const double kHitTimes[36] = {0,  0.5,  0.75, 1,  1.5,  2,  2.5, 3,  3.5,   4,  4.5,  4.75,
                              5,  5.5,  6,    6.5, 7,   7.5, 8,  8.5, 8.75, 9,  9.5,  10,
                              10.5, 11, 11.5, 12, 12.5, 12.75, 13, 13.5, 14, 14.5, 15, 15.5};

class ProductionSong : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        form = new SongForm();
        std::vector<std::string> errors;
        formLoaded = LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", *form, errors);
        audio = new DecodedAudio();
        decoded = DecodeOgg(TESSEL_SHOW_DIR "/Audio/Song_094_Final.ogg", *audio);
    }
    static void TearDownTestSuite() {
        delete form;
        delete audio;
        delete onsets;
        onsets = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(formLoaded);
        ASSERT_TRUE(decoded) << "the build should have made Audio/Song_094_Final.ogg";
    }
    // Onsets are found on first use: only some tests need them.
    static const std::vector<double>& Onsets() {
        if (!onsets) onsets = new std::vector<double>(DetectOnsets(*audio));
        return *onsets;
    }
    static size_t FrameAtBeat(double beat) { return size_t(std::llround(beat * kSecondsPerBeat * audio->rate)); }

    static SongForm* form;
    static DecodedAudio* audio;
    static std::vector<double>* onsets;
    static bool formLoaded, decoded;
};
SongForm* ProductionSong::form = nullptr;
DecodedAudio* ProductionSong::audio = nullptr;
std::vector<double>* ProductionSong::onsets = nullptr;
bool ProductionSong::formLoaded = false;
bool ProductionSong::decoded = false;

TEST_F(ProductionSong, IsStereo44kAndAsLongAsItsForm) {
    EXPECT_EQ(audio->rate, 44100);
    EXPECT_EQ(audio->channels, 2);
    // 140 beats per minute at 44.1 kHz is exactly 18900 frames per beat.
    EXPECT_EQ(audio->Frames(), size_t(form->EndBeat() * 18900));
    const double seconds = double(audio->Frames()) / audio->rate;
    EXPECT_GT(seconds, 100.0);
    EXPECT_LT(seconds, 140.0);
}

TEST_F(ProductionSong, NeverClipsAndSitsAtASensibleLoudness) {
    EXPECT_EQ(audio->clippedSamples, 0);
    EXPECT_LT(Peak(*audio, 0, audio->Frames()), 0.98);
    const double loudness = GatedLoudness(*audio);
    EXPECT_GT(loudness, -20.0);
    EXPECT_LT(loudness, -9.0);
    // A quiet start, and a drop that is clearly bigger than it.
    const SongSection* intro = form->FindSection("intro");
    const SongSection* drop = form->FindSection("drop");
    ASSERT_TRUE(intro && drop);
    const double introDb = RmsDb(*audio, FrameAtBeat(intro->start), FrameAtBeat(intro->end));
    const double dropDb = RmsDb(*audio, FrameAtBeat(drop->start), FrameAtBeat(drop->end));
    EXPECT_GT(introDb, -40.0) << "the intro should be audible";
    EXPECT_GT(dropDb - introDb, 6.0);
    EXPECT_GT(dropDb, -22.0);
}

TEST_F(ProductionSong, EverySectionIsAudibleUntilTheOutro) {
    for (const SongSection& s : form->sections) {
        const double db = RmsDb(*audio, FrameAtBeat(s.start), FrameAtBeat(s.end));
        EXPECT_GT(db, -40.0) << s.name;
    }
}

TEST_F(ProductionSong, OnsetsFallOnTheSixteenthNoteGrid) {
    const std::vector<double>& found = Onsets();
    ASSERT_GT(found.size(), 400u);
    const double sixteenth = kSecondsPerBeat / 4.0;
    size_t onGrid = 0;
    for (double t : found) {
        const double offset = std::fabs(t - std::round(t / sixteenth) * sixteenth);
        if (offset < 0.020) ++onGrid;
    }
    // A detector firing at random would land within 20 ms of the grid 37% of the time.
    EXPECT_GT(double(onGrid) / found.size(), 0.9) << onGrid << " of " << found.size();
}

TEST_F(ProductionSong, DropStrikesEveryRhythmHitOfTheParticleRain) {
    int missed = 0;
    for (double window : {80.0, 96.0, 112.0})
        for (double hit : kHitTimes) {
            const double t = (window + hit) * kSecondsPerBeat;
            const double distance = NearestOnsetDistance(Onsets(), t);
            if (distance > 0.020) {
                ++missed;
                ADD_FAILURE() << "no onset within 20 ms of beat " << window + hit << " (nearest "
                              << distance * 1000 << " ms)";
            }
        }
    EXPECT_EQ(missed, 0);
}

TEST_F(ProductionSong, OutroDecaysToSilenceAtTheEnd) {
    const size_t end = audio->Frames();
    const size_t half = size_t(audio->rate / 2);
    EXPECT_LT(RmsDb(*audio, end - half, end), -60.0);
    EXPECT_LT(Peak(*audio, end - half / 5, end), 0.002);
    const SongSection* outro = form->FindSection("outro");
    ASSERT_NE(outro, nullptr);
    // The outro starts audible and fades: its last beats are far quieter than its first.
    const double head = RmsDb(*audio, FrameAtBeat(outro->start), FrameAtBeat(outro->start + 4));
    const double tail = RmsDb(*audio, FrameAtBeat(outro->end - 4), FrameAtBeat(outro->end));
    EXPECT_GT(head - tail, 30.0);
}

// The form that the show is choreographed to agrees with the effect's hit windows.
TEST(SongSectionsFile, ProductionFormMatchesTheShow) {
    SongForm form;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", form, errors))
        << ::testing::PrintToString(errors);
    const SongSection* drop = form.FindSection("drop");
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->start, 80.0);
    EXPECT_EQ(drop->end, 128.0);
    EXPECT_EQ(form.sections.front().name, "intro");
    EXPECT_EQ(form.sections.back().name, "outro");
    for (const SongSection& s : form.sections) {
        EXPECT_EQ(std::fmod(s.start, 16.0), 0.0) << s.name;
        EXPECT_EQ(std::fmod(s.end, 16.0), 0.0) << s.name;
    }
    EXPECT_EQ(form.CueBeat("drop", -1), 80.0);
    EXPECT_EQ(form.CueBeat("end", -1), form.EndBeat());
    // The songmaker's own hit table is the particle rain's.
    for (int i = 0; i < 36; ++i) EXPECT_EQ(kHitOffsets[i], kHitTimes[i]) << i;
}

// A short render (what --beats makes for end-to-end runs) has the exact length,
// ends in silence and encodes to the same bytes every time.
TEST(SongMaker, ShortRenderIsExactSilentAtTheEndAndReproducible) {
    SongForm form;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", form, errors))
        << ::testing::PrintToString(errors);
    std::string error;
    SongOptions options;
    options.startBeat = 80;
    options.lengthBeats = 8;
    const std::vector<float> pcm = RenderSong(form, options);
    ASSERT_EQ(pcm.size(), size_t(8 * 18900 * 2));
    float tailPeak = 0, bodyPeak = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        if (i >= pcm.size() - 200) tailPeak = std::max(tailPeak, std::fabs(pcm[i]));
        bodyPeak = std::max(bodyPeak, std::fabs(pcm[i]));
    }
    EXPECT_LT(tailPeak, 0.01f);
    EXPECT_GT(bodyPeak, 0.3f);
    EXPECT_LT(bodyPeak, 0.96f);

    ScratchDir dir;
    OggSettings settings;
    ASSERT_TRUE(WriteOggVorbis(dir / "a.ogg", pcm, 2, 44100, settings, error)) << error;
    ASSERT_TRUE(WriteOggVorbis(dir / "b.ogg", RenderSong(form, options), 2, 44100, settings, error)) << error;
    const std::string a = ReadFileBytes(dir / "a.ogg"), b = ReadFileBytes(dir / "b.ogg");
    EXPECT_GT(a.size(), 1000u);
    EXPECT_EQ(a, b);

    DecodedAudio decoded;
    ASSERT_TRUE(DecodeOgg(dir / "a.ogg", decoded));
    EXPECT_EQ(decoded.Frames(), size_t(8 * 18900));
    EXPECT_FALSE(WriteOggVorbis(dir / "missing/x.ogg", pcm, 2, 44100, settings, error));
}

// The arrangement follows the form file: a drop moved to beat 16 strikes the
// hit rhythm from beat 16, and an intro has no onsets from drums.
TEST(SongMaker, ArrangementFollowsTheFormFile) {
    SongForm form;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSongForm("section 0 16 intro\nsection 16 32 drop\nsection 32 48 outro\n", "form.txt", form,
                              errors))
        << ::testing::PrintToString(errors);
    SongOptions options;
    options.lengthBeats = 32;
    DecodedAudio audio;
    audio.channels = 2;
    audio.rate = 44100;
    audio.samples = RenderSong(form, options);
    ASSERT_EQ(audio.Frames(), size_t(32 * 18900));
    const std::vector<double> onsets = DetectOnsets(audio);
    for (double hit : kHitTimes)
        EXPECT_LT(NearestOnsetDistance(onsets, (16.0 + hit) * kSecondsPerBeat), 0.020) << "beat " << 16 + hit;
    const double intro = RmsDb(audio, 0, 16 * 18900);
    const double drop = RmsDb(audio, 16 * 18900, 32 * 18900);
    EXPECT_GT(drop - intro, 6.0);
}

}  // namespace
