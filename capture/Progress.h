// The capture's progress on standard error: frames done of the total, frames
// per second and the time left, rewritten in place on a terminal (at most ten
// times a second) or as a plain line at most once a second otherwise (logs,
// pipes); then a one-line summary. The clock is replaceable for tests.
#pragma once

#include <functional>
#include <ostream>
#include <string>

class Progress {
public:
    // Monotonic seconds.
    using Clock = std::function<double()>;

    Progress(long long totalFrames, int fps, std::ostream& out, bool terminal, Clock clock = SteadySeconds);

    // Reports that `framesDone` frames are complete, when the line is due.
    void Update(long long framesDone);
    // Ends the progress line and prints the summary for the finished output.
    void Finish(long long framesDone, const std::string& outputPath);

    // The progress text for framesDone at `now` seconds on the clock.
    std::string Line(long long framesDone, double now) const;
    std::string Summary(long long framesDone, double now, const std::string& outputPath) const;

    static double SteadySeconds();
    static bool StderrIsTerminal();

private:
    const long long total;
    const int fps;
    std::ostream& out;
    const bool terminal;
    const Clock clock;
    const double start;
    double lastShown;
    size_t shownLength = 0;
};

// "1:02" for 62 s, "1:00:05" past an hour; "--:--" when unknown.
std::string FormatDuration(double seconds);
