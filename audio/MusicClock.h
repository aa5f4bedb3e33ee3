// MusicClock: turns the stepped playback position OpenAL reports (it moves
// once per mixing period) into a position that advances smoothly with a
// monotonic clock between steps. The result stays within one period above
// what was reported, never runs backwards between resets, and follows the
// reported position by slewing its rate, so it neither drifts nor jumps back.
// Limits: one caller (no locking); a seek or pause it is not told about is
// only recognised from the reported position (a jump back of more than a
// period, or forward of several).
#pragma once

class MusicClock {
public:
    using TimeSource = double (*)();

    // Seconds on CLOCK_MONOTONIC.
    static double MonotonicSeconds();

    explicit MusicClock(TimeSource now = MonotonicSeconds) : now_(now) {}

    // Forgets the history: the next reading is answered exactly as reported,
    // and the position only runs on once the reported one has moved again.
    void Reset();

    // The mixing period the device states (e.g. 1 / ALC_REFRESH); the clock
    // widens it to the largest step it has seen recently.
    void SetNominalPeriod(double seconds);

    // The smoothed position in seconds, given the position reported now.
    double Position(double reported);

    // The period currently allowed above the reported position.
    double Period() const { return period_ > nominalPeriod_ ? period_ : nominalPeriod_; }

private:
    double Line(double t) const { return base_ + rate_ * (t - baseTime_); }
    void Anchor(double position, double t);
    // Starts the bounds on (position - time) again from one step's readings.
    void StartBounds(double low, double high, double t);

    TimeSource now_;
    double nominalPeriod_ = 1024.0 / 44100.0;
    double period_ = 0;          // largest recent step, decaying towards the nominal period
    bool haveReading_ = false;   // a reading since the last reset
    bool locked_ = false;        // the reported position has moved since the reset
    double reported_ = 0;        // the last reported position
    double lastReadingTime_ = 0;
    // Bounds on (heard position - time) from the steps seen: each step was
    // first seen after it happened (low) and was not yet seen by the reading
    // before (high). They loosen slowly so that a drifting card is followed.
    double low_ = 0, high_ = 0, boundsTime_ = 0;
    double base_ = 0, baseTime_ = 0, rate_ = 1;  // the line the position follows
    double last_ = 0;            // the last answer
};
