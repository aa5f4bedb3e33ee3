// GET /api/onsets on a real loopback port: the show's song gives rows in
// order, one per row, within the song, strengths in 0..1 and a threshold
// that shows at most two a beat yet finds the drop's hits that the song
// maker strikes; the answer is computed once and again when the song file
// is replaced; no song is a clear 503.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>

#include "tests/author/service_harness.h"
#include "tests/support/drop_hits.h"
#include "tests/support/player_run.h"

using nlohmann::json;

namespace {

const char kSource[] = "track Fade\n  0 1\n";
const std::string kShowSong = std::string(TESSEL_SHOW_DIR) + "/Audio/Song_094_Final.ogg";

json Parsed(const HttpReply& reply) { return json::parse(reply.body, nullptr, false); }

}  // namespace

TEST(EditorOnsets, TheShowsSongStrikesTheDropsHitsAtTheDefaultThreshold) {
    ServiceHarness service(kSource, [](EditorConfig& c) { c.songPath = kShowSong; });
    ASSERT_TRUE(service.Started()) << service.error;
    const HttpReply reply = service.Get("/api/onsets");
    ASSERT_EQ(reply.status, 200) << reply.body;
    EXPECT_EQ(reply.Header("content-type"), "application/json");
    const json answer = Parsed(reply);
    ASSERT_TRUE(answer.is_object());
    EXPECT_EQ(answer["rowsPerBeat"], 16);
    const double threshold = answer["threshold"];
    EXPECT_GT(threshold, 0.0);
    EXPECT_LT(threshold, 1.0);

    SongForm form;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSongForm(TESSEL_SOURCE_DIR "/production/song_sections.txt", form, errors));
    const int64_t songRows = std::llround(form.EndBeat() * 16);
    std::vector<int64_t> all, shown;
    for (const json& onset : answer["onsets"]) {
        const int64_t row = onset["row"];
        const double strength = onset["strength"];
        EXPECT_GE(strength, 0.0);
        EXPECT_LE(strength, 1.0);
        EXPECT_GE(row, 0);
        EXPECT_LE(row, songRows);
        if (!all.empty()) {
            EXPECT_GT(row, all.back()) << "in order, one per row";
        }
        all.push_back(row);
        if (strength >= threshold) shown.push_back(row);
    }
    ASSERT_GT(all.size(), 300u);
    EXPECT_LT(shown.size(), all.size()) << "the default threshold hides the weakest";
    EXPECT_LE(double(shown.size()) / form.EndBeat(), 2.0) << "at most two a beat on average";

    const std::vector<int64_t> hits = DropHitRows(form);
    ASSERT_EQ(hits.size(), 108u);
    const size_t found = HitsFound(hits, shown, 1);
    EXPECT_GE(double(found) / double(hits.size()), 0.9) << found << " of " << hits.size() << " hits within a row";

    // Asked again: the same answer, from the same decode.
    EXPECT_EQ(service.Get("/api/onsets").body, reply.body);
    EXPECT_EQ(service.service.SongDecodes(), 1);
}

TEST(EditorOnsets, AReplacedSongIsDecodedAgainAndNoSongIsAClearError) {
    ServiceHarness service(kSource, [](EditorConfig& c) {
        c.songPath = c.sourcePath.substr(0, c.sourcePath.rfind('/')) + "/song.ogg";
    });
    ASSERT_TRUE(service.Started()) << service.error;
    // The harness's folder holds no song yet: a clear error, not a hang.
    const HttpReply missing = service.Get("/api/onsets");
    EXPECT_EQ(missing.status, 503);
    EXPECT_NE(missing.body.find("could not be decoded"), std::string::npos) << missing.body;

    // A song saved in its place (renamed over it, as a tool does) is taken in.
    service.dir.Write("song.tmp", ReadFileBytes(kShowSong));
    ASSERT_EQ(std::rename((service.dir / "song.tmp").c_str(), (service.dir / "song.ogg").c_str()), 0);
    const HttpReply first = service.Get("/api/onsets");
    ASSERT_EQ(first.status, 200) << first.body;
    EXPECT_GT(Parsed(first)["onsets"].size(), 300u);
    const int decodes = service.service.SongDecodes();

    // Another song: new onsets and a new waveform.
    service.dir.Write("song.tmp",
                      ReadFileBytes(std::string(TESSEL_SOURCE_DIR) + "/tests/fuzz/corpus/ogg_decode_fuzz/mono_short.ogg"));
    ASSERT_EQ(std::rename((service.dir / "song.tmp").c_str(), (service.dir / "song.ogg").c_str()), 0);
    const HttpReply second = service.Get("/api/onsets");
    ASSERT_EQ(second.status, 200) << second.body;
    EXPECT_LT(Parsed(second)["onsets"].size(), 20u);
    EXPECT_EQ(service.service.SongDecodes(), decodes + 1);
    const json wave = Parsed(service.Get("/api/waveform"));
    double loudest = 0;
    EXPECT_EQ(wave["rows"], 80 * 16);
    for (size_t i = 2 * 8; i < wave["peaks"].size(); ++i) loudest = std::max(loudest, std::fabs(double(wave["peaks"][i])));
    EXPECT_EQ(loudest, 0.0) << "the 50-ms song's waveform: silence after its first rows";
}
