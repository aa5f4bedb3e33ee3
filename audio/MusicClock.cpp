// The music clock's smoothing: a line through time that the answer follows,
// steered at every step of the reported position towards where that step
// most likely happened, clamped into [reported, reported + period] and never
// allowed to run backwards.
#include "audio/MusicClock.h"

#include <algorithm>
#include <ctime>

namespace {

// How quickly a small error is slewed away, and the largest rate change.
constexpr double kSlewSeconds = 0.25;
constexpr double kMaxSlew = 0.05;
// A reading this many periods away from the line is a seek or the end of a
// stall: the line starts again there instead of slewing.
constexpr double kSnapPeriods = 3;
// Steps larger than this are never taken for a mixing period.
constexpr double kLargestPeriod = 0.25;
// How much of a widened period is given back per step.
constexpr double kPeriodDecay = 0.98;

}  // namespace

double MusicClock::MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void MusicClock::Reset() {
    haveReading_ = false;
    locked_ = false;
}

void MusicClock::SetNominalPeriod(double seconds) {
    if (seconds > 0 && seconds <= kLargestPeriod) nominalPeriod_ = seconds;
}

void MusicClock::Anchor(double position, double t) {
    base_ = position;
    baseTime_ = t;
    rate_ = 1;
}

double MusicClock::Position(double reported) {
    const double t = now_();
    if (!haveReading_) {
        haveReading_ = true;
        locked_ = false;
        reported_ = reported;
        lastReadingTime_ = t;
        last_ = reported;
        return reported;
    }
    const double period = Period();
    if (reported != reported_) {
        const double step = reported - reported_;
        // The step happened at some moment since the previous reading.
        const double window = std::min(t - lastReadingTime_, period);
        reported_ = reported;
        if (reported < last_ - period) {
            // Rewound (a seek back, or the song ended): answer as reported.
            locked_ = false;
            last_ = reported;
        } else if (!locked_ || step > kSnapPeriods * period || reported > Line(t) + kSnapPeriods * period) {
            // The first step after a reset, a seek forward or a catch-up.
            locked_ = true;
            Anchor(std::max(reported, last_), t);
        } else if (step > 0) {
            if (step <= kLargestPeriod) period_ = std::max(step, period_ * kPeriodDecay);
            const double line = Line(t);
            const double error = reported + 0.5 * window - line;
            base_ = line;
            baseTime_ = t;
            rate_ = 1 + std::clamp(error / kSlewSeconds, -kMaxSlew, kMaxSlew);
        }
    }
    lastReadingTime_ = t;
    if (!locked_) return last_ = reported;

    const double high = reported + period;
    double position = Line(t);
    // A stalled device: keep the line near the ceiling so that it does not
    // run away while nothing moves.
    if (position > high + period) Anchor(position = high, t);
    position = std::clamp(position, reported, high);
    if (position < last_) position = last_;
    return last_ = position;
}
