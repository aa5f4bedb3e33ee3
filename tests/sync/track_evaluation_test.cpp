// Key search, the four interpolation rules and the row clock, with an audio
// double standing in for the music.
#include <gtest/gtest.h>

#include "sync/SyncSystem.h"
#include "tests/support/fake_audio.h"

namespace {

SyncTrack MakeTrack(std::vector<TrackKey> keys) {
    SyncTrack track;
    track.name = "test";
    track.keys = std::move(keys);
    track.numKeys = int32_t(track.keys.size());
    return track;
}

SyncTrack TwoKeys(int32_t type) { return MakeTrack({{10, 5.0f, type}, {20, 7.0f, Step}}); }

}  // namespace

TEST(FindKey, LastKeyAtOrBeforeTheRow) {
    SyncTrack track = MakeTrack({{0, 1, Step}, {8, 2, Step}, {16, 3, Step}});
    EXPECT_EQ(FindKey(&track, -1), -1);
    EXPECT_EQ(FindKey(&track, 0), 0);
    EXPECT_EQ(FindKey(&track, 7), 0);
    EXPECT_EQ(FindKey(&track, 8), 1);
    EXPECT_EQ(FindKey(&track, 15), 1);
    EXPECT_EQ(FindKey(&track, 16), 2);
    EXPECT_EQ(FindKey(&track, 100), 2);

    SyncTrack empty = MakeTrack({});
    EXPECT_EQ(FindKey(&empty, 0), -1);
}

TEST(FindKey, AgreesWithALinearScanOnALongTrack) {
    std::vector<TrackKey> keys;
    for (int i = 0; i < 1000; ++i) keys.push_back({i * 7 - 300, float(i), Linear});
    SyncTrack track = MakeTrack(keys);
    for (int row = -310; row < 7000; row += 3) {
        int expected = -1;
        for (int i = 0; i < 1000; ++i)
            if (keys[size_t(i)].row <= row) expected = i;
        ASSERT_EQ(FindKey(&track, row), expected) << row;
    }
}

TEST(GetValue, TrackWithoutKeysIsZero) {
    SyncTrack track = MakeTrack({});
    for (double row : {-5.0, 0.0, 12.5, 1e6}) EXPECT_EQ(GetValue(&track, row), 0.0f);
}

TEST(GetValue, LinearSmoothRampAndStepBetweenTwoKeys) {
    struct Expect {
        double row;
        float linear, smooth, ramp, step;
    };
    const Expect table[] = {
        {0, 5, 5, 5, 5},          {10, 5, 5, 5, 5},         {12, 5.4f, 5.208f, 5.08f, 5},
        {15, 6, 6, 5.5f, 5},      {19, 6.8f, 6.944f, 6.62f, 5}, {20, 7, 7, 7, 7},
        {1000, 7, 7, 7, 7},
    };
    SyncTrack linear = TwoKeys(Linear), smooth = TwoKeys(Smooth), ramp = TwoKeys(Ramp), step = TwoKeys(Step);
    for (const Expect& e : table) {
        EXPECT_FLOAT_EQ(GetValue(&linear, e.row), e.linear) << e.row;
        EXPECT_FLOAT_EQ(GetValue(&smooth, e.row), e.smooth) << e.row;
        EXPECT_FLOAT_EQ(GetValue(&ramp, e.row), e.ramp) << e.row;
        EXPECT_FLOAT_EQ(GetValue(&step, e.row), e.step) << e.row;
    }
    // The fraction of a row counts for the interpolation, the key search
    // takes the whole row.
    EXPECT_FLOAT_EQ(GetValue(&linear, 12.5), 5.5f);
    EXPECT_FLOAT_EQ(GetValue(&step, 19.999), 5.0f);
}

TEST(GetValue, UnknownTypeReadsZeroOnlyWithinItsSegment) {
    SyncTrack track = MakeTrack({{10, 5.0f, 5}, {20, 7.0f, Linear}, {30, 9.0f, -1}});
    EXPECT_EQ(GetValue(&track, 0), 5.0f);  // before the first key: its value
    EXPECT_EQ(GetValue(&track, 10), 0.0f);
    EXPECT_EQ(GetValue(&track, 19), 0.0f);
    EXPECT_EQ(GetValue(&track, 25), 8.0f);
    EXPECT_EQ(GetValue(&track, 30), 9.0f);  // the last key holds whatever its type
    EXPECT_EQ(GetValue(&track, 31), 9.0f);
}

TEST(GetValue, ExtremeRowsStayDefined) {
    SyncTrack track = MakeTrack({{INT32_MIN, -1.0f, Linear}, {INT32_MAX, 1.0f, Step}});
    EXPECT_NEAR(GetValue(&track, 0), 0.0f, 1e-6f);
    EXPECT_EQ(GetValue(&track, 1e300), 1.0f);
    EXPECT_EQ(GetValue(&track, -1e300), -1.0f);
}

TEST(CurrentRow, WholeRowsFromTheMusicPosition) {
    FakeAudio audio;
    SyncSystem sync;
    sync.audio = &audio;
    gSyncSystem = &sync;
    struct Case {
        float beats;
        double row;
    };
    for (Case c : {Case{0, 0}, Case{1, 16}, Case{1.03f, 16}, Case{-0.01f, -1}, Case{-2.3333333f, -38},
                   Case{7, 112}}) {
        audio.position = c.beats;
        EXPECT_EQ(CurrentRow(), c.row) << c.beats;
    }

    // Every read asks the music afresh.
    SyncTrack track = TwoKeys(Linear);
    TrackHandle handle{&track};
    audio.queries = 0;
    audio.position = 15.0f / 16.0f;
    EXPECT_FLOAT_EQ(GetTrackValue(&handle), 6.0f);
    audio.position = 12.9f / 16.0f;
    EXPECT_FLOAT_EQ(GetTrackValue(&handle), 5.4f);  // row 12, not 12.9
    EXPECT_EQ(audio.queries, 2);
    gSyncSystem = nullptr;
}
