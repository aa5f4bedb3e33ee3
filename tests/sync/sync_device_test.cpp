// The sync device reading real track files from ./sync/ in a scratch folder:
// sharing, naming, the file format, and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sync/SyncSystem.h"
#include "sync/TrackFile.h"
#include "tests/audio/support/capture_logger.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/track_files.h"

namespace {

using trackbytes::I32;
using trackbytes::Key;

// Runs each test inside its own scratch folder, so "./sync/" is private.
class SyncFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sync.Init(nullptr));
        gSyncSystem = &sync;
    }
    void TearDown() override {
        gSyncSystem = nullptr;
        DestroySyncDevice(sync.device);
    }
    void WriteTrack(const std::string& name, const std::string& bytes) { WriteTrackBytes(dir, name, bytes); }
    SyncTrack* Track(const char* name) {
        TrackHandle* handle = sync.GetTrack(name);
        SyncTrack* track = handle ? handle->track : nullptr;
        delete handle;
        return track;
    }

    InScratchDir dir;
    CaptureLogger log;
    SyncSystem sync;
};

void ExpectKeys(const SyncTrack* track, const std::vector<TrackKey>& keys) {
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->numKeys, int32_t(keys.size()));
    ASSERT_EQ(track->keys.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(track->keys[i].row, keys[i].row) << i;
        EXPECT_EQ(track->keys[i].value, keys[i].value) << i;
        EXPECT_EQ(track->keys[i].type, keys[i].type) << i;
    }
}

}  // namespace

TEST_F(SyncFiles, InitMakesAnEmptyDeviceUnderSync) {
    ASSERT_NE(sync.device, nullptr);
    EXPECT_EQ(sync.device->basePath, "./sync/");
    EXPECT_EQ(sync.device->numTracks, 0);
}

