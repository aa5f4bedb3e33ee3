// The music clock against a fake mixer on a fake time source: the reported
// offset steps once per 23 ms period, can stall, jump on a seek and rewind,
// and may have latency taken off. The answers must advance at every reading
// while the song plays, never go backwards, stay within a period of what is
// really heard, and come back to it after a seek or a stall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "audio/MusicClock.h"

namespace {

double gNow = 100.0;
double FakeNow() { return gNow; }

constexpr double kPeriod = 0.023;
constexpr double kFrame = 1.0 / 60.0;
constexpr double kTiny = 1e-9;

// A song mixed in whole periods from the last start or seek. `rate` is how
// fast the device plays against the time source (a drifting sound card).
struct FakeMixer {
    double latency = 0;
    double rate = 1;
    bool stalled = false;
    double song = 0;     // the song position mixed into the device so far
    double mixBase = 0;  // where mixing last started

    void Advance(double seconds) {
        if (!stalled) song += seconds * rate;
    }
    void Seek(double position) { song = mixBase = position; }
    // What OpenAL reports: the offset in whole periods, less the latency.
    double Reported() const {
        double offset = mixBase + std::floor((song - mixBase) / kPeriod + kTiny) * kPeriod;
        return std::max(0.0, offset - latency);
    }
    double Heard() const { return std::max(0.0, song - latency); }
};

struct Reading {
    double time, answer, reported, heard;
};

class ClockRun {
public:
    ClockRun() {
        clock.SetNominalPeriod(kPeriod);
        clock.Reset();
    }
    // Runs `seconds` of frames with `perFrame` readings 25 us apart each.
    void Frames(double seconds, int perFrame, const std::function<void()>& eachFrame = {}) {
        for (double end = gNow + seconds; gNow < end;) {
            if (eachFrame) eachFrame();
            for (int i = 0; i < perFrame; ++i) {
                Read();
                Tick(25e-6);
            }
            Tick(kFrame - perFrame * 25e-6);
        }
    }
    void Read() {
        readings.push_back({gNow, clock.Position(mixer.Reported()), mixer.Reported(), mixer.Heard()});
    }
    void Tick(double seconds) {
        gNow += seconds;
        mixer.Advance(seconds);
    }

