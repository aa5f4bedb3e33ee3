// Which filmstrip pictures a change of tracks reaches: a track read at the
// moment reaches the moments whose value changed, and only them; a clock
// track reaches every moment after its first change, even where the value
// read there is the same; a change of interpolation alone counts.
#include <gtest/gtest.h>

#include "author/filmstrip/FilmstripReach.h"

namespace {

// Bars of 64 rows, pictures in the middle of their first row.
const std::vector<double> kMoments = {0.5, 64.5, 128.5, 192.5, 256.5, 320.5};

std::vector<int> Reached(const TrackKeyMap& before, const TrackKeyMap& changed) {
    const std::vector<bool> reached = ReachedMoments(kMoments, before, changed);
    std::vector<int> bars;
    for (size_t b = 0; b < reached.size(); ++b)
        if (reached[b]) bars.push_back(int(b));
    return bars;
}

TEST(FilmstripReach, TracksReadAtTheMomentReachOnlyTheMomentsWhoseValueChanged) {
    const TrackKeyMap before = {{"Fade", {{0, 0, Step}, {300, 1, Step}}}};
    // A black bar: 1 over bar 2 alone, 0 again one row later.
    EXPECT_EQ(Reached(before, {{"Fade", {{0, 0, Step}, {128, 1, Step}, {129, 0, Step}, {300, 1, Step}}}}),
              std::vector<int>({2}));
    // A key between two pictures that reads the same at both reaches none.
    EXPECT_TRUE(Reached(before, {{"Fade", {{0, 0, Step}, {100, 0, Step}, {300, 1, Step}}}}).empty());
    // A ramp from 100 to 200 and back to 0: the pictures on its slope.
    const TrackKeyMap ramp = {
        {"Fade", {{0, 0, Step}, {100, 0, Linear}, {200, 1, Step}, {201, 0, Step}, {300, 1, Step}}}};
    EXPECT_EQ(Reached(before, ramp), std::vector<int>({2, 3}));
    // A track nobody had before reaches where it does not read 0.
    EXPECT_EQ(Reached({}, {{"Flash", {{250, 0, Step}, {256, 1, Step}}}}), std::vector<int>({4, 5}));
    // The same keys again reach nothing.
    EXPECT_TRUE(Reached(before, before).empty());
}

TEST(FilmstripReach, ClockTracksReachEverythingAfterTheirFirstChange) {
    const TrackKeyMap before = {{"Effect Time", {{0, -1, Step}, {192, 8, Step}}},
                                {"Effect Index", {{0, 0, Step}, {256, 2, Step}}}};
    // Set at row 130 and back at 131: no later picture reads another
    // value, but the clock ran differently from row 130 on.
    EXPECT_EQ(Reached(before, {{"Effect Time", {{0, -1, Step}, {130, 30, Step}, {131, -1, Step}, {192, 8, Step}}}}),
              std::vector<int>({3, 4, 5}));
    // Only the interpolation of the key at 0 changed: its curve leads to
    // the key at 192, so every picture.
    EXPECT_EQ(Reached(before, {{"Effect Time", {{0, -1, Linear}, {192, 8, Step}}}}),
              std::vector<int>({0, 1, 2, 3, 4, 5}));
    // A change of which scene plays, at the start: every picture.
    EXPECT_EQ(Reached(before, {{"Effect Index", {{0, 1, Step}, {256, 2, Step}}}}),
              std::vector<int>({0, 1, 2, 3, 4, 5}));
    // A key removed: from its row on.
    EXPECT_EQ(Reached(before, {{"Effect Index", {{0, 0, Step}}}}), std::vector<int>({4, 5}));
}

}  // namespace