TEST_F(SyncFiles, TwoKeyFileOfTwentyTwoBytes) {
    std::string bytes = I32(2) + Key(0, 1.0f, 1) + Key(16, 3.0f, 0);
    ASSERT_EQ(bytes.size(), 22u);
    WriteTrack("Camera X Offset", bytes);
    SyncTrack* track = Track("Camera X Offset");
    ExpectKeys(track, {{0, 1.0f, Linear}, {16, 3.0f, Step}});
    EXPECT_FLOAT_EQ(GetValue(track, 8), 2.0f);
    EXPECT_FLOAT_EQ(GetValue(track, 40), 3.0f);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(SyncFiles, OneTrackPerNameReadOnceAndSharedByHandles) {
    WriteTrack("Effect Index", I32(1) + Key(0, 1.0f, 0));
    TrackHandle* first = sync.GetTrack("Effect Index");
    // Changing the file now must not matter: it is never read again.
    WriteTrack("Effect Index", I32(1) + Key(0, 2.0f, 0));
    TrackHandle* second = sync.GetTrack("Effect Index");
    ASSERT_NE(first, second);
    EXPECT_EQ(first->track, second->track);
    EXPECT_EQ(first->track->keys[0].value, 1.0f);
    EXPECT_EQ(sync.device->numTracks, 1);
    delete first;
    delete second;
}

TEST_F(SyncFiles, NamesAreCaseSensitiveAndKeptInRequestOrder) {
    WriteTrack("fade", I32(1) + Key(0, 1.0f, 0));
    WriteTrack("Fade", I32(1) + Key(0, 2.0f, 0));
    SyncTrack* lower = Track("fade");
    SyncTrack* upper = Track("Fade");
    ASSERT_NE(lower, upper);
    EXPECT_EQ(lower->keys.at(0).value, 1.0f);
    EXPECT_EQ(upper->keys.at(0).value, 2.0f);
    EXPECT_EQ(sync.device->FindTrack("fade"), 0);
    EXPECT_EQ(sync.device->FindTrack("Fade"), 1);
    EXPECT_EQ(sync.device->FindTrack("FADE"), -1);
}

TEST_F(SyncFiles, MissingFileGivesAKeylessTrackThatIsNotReadAgain) {
    SyncTrack* track = Track("Camera Pitch");
    ExpectKeys(track, {});
    WriteTrack("Camera Pitch", I32(1) + Key(0, 4.0f, 0));
    EXPECT_EQ(Track("Camera Pitch"), track);
    ExpectKeys(track, {});
    EXPECT_EQ(GetValue(track, 0), 0.0f);
    EXPECT_TRUE(log.lines.empty());  // a missing file is no error
}

TEST_F(SyncFiles, CountZeroAndSignedTypeBytes) {
    WriteTrack("empty", I32(0));
    WriteTrack("types", I32(2) + Key(0, 1.0f, int8_t(0xFF)) + Key(5, 2.0f, 127));
    ExpectKeys(Track("empty"), {});
    ExpectKeys(Track("types"), {{0, 1.0f, -1}, {5, 2.0f, 127}});
}

TEST_F(SyncFiles, DamagedCountsTakeOnlyWholeKeysThatAreThere) {
    WriteTrack("negative", I32(-3) + Key(0, 1.0f, 0));
    WriteTrack("short", I32(5) + Key(0, 1.0f, 0) + Key(8, 2.0f, 1));
    WriteTrack("huge", I32(0x7FFFFFFF) + Key(0, 1.0f, 0) + Key(8, 2.0f, 1));
    WriteTrack("cut", I32(3) + Key(0, 1.0f, 0) + Key(8, 2.0f, 1) + Key(16, 3.0f, 0).substr(0, 5));
    WriteTrack("tiny", std::string("\x02\x00", 2));
    WriteTrack("extra", I32(1) + Key(0, 1.0f, 0) + "trailing bytes");

    ExpectKeys(Track("negative"), {});
    ExpectKeys(Track("short"), {{0, 1.0f, Step}, {8, 2.0f, Linear}});
    SyncTrack* huge = Track("huge");
    ExpectKeys(huge, {{0, 1.0f, Step}, {8, 2.0f, Linear}});
    EXPECT_LT(huge->keys.capacity(), 64u);  // sized by the file, not by the count
    ExpectKeys(Track("cut"), {{0, 1.0f, Step}, {8, 2.0f, Linear}});
    ExpectKeys(Track("tiny"), {});
    ExpectKeys(Track("extra"), {{0, 1.0f, Step}});

    // Each damaged file is named in the log; the one with spare bytes is fine.
    EXPECT_TRUE(log.Has("ERROR: Track File Key Count Negative: ./sync/_negative.track"));
    EXPECT_TRUE(log.Has("ERROR: Track File Holds Fewer Keys Than Its Count: ./sync/_huge.track"));
    EXPECT_TRUE(log.Has("ERROR: Track File Too Short: ./sync/_tiny.track"));
    EXPECT_EQ(log.lines.size(), 5u);
}

// A folder where a track file should be cannot be read: it counts as too
// short rather than ending the run.
TEST_F(SyncFiles, AFolderInPlaceOfATrackFileReadsAsTooShort) {
    ASSERT_EQ(mkdir("sync", 0755) == 0 || errno == EEXIST, true);
    ASSERT_EQ(mkdir("sync/_folder.track", 0755), 0);
    std::string bytes = "stale";
    EXPECT_TRUE(ReadWholeFile("sync/_folder.track", &bytes));
    EXPECT_EQ(bytes, "");
    bytes = "stale";
    EXPECT_TRUE(ReadTrackFileBytes("sync/_folder.track", &bytes));
    EXPECT_EQ(bytes, "");
    ExpectKeys(Track("folder"), {});
    EXPECT_TRUE(log.Has("ERROR: Track File Too Short: ./sync/_folder.track"));
}

// A huge file is read only as far as its count asks (this one is sparse and
// holds 64 GiB); a count larger than the file reads what is there.
TEST_F(SyncFiles, OnlyTheBytesTheCountAsksForAreRead) {
    WriteTrack("huge", I32(2) + Key(0, 1.0f, 1) + Key(16, 2.0f, 0));
    ASSERT_EQ(truncate("sync/_huge.track", off_t(64) << 30), 0);
    ExpectKeys(Track("huge"), {{0, 1.0f, Linear}, {16, 2.0f, Step}});
    std::string bytes;
    ASSERT_TRUE(ReadTrackFileBytes("sync/_huge.track", &bytes));
    EXPECT_EQ(bytes.size(), 4u + 2 * 9);

    WriteTrack("claims", I32(0x7FFFFFFF) + Key(0, 1.0f, 0) + "xy");
    ASSERT_TRUE(ReadTrackFileBytes("sync/_claims.track", &bytes));
    EXPECT_EQ(bytes.size(), 4u + 9 + 2);
    ExpectKeys(Track("claims"), {{0, 1.0f, Step}});
    EXPECT_FALSE(ReadTrackFileBytes("sync/_absent.track", &bytes));
    EXPECT_FALSE(log.Has("ERROR: Track File Too Short: ./sync/_huge.track"));
}

// A FIFO at a track's path neither blocks start-up nor is read: the track
// has no keys, as for a folder.
TEST_F(SyncFiles, AFifoInPlaceOfATrackFileIsNotWaitedFor) {
    ASSERT_EQ(mkdir("sync", 0755) == 0 || errno == EEXIST, true);
    ASSERT_EQ(mkfifo("sync/_fifo.track", 0600), 0);
    ExpectKeys(Track("fifo"), {});
    EXPECT_TRUE(log.Has("ERROR: Track File Too Short: ./sync/_fifo.track"));
}

// Keys out of order are sorted by row (a later key wins a row written twice),
// so every key still takes effect where its row says.
TEST_F(SyncFiles, RowsOutOfOrderAreSorted) {
    WriteTrack("shuffled", I32(5) + Key(32, 3.0f, 0) + Key(0, 1.0f, 1) + Key(16, 2.0f, 1) + Key(0, 9.0f, 1) +
                               Key(-16, 0.0f, 0));
    SyncTrack* track = Track("shuffled");
    ExpectKeys(track, {{-16, 0.0f, Step}, {0, 9.0f, Linear}, {16, 2.0f, Linear}, {32, 3.0f, Step}});
    EXPECT_EQ(FindKey(track, 20), 2);
    EXPECT_FLOAT_EQ(GetValue(track, 24), 2.5f);
    EXPECT_TRUE(log.Has("ERROR: Track File Rows Not In Order, Sorted: ./sync/_shuffled.track"));
}

TEST_F(SyncFiles, NameTooLongForAPathIsRefused) {
    // "./sync/_" + name + ".track" must fit 259 characters.
    std::string fits(259 - 14, 'a');
    std::string tooLong(260 - 14, 'b');
    ASSERT_EQ(mkdir("sync", 0755) == 0 || errno == EEXIST, true);
    WriteTrack(fits, I32(1) + Key(0, 1.0f, 0));
    SyncTrack* ok = Track(fits.c_str());
    ExpectKeys(ok, {{0, 1.0f, Step}});

    std::string huge(5000, 'c');
    SyncTrack* refused = Track(tooLong.c_str());
    SyncTrack* refusedToo = Track(huge.c_str());
    ExpectKeys(refused, {});
    ExpectKeys(refusedToo, {});
    EXPECT_EQ(refused->name, tooLong);
    EXPECT_TRUE(log.Has("ERROR: Track Path Too Long: " + tooLong));
}

TEST(SyncWithoutDevice, GetTrackGivesAKeylessTrackThatReadsZero) {
    SyncSystem sync;  // never initialised: no device
    gSyncSystem = &sync;
    TrackHandle* handle = sync.GetTrack("Effect Index");
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(handle->track, nullptr);
    EXPECT_EQ(handle->track->numKeys, 0);
    EXPECT_EQ(GetTrackValue(handle), 0.0f);
    delete handle;
    DestroySyncDevice(sync.device);
    gSyncSystem = nullptr;
}