    FakeMixer mixer;
    MusicClock clock{FakeNow};
    std::vector<Reading> readings;
};

// Readings from `first` on: each one later than the one before, within the
// period above what was reported, and within a period of what is heard.
void ExpectSmooth(const std::vector<Reading>& r, size_t first, const char* what) {
    for (size_t i = std::max<size_t>(first, 1); i < r.size(); ++i) {
        ASSERT_GT(r[i].answer, r[i - 1].answer) << what << ": reading " << i << " at " << r[i].time;
        ASSERT_GE(r[i].answer, r[i].reported - kTiny) << what << ": reading " << i;
        ASSERT_LE(r[i].answer, r[i].reported + kPeriod + kTiny) << what << ": reading " << i;
        ASSERT_LE(std::fabs(r[i].answer - r[i].heard), kPeriod + kTiny) << what << ": reading " << i;
    }
}

// The first reading whose reported position has left 0.
size_t FirstMoving(const std::vector<Reading>& r) {
    size_t i = 0;
    while (i < r.size() && r[i].reported <= 0) ++i;
    return i;
}

double RmsError(const std::vector<Reading>& r, size_t first) {
    double sum = 0;
    for (size_t i = first; i < r.size(); ++i) sum += (r[i].answer - r[i].heard) * (r[i].answer - r[i].heard);
    return std::sqrt(sum / double(r.size() - first));
}

struct Pattern {
    double latency;
    int perFrame;
};

class SteadyPlayback : public ::testing::TestWithParam<Pattern> {};

TEST_P(SteadyPlayback, AdvancesAtEveryReadingAndSettlesOnTheHeardPosition) {
    ClockRun run;
    run.mixer.latency = GetParam().latency;
    run.Frames(6.0, GetParam().perFrame);
    const auto& r = run.readings;
    // Until the first mixed sample is heard the answer is 0, as reported.
    const size_t moving = FirstMoving(r);
    ASSERT_LT(moving, r.size());
    for (size_t i = 0; i < moving; ++i) EXPECT_EQ(r[i].answer, 0.0) << "reading " << i;
    ExpectSmooth(r, moving, "steady");
    // Settled after a second: within a few milliseconds, not just a period.
    size_t settled = moving;
    while (settled < r.size() && r[settled].time < r[moving].time + 1.0) ++settled;
    EXPECT_LT(RmsError(r, settled), 0.003);
}

INSTANTIATE_TEST_SUITE_P(LatencyAndReadings, SteadyPlayback,
                         ::testing::Values(Pattern{0, 1}, Pattern{0, 40}, Pattern{0.047, 1}, Pattern{0.047, 40}));

TEST(MusicClock, FollowsASoundCardThatRunsSlowOrFast) {
    for (double rate : {0.998, 1.002}) {
        ClockRun run;
        run.mixer.rate = rate;
        run.Frames(20.0, 3);
        const auto& r = run.readings;
        ExpectSmooth(r, FirstMoving(r), rate < 1 ? "slow card" : "fast card");
        // No drift: the error at the end is as small as after settling.
        std::vector<Reading> last(r.end() - 60, r.end());
        EXPECT_LT(RmsError(last, 0), 0.003) << "rate " << rate;
    }
}

TEST(MusicClock, AnswersAsReportedAfterAResetUntilTheOffsetMoves) {
    MusicClock clock(FakeNow);
    clock.SetNominalPeriod(kPeriod);
    // Paused at 3 s: time passes, nothing runs on.
    EXPECT_EQ(clock.Position(3.0), 3.0);
    gNow += 0.5;
    EXPECT_EQ(clock.Position(3.0), 3.0);
    // Stopped: rewound to 0 at once, after a reset or without one.
    EXPECT_EQ(clock.Position(0.0), 0.0);
    clock.Reset();
    gNow += 0.5;
    EXPECT_EQ(clock.Position(0.0), 0.0);
}

TEST(MusicClock, SeeksMoveTheAnswerAtOnceAndItSettlesAgain) {
    for (bool told : {true, false}) {
        for (double target : {30.0, 1.0}) {
            ClockRun run;
            run.Frames(2.0, 4);
            run.mixer.Seek(target);
            if (told) run.clock.Reset();  // the player resets its clock on SetPosition
            const size_t seek = run.readings.size();
            run.Frames(3.0, 4);
            const auto& r = run.readings;
            EXPECT_NEAR(r[seek].answer, target, kPeriod) << (told ? "reset" : "not told") << " to " << target;
            // Within a period from then on, and advancing again after a step.
            size_t stepped = seek;
            while (stepped < r.size() && r[stepped].reported == r[seek].reported) ++stepped;
            ASSERT_LT(stepped, r.size());
            ASSERT_LE(r[stepped].time - r[seek].time, kPeriod + kFrame);
            ExpectSmooth(r, stepped, "after seek");
            size_t settled = stepped;
            while (settled < r.size() && r[settled].time < r[stepped].time + 1.0) ++settled;
            EXPECT_LT(RmsError(r, settled), 0.003) << "after seek to " << target;
        }
    }
}

TEST(MusicClock, DoesNotRunOnWhileTheDeviceStallsAndRecovers) {
    ClockRun run;
    run.mixer.latency = 0.047;
    run.Frames(2.0, 4);
    run.mixer.stalled = true;
    const double frozen = run.mixer.Reported();
    const size_t stall = run.readings.size();
    run.Frames(0.3, 4);
    run.mixer.stalled = false;
    const size_t resume = run.readings.size();
    run.Frames(3.0, 4);
    const auto& r = run.readings;
    for (size_t i = stall; i < resume; ++i) {
        EXPECT_LE(r[i].answer, frozen + kPeriod + kTiny) << "ran on during the stall, reading " << i;
        EXPECT_GE(r[i].answer, r[i - 1].answer) << "went back during the stall, reading " << i;
    }
    // Back within a period of what is heard in a few frames, smooth again.
    size_t back = resume;
    while (back < r.size() && std::fabs(r[back].answer - r[back].heard) > kPeriod) ++back;
    EXPECT_LT(back - resume, size_t(4 * 5));
    size_t stepped = back;
    while (stepped < r.size() && r[stepped].reported == r[back].reported) ++stepped;
    ExpectSmooth(r, stepped, "after the stall");
}

TEST(MusicClock, CatchesUpWhenTheDeviceMixesAStallAwayInABurst) {
    ClockRun run;
    run.Frames(2.0, 4);
    // The mixer thread did not run for 150 ms but the song went on playing:
    // the offset jumps by the missed periods at once.
    run.mixer.stalled = true;
    run.Frames(0.15, 4);
    run.mixer.stalled = false;
    run.mixer.Advance(0.15);
    const size_t burst = run.readings.size();
    run.Frames(2.0, 4);
    const auto& r = run.readings;
    for (size_t i = 1; i < r.size(); ++i) ASSERT_GE(r[i].answer, r[i - 1].answer) << "reading " << i;
    EXPECT_LE(std::fabs(r[burst].answer - r[burst].heard), kPeriod + kTiny);
    ExpectSmooth(r, burst + 1, "after the burst");
}

}  // namespace
