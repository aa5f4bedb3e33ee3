// Live reloads with real files and a stand-in for the program rebuild: a
// source that compiles swaps its keys into the tracks the handles point to,
// one that does not keeps the last good keys and reports FILE:LINE:COLUMN,
// shader saves go to the rebuild, and the watcher follows in-place writes
// and rename-over saves.
#include <gtest/gtest.h>

#include <cstdio>

#include "author/LiveReload.h"
#include "author/LiveTracks.h"
#include "platform/FileWatch.h"
#include "tests/support/scratch_dir.h"

namespace {

const char kSong[] = "section 0 16 intro\nsection 16 32 drop\ncue 8 hit\n";
const char kSource[] =
    "track Fade\n"
    "  0      1  linear\n"
    "  hit    0\n"
    "track Camera Yaw\n"
    "  drop   90\n";

class LiveReloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("show.sync", kSource);
        dir.Write("song.txt", kSong);
        dir.Write("shaders/Phong.frag", "void main() {}\n");
        fade = device.GetTrack("Fade");  // as the demo fetched it at start
    }
    // The device is the test's own, not made by the sync system: its tracks go with it.
    void TearDown() override {
        for (SyncTrack* track : device.tracks) delete track;
        device.tracks.clear();
    }
    LiveReload Reload() {
        return LiveReload({dir / "show.sync", dir / "song.txt", dir / "shaders"}, &device, &song,
                          [this](const std::string& file, std::string* log) {
                              rebuilt.push_back(file);
                              if (rebuildFails) *log = "0:3(2): error: syntax error\n";
                              return !rebuildFails;
                          });
    }
    // Saves as editors that write a new file and rename it over the old one.
    void SaveByRename(const std::string& name, const std::string& text) {
        dir.Write(name + ".new~", text);
        ASSERT_EQ(std::rename((dir / (name + ".new~")).c_str(), (dir / name).c_str()), 0);
    }

    ScratchDir dir;
    SyncDevice device;
    SongForm song;
    SyncTrack* fade = nullptr;
    std::vector<std::string> rebuilt;
    bool rebuildFails = false;
};

}  // namespace

TEST_F(LiveReloadTest, ACompilingSourceGivesTheSameTrackObjectsNewKeys) {
    fade->keys = {TrackKey{0, 5, Step}};
    fade->numKeys = 1;
    LiveReload reload = Reload();
    ASSERT_TRUE(reload.ReloadTracks()) << reload.LastResult();
    EXPECT_TRUE(reload.LastOk());
    EXPECT_EQ(device.tracks[0], fade) << "handles keep pointing at the same track";
    ASSERT_EQ(fade->numKeys, 2);
    EXPECT_EQ(fade->keys[1].row, 8 * 16);
    EXPECT_FLOAT_EQ(GetValue(fade, 4 * 16), 0.5f);
    const int yaw = device.FindTrack("Camera Yaw");
    ASSERT_GE(yaw, 0) << "a track only the source names is added";
    EXPECT_EQ(device.tracks[yaw]->keys[0].row, 16 * 16);
    EXPECT_EQ(song.sections.size(), 2u);
    EXPECT_NE(reload.LastResult().find("2 tracks"), std::string::npos) << reload.LastResult();
}

TEST_F(LiveReloadTest, ABrokenSourceKeepsTheLastGoodKeysAndSaysWhere) {
    LiveReload reload = Reload();
    ASSERT_TRUE(reload.ReloadTracks());
    const std::vector<TrackKey> good = fade->keys;
    dir.Write("show.sync", "track Fade\n  0 1\n  nowhere 0\n");
    EXPECT_FALSE(reload.ReloadTracks());
    EXPECT_FALSE(reload.LastOk());
    EXPECT_EQ(reload.LastResult().rfind(dir / "show.sync" + ":3:3: ", 0), 0u) << reload.LastResult();
    EXPECT_EQ(fade->keys.size(), good.size());
    EXPECT_FLOAT_EQ(GetValue(fade, 0), 1);
    // A broken song form keeps them too.
    dir.Write("show.sync", kSource);
    dir.Write("song.txt", "section 0 x intro\n");
    EXPECT_FALSE(reload.ReloadTracks());
    EXPECT_EQ(reload.LastResult().rfind(dir / "song.txt" + ":1:", 0), 0u) << reload.LastResult();
    EXPECT_EQ(song.sections.size(), 2u);
}

TEST_F(LiveReloadTest, ATrackTheSourceDropsReadsZero) {
    LiveReload reload = Reload();
    ASSERT_TRUE(reload.ReloadTracks());
    dir.Write("show.sync", "track Camera Yaw\n  0 1\n");
    ASSERT_TRUE(reload.ReloadTracks());
    EXPECT_EQ(fade->numKeys, 0);
    EXPECT_EQ(GetValue(fade, 10), 0);
}

TEST_F(LiveReloadTest, ChangedPathsReloadTracksOrProgramsAndNothingElse) {
    LiveReload reload = Reload();
    EXPECT_FALSE(reload.Changed({dir / "other.txt", dir / "shaders/notes.txt", dir / "shaders/.Phong.frag.swp"}));
    EXPECT_EQ(reload.Reloads(), 0);
    EXPECT_TRUE(reload.Changed({dir / "song.txt"}));
    EXPECT_EQ(reload.Reloads(), 1);
    EXPECT_TRUE(reload.Changed({dir / "shaders/Phong.frag"}));
    EXPECT_EQ(rebuilt, std::vector<std::string>{dir / "shaders/Phong.frag"});
    EXPECT_TRUE(reload.LastOk());
    rebuildFails = true;
    EXPECT_TRUE(reload.Changed({dir / "shaders/Phong.frag"}));
    EXPECT_FALSE(reload.LastOk());
    EXPECT_EQ(reload.LastResult(), "Phong.frag: the old programs are kept\n0:3(2): error: syntax error");
}

TEST_F(LiveReloadTest, TheWatcherFollowsWritesAndRenameOverSaves) {
    platform::FileWatch watch;
    ASSERT_TRUE(watch.Watch(dir.path()));
    EXPECT_FALSE(watch.Watch(dir / "show.sync")) << "only folders are watched";
    EXPECT_TRUE(watch.Poll().empty()) << "nothing happened yet, and polling does not wait";
    LiveReload reload = Reload();
    ASSERT_TRUE(reload.ReloadTracks());

    SaveByRename("show.sync", "track Fade\n  0 0.25\n");
    std::vector<std::string> changed = watch.Poll();
    EXPECT_NE(std::find(changed.begin(), changed.end(), dir / "show.sync"), changed.end())
        << ::testing::PrintToString(changed);
    EXPECT_TRUE(reload.Changed(changed));
    EXPECT_FLOAT_EQ(GetValue(fade, 0), 0.25f);

    dir.Write("show.sync", "track Fade\n  0 0.75\n");  // in place
    changed = watch.Poll();
    EXPECT_EQ(std::count(changed.begin(), changed.end(), dir / "show.sync"), 1) << "each path once";
    EXPECT_TRUE(reload.Changed(changed));
    EXPECT_FLOAT_EQ(GetValue(fade, 0), 0.75f);
    EXPECT_TRUE(watch.Poll().empty());
}
