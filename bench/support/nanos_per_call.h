// Timing one cheap call for the benchmark tables. The machine is shared, so
// the call is timed in ten batches of about 20 ms each and the fastest batch
// is kept: that is the call's own cost, without other programs' time. Results
// feed a volatile sink so the calls are not optimised away.
#pragma once

#include <algorithm>
#include <chrono>

// Nanoseconds per call of f (f returns a number).
template <typename F>
double NanosPerCall(F f) {
    using Clock = std::chrono::steady_clock;
    volatile double sink = 0;
    auto batch = [&](long calls) {
        auto start = Clock::now();
        for (long i = 0; i < calls; ++i) sink = sink + f();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    long calls = 1000;
    while (batch(calls) < 0.02) calls *= 2;
    double best = 1e30;
    for (int run = 0; run < 10; ++run) best = std::min(best, batch(calls));
    return best * 1e9 / double(calls);
}
