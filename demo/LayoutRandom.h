// LayoutRandom: the small linear congruential generator the particle rain's
// layout is drawn from. Its sequence is fixed (state * 214013 + 2531011,
// bits 16..30 returned), so the layout is identical on every run and platform.
#pragma once

#include <cstdint>

class LayoutRandom final {
public:
    void Seed(uint32_t seed) { state = seed; }
    // The next draw, 0..32767.
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }

private:
    uint32_t state = 0;
};

// Three consecutive draws; a "random vector" takes x from d3, y from d2, z from d1.
struct Draw3 {
    int d1 = 0;
    int d2 = 0;
    int d3 = 0;
};

inline Draw3 NextDraw3(LayoutRandom& random) {
    Draw3 d;
    d.d1 = random.Next();
    d.d2 = random.Next();
    d.d3 = random.Next();
    return d;
}
