// The music clock's smoothing. Every step of the reported position bounds
// where the song really is: it is at least the new value when the step is
// first seen, and was at most the old value plus a period at the reading
// before. The answer follows a line through time that is steered (by its
// rate, never backwards) to the lower of the two bounds, so that it does not
// run ahead of the sound; it is clamped into [reported, reported + period]
// and never decreases between resets.
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
// How fast the bounds loosen (seconds per second): faster than any sound
// card drifts from the monotonic clock.
constexpr double kLoosening = 0.005;
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

void MusicClock::StartBounds(double low, double high, double t) {
    low_ = low;
    high_ = std::min(high, low + Period());
    boundsTime_ = t;
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
        // Where the song is against the time source, from this step.
        const double low = reported - t;
        const double high = reported_ + period - lastReadingTime_;
        reported_ = reported;
        if (reported < last_ - period) {
            // Rewound (a seek back, or the song ended): answer as reported.
            locked_ = false;
            last_ = reported;
        } else {
            const double loosen = kLoosening * (t - boundsTime_);
            low_ -= loosen;
            high_ += loosen;
            boundsTime_ = t;
            // The first step after a reset, a seek forward, a catch-up, or a
            // device whose timeline moved (a stall): start again from here.
            if (!locked_ || step > kSnapPeriods * period || reported > Line(t) + kSnapPeriods * period ||
                low > high_ + period || high < low_ - period) {
                locked_ = true;
                StartBounds(low, high, t);
                const double floor = std::max(reported, last_);
                Anchor(std::clamp(t + low_, floor, std::max(floor, reported + period)), t);
            } else if (step > 0) {
                // A step seen within one nominal period is one mix (or a burst
                // of mixes at once); over a longer wait it may be several.
                const bool oneMix = step <= kLargestPeriod && t - lastReadingTime_ <= nominalPeriod_;
                period_ = std::max(oneMix ? step : 0.0, period_ * kPeriodDecay);
                low_ = std::max(low_, low);
                high_ = std::min(high_, high);
                const double line = Line(t);
                const double error = t + std::min(low_, high_) - line;
                base_ = line;
                baseTime_ = t;
                rate_ = 1 + std::clamp(error / kSlewSeconds, -kMaxSlew, kMaxSlew);
            }
        }
    }
    lastReadingTime_ = t;
    if (!locked_) return last_ = reported;

    const double ceiling = reported + period;
    double position = Line(t);
    if (position > ceiling + period) {
        // A stalled device: keep the line near the ceiling so that it does
        // not run away while nothing moves.
        Anchor(ceiling, t);
        position = ceiling;
    } else if (position < reported) {
        // Behind what is surely heard. When the steps come evenly (the bounds
        // agree) the line moves up to it; on a device that mixes unevenly
        // the answer only waits here for the line to pass.
        if (low_ <= high_) {
            base_ = reported;
            baseTime_ = t;
        }
        position = reported;
    }
    position = std::min(position, ceiling);
    if (position < last_) position = last_;
    return last_ = position;
}
