// Progress reporting against a hand-driven clock: what the line says, how
// often it is printed on a terminal and in a log, and the summary.
#include "capture/Progress.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

struct ProgressRun {
    double now = 100.0;
    std::ostringstream out;
    Progress Make(long long total, bool terminal) {
        return Progress(total, 60, out, terminal, [this] { return now; });
    }
};

TEST(Progress, LineShowsFramesRateAndTimeLeft) {
    ProgressRun run;
    Progress progress = run.Make(3600, false);
    EXPECT_EQ(progress.Line(0, 100.0), "frame 0/3600 (0%)  -- fps  --:-- left");
    EXPECT_EQ(progress.Line(600, 110.0), "frame 600/3600 (16%)  60.0 fps  0:50 left");
    EXPECT_EQ(progress.Line(1200, 120.0), "frame 1200/3600 (33%)  60.0 fps  0:40 left");
    EXPECT_EQ(progress.Summary(3600, 160.0, "show.mp4"),
              "3600 frames, 60.000 s of video, in 1:00 (60.0 fps average) -> show.mp4");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");
    EXPECT_EQ(FormatDuration(-1), "--:--");
}

// Clock steps are binary fractions so the sums stay exact.
TEST(Progress, PlainLinesAtMostOnceASecond) {
    ProgressRun run;
    Progress progress = run.Make(100, false);
    for (int frame = 1; frame <= 25; ++frame) {
        run.now += 0.125;
        progress.Update(frame);
    }
    EXPECT_EQ(run.out.str(),
              "frame 8/100 (8%)  8.0 fps  0:12 left\n"
              "frame 16/100 (16%)  8.0 fps  0:11 left\n"
              "frame 24/100 (24%)  8.0 fps  0:10 left\n");
    run.out.str("");
    progress.Finish(25, "shots");
    EXPECT_EQ(run.out.str(), "25 frames, 0.417 s of video, in 0:03 (8.0 fps average) -> shots\n");
}

TEST(Progress, TerminalLineRewrittenInPlace) {
    ProgressRun run;
    Progress progress = run.Make(1000, true);
    run.now += 0.0625;
    progress.Update(1);  // too soon
    EXPECT_EQ(run.out.str(), "");
    run.now += 0.0625;
    progress.Update(100);
    run.now += 9.875;
    progress.Update(999);
    progress.Finish(1000, "show.mp4");
    EXPECT_EQ(run.out.str(),
              "\rframe 100/1000 (10%)  800.0 fps  0:01 left"
              "\rframe 999/1000 (99%)  99.9 fps  0:00 left "
              "\rframe 1000/1000 (100%)  100.0 fps  0:00 left\n"
              "1000 frames, 16.667 s of video, in 0:10 (100.0 fps average) -> show.mp4\n");
}

}  // namespace
