// Dsp: the small signal-processing kit the songmaker is built from: a seeded
// noise source, band-limited oscillators, a state-variable filter, a stereo
// reverb and a ping-pong delay. Single precision, no allocation per sample.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace dsp {

constexpr float kPi = 3.14159265358979f;

inline float MidiToHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// Equal-power pan: pan -1 (left) .. +1 (right).
inline void PanGains(float pan, float& left, float& right) {
    const float a = (pan + 1.0f) * 0.25f * kPi;
    left = std::cos(a);
    right = std::sin(a);
}

// xorshift32: fast, seedable, identical on every platform.
class Rng {
public:
    explicit Rng(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) {
        if (state == 0) state = 1;
        for (int i = 0; i < 4; ++i) Next();
    }
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [-1, 1).
    float Bipolar() { return (Next() >> 8) * (2.0f / 16777216.0f) - 1.0f; }
    // Uniform in [0, 1).
    float Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); }

private:
    uint32_t state;
};

// Correction that removes most aliasing from a hard step in a naive waveform.
inline float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

struct Oscillator {
    float phase = 0;  // 0..1
    float Saw(float dt) {
        const float v = 2.0f * phase - 1.0f - PolyBlep(phase, dt);
        Advance(dt);
        return v;
    }
    float Square(float dt) {
        float v = phase < 0.5f ? 1.0f : -1.0f;
        v += PolyBlep(phase, dt);
        float shifted = phase + 0.5f;
        if (shifted >= 1.0f) shifted -= 1.0f;
        v -= PolyBlep(shifted, dt);
        Advance(dt);
        return v;
    }
    float Sine(float dt) {
        const float v = std::sin(2.0f * kPi * phase);
        Advance(dt);
        return v;
    }
    void Advance(float dt) {
        phase += dt;
        if (phase >= 1.0f) phase -= 1.0f;
    }
};

// Topology-preserving state-variable filter; stable under fast cutoff changes.
class Svf {
public:
    // cutoff in Hz, resonance 0..~0.95.
    void Set(float cutoff, float resonance, float sampleRate) {
        const float nyquistSafe = 0.49f * sampleRate;
        if (cutoff > nyquistSafe) cutoff = nyquistSafe;
        if (cutoff < 10.0f) cutoff = 10.0f;
        g = std::tan(kPi * cutoff / sampleRate);
        k = 2.0f - 2.0f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void Process(float in) {
        const float v3 = in - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        low = v2;
        band = v1;
        high = in - k * v1 - v2;
    }
    float low = 0, band = 0, high = 0;

private:
    float g = 0, k = 2, a1 = 0, a2 = 0, a3 = 0;
    float ic1 = 0, ic2 = 0;
};

// Schroeder-style stereo reverb: eight damped combs and four allpasses per side.
class Reverb {
public:
    Reverb(float sampleRate, float roomSize, float damping) {
        static const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int allpasses[4] = {556, 441, 341, 225};
        const float scale = sampleRate / 44100.0f;
        for (int side = 0; side < 2; ++side) {
            const int spread = side ? 23 : 0;
            for (int i = 0; i < 8; ++i) comb[side][i].Resize(int((combs[i] + spread) * scale));
            for (int i = 0; i < 4; ++i) allpass[side][i].Resize(int((allpasses[i] + spread) * scale));
        }
        feedback = roomSize;
        damp = damping;
    }
    void Process(float in, float& outLeft, float& outRight) {
        float out[2] = {0, 0};
        for (int side = 0; side < 2; ++side) {
            for (Comb& c : comb[side]) out[side] += c.Process(in, feedback, damp);
            for (Allpass& a : allpass[side]) out[side] = a.Process(out[side]);
        }
        outLeft = out[0];
        outRight = out[1];
    }

private:
    struct Comb {
        std::vector<float> line;
        int pos = 0;
        float store = 0;
        void Resize(int n) { line.assign(n, 0.0f); }
        float Process(float in, float fb, float dmp) {
            const float out = line[pos];
            store = out * (1.0f - dmp) + store * dmp;
            line[pos] = in + store * fb;
            if (++pos == int(line.size())) pos = 0;
            return out;
        }
    };
    struct Allpass {
        std::vector<float> line;
        int pos = 0;
        void Resize(int n) { line.assign(n, 0.0f); }
        float Process(float in) {
            const float delayed = line[pos];
            const float out = delayed - in;
            line[pos] = in + delayed * 0.5f;
            if (++pos == int(line.size())) pos = 0;
            return out;
        }
    };
    Comb comb[2][8];
    Allpass allpass[2][4];
    float feedback = 0.8f, damp = 0.3f;
};

// Ping-pong delay: a mono input bouncing between the sides, darkened each pass.
class PingPong {
public:
    PingPong(int delaySamples, float feedbackGain, float dampCutoff, float sampleRate)
        : left(delaySamples, 0.0f), right(delaySamples, 0.0f), feedback(feedbackGain) {
        tone = 1.0f - std::exp(-2.0f * kPi * dampCutoff / sampleRate);
    }
    void Process(float in, float& outLeft, float& outRight) {
        const float l = left[pos];
        const float r = right[pos];
        lowL += tone * (l - lowL);
        lowR += tone * (r - lowR);
        left[pos] = in + lowR * feedback;
        right[pos] = lowL * feedback;
        if (++pos == int(left.size())) pos = 0;
        outLeft = l;
        outRight = r;
    }

private:
    std::vector<float> left, right;
    int pos = 0;
    float feedback;
    float tone;
    float lowL = 0, lowR = 0;
};

}  // namespace dsp
