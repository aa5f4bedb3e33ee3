// Song synthesis: drum machine, bass, pads, plucks, lead and chord stabs in
// A minor, mixed with sidechain ducking, a ping-pong delay and a reverb.
// Each note is rendered on its own into shared buses; every random value comes
// from a generator seeded by the song seed and the note's beat, so a render
// does not depend on the order notes are written in.
#include "Song.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Dsp.h"

const double kHitOffsets[36] = {0,   0.5, 0.75, 1,   1.5, 2,   2.5,  3,  3.5, 4,    4.5,  4.75,
                                5,   5.5, 6,    6.5, 7,   7.5, 8,    8.5, 8.75, 9,  9.5,  10,
                                10.5, 11, 11.5, 12,  12.5, 12.75, 13, 13.5, 14, 14.5, 15, 15.5};

namespace {

using dsp::Oscillator;
using dsp::Rng;
using dsp::Svf;

enum class Role { Intro, Groove, Build, Drop, Theme2, Climax, Outro };

Role RoleOf(const std::string& name) {
    if (name == "intro") return Role::Intro;
    if (name == "build") return Role::Build;
    if (name == "drop") return Role::Drop;
    if (name == "theme2") return Role::Theme2;
    if (name == "climax") return Role::Climax;
    if (name == "outro") return Role::Outro;
    return Role::Groove;
}

struct Chord {
    int bass;     // MIDI note of the bass root
    int pad[5];   // pad voicing, low to high
    int arp[4];   // chord tones for the arpeggios
};

// i - VI - III - VII: Am7, Fmaj7, C, G.
const Chord kMain[4] = {
    {33, {45, 55, 60, 64, 67}, {69, 72, 76, 79}},
    {29, {41, 53, 57, 60, 64}, {65, 69, 72, 76}},
    {36, {48, 55, 60, 64, 67}, {67, 72, 76, 79}},
    {31, {43, 55, 59, 62, 67}, {67, 71, 74, 79}},
};

// Second theme: Fmaj7, G6, Em7, Am7.
const Chord kTheme[4] = {
    {29, {41, 53, 57, 60, 64}, {65, 69, 72, 76}},
    {31, {43, 55, 59, 62, 64}, {67, 71, 74, 79}},
    {28, {40, 55, 59, 62, 64}, {64, 67, 71, 74}},
    {33, {45, 55, 60, 64, 67}, {69, 72, 76, 79}},
};

// The hook: one pitch per hit in each bar (hits at 0, .5, .75, 1, 1.5, 2, 2.5, 3, 3.5).
const int kRiff[4][9] = {
    {81, 76, 79, 81, 76, 84, 83, 81, 76},
    {81, 77, 79, 81, 77, 84, 84, 81, 77},
    {79, 76, 77, 79, 76, 84, 83, 79, 76},
    {79, 74, 76, 79, 74, 83, 81, 79, 74},
};
const double kBarHits[9] = {0, 0.5, 0.75, 1, 1.5, 2, 2.5, 3, 3.5};

struct Note {
    double at;   // beat within the bar
    int pitch;
    double length;
};

// Second theme melody, one bar per chord of kTheme.
const std::vector<Note> kThemeMelody[4] = {
    {{0, 81, 1.5}, {1.5, 79, 0.5}, {2, 81, 1}, {3, 84, 1}},
    {{0, 83, 1.5}, {1.5, 81, 0.5}, {2, 79, 1}, {3, 74, 1}},
    {{0, 76, 1.5}, {1.5, 79, 0.5}, {2, 83, 1}, {3, 81, 0.5}, {3.5, 79, 0.5}},
    {{0, 81, 3}, {3, 76, 0.5}, {3.5, 79, 0.5}},
};

// Three detuned saws on one note, each with its own start phase and pan,
// summed into a stereo pair: the voice of the pads and the stabs.
struct SawTrio {
    SawTrio(Rng rng, int note, const float (&detune)[3], const float (&pans)[3], float sr) {
        for (int v = 0; v < 3; ++v) {
            osc[v].phase = rng.Unit();
            dt[v] = dsp::MidiToHz(note + detune[v]) / sr;
            dsp::PanGains(pans[v], gl[v], gr[v]);
        }
    }
    // The next left and right samples.
    void Next(float& l, float& r) {
        l = 0;
        r = 0;
        for (int v = 0; v < 3; ++v) {
            const float s = osc[v].Saw(dt[v]);
            l += s * gl[v];
            r += s * gr[v];
        }
    }

    Oscillator osc[3];
    float dt[3], gl[3], gr[3];
};

// Buses and instruments. Beats are absolute song beats; the studio maps them
// onto its own window of samples.
class Studio {
public:
    Studio(const SongOptions& options, double firstBeat, long long frameCount)
        : sr(float(options.sampleRate)),
          samplesPerBeat(options.sampleRate * 60.0 / options.bpm),
          seed(options.seed),
          first(firstBeat),
          frames(frameCount),
          dryL(frameCount), dryR(frameCount), duckL(frameCount), duckR(frameCount),
          rev(frameCount), dly(frameCount) {}

    long long SampleOf(double beat) const { return std::llround((beat - first) * samplesPerBeat); }
    double Seconds(double beats) const { return beats * samplesPerBeat / sr; }

    // A generator private to one note.
    Rng NoteRng(double beat, uint32_t instrument) const {
        return Rng(seed * 7919u + uint32_t(std::llround(beat * 64.0)) * 2654435761u + instrument * 40503u);
    }

    // Whether a note starting at this beat and lasting this many seconds reaches the window.
    bool Audible(long long start, float seconds) const {
        return start < frames && start + static_cast<long long>(seconds * sr) >= 0;
    }

    void Put(bool duck, long long i, float s, float gl, float gr, float revSend, float dlySend) {
        if (i < 0 || i >= frames) return;
        if (duck) {
            duckL[i] += s * gl;
            duckR[i] += s * gr;
        } else {
            dryL[i] += s * gl;
            dryR[i] += s * gr;
        }
        rev[i] += s * revSend;
        dly[i] += s * dlySend;
    }

    void Kick(double beat, float vel) {
        kicks.push_back(beat);
        const long long s0 = SampleOf(beat);
        const float len = 0.42f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, 1);
        Oscillator osc;
        Svf click;
        click.Set(3000, 0.1f, sr);
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            const float f = 46.0f + 160.0f * std::exp(-t * 38.0f) + 30.0f * std::exp(-t * 9.0f);
            const float attack = std::min(1.0f, t / 0.0015f);
            float body = osc.Sine(f / sr) * attack * std::exp(-t * 7.5f);
            click.Process(rng.Bipolar());
            body += click.low * std::exp(-t * 450.0f) * 0.6f;
            const float fadeTail = std::min(1.0f, (len - t) / 0.03f);
            Put(false, s0 + i, std::tanh(1.6f * body) * vel * 0.64f * fadeTail, 0.707f, 0.707f, 0.0f, 0.0f);
        }
    }

    void Clap(double beat, float vel) {
        const long long s0 = SampleOf(beat);
        const float len = 0.35f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, 2);
        Svf band;
        band.Set(1400, 0.35f, sr);
        Oscillator body;
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            float env = 0;
            for (int k = 0; k < 3; ++k) {
                const float tk = t - k * 0.0085f;
                if (tk >= 0) env = std::max(env, std::exp(-tk * 190.0f));
            }
            if (t > 0.017f) env = std::max(env, 0.55f * std::exp(-(t - 0.017f) * 20.0f));
            band.Process(rng.Bipolar());
            float s = band.band * env * 1.6f + body.Sine(190.0f / sr) * std::exp(-t * 38.0f) * 0.35f;
            s *= std::min(1.0f, (len - t) / 0.02f);
            Put(false, s0 + i, s * vel * 0.42f, 0.72f, 0.69f, 0.28f, 0.0f);
        }
    }

    // A tuned snare for rolls: pitch rises with `lift` (0..1).
    void Snare(double beat, float vel, float lift) {
        const long long s0 = SampleOf(beat);
        const float len = 0.22f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, 3);
        Svf tone;
        tone.Set(2500 + 3000 * lift, 0.2f, sr);
        Oscillator body;
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            tone.Process(rng.Bipolar());
            float s = (tone.band * 1.3f + tone.high * 0.4f) * std::exp(-t * 24.0f);
            s += body.Sine((200.0f + 140.0f * lift) / sr) * std::exp(-t * 30.0f) * 0.5f;
            s *= std::min(1.0f, t / 0.0008f) * std::min(1.0f, (len - t) / 0.02f);
            Put(false, s0 + i, s * vel * 0.42f, 0.69f, 0.72f, 0.25f, 0.0f);
        }
    }

    void Hat(double beat, float vel, bool open) {
        const long long s0 = SampleOf(beat);
        const float len = open ? 0.32f : 0.07f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, open ? 5 : 4);
        static const float ratios[6] = {2.0f, 3.0f, 4.16f, 5.43f, 6.79f, 8.21f};
        Oscillator metal[6];
        Svf hp;
        hp.Set(7500, 0.15f, sr);
        const float decay = open ? 15.0f : 75.0f;
        float gl, gr;
        dsp::PanGains(open ? -0.25f : 0.3f, gl, gr);
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            float m = 0;
            for (int k = 0; k < 6; ++k) m += metal[k].Square(ratios[k] * 180.0f / sr);
            hp.Process(m * 0.12f + rng.Bipolar() * 0.7f);
            float s = hp.high * std::exp(-t * decay) * std::min(1.0f, t / 0.0005f);
            s *= std::min(1.0f, (len - t) / 0.01f);
            Put(false, s0 + i, s * vel * (open ? 0.15f : 0.2f), gl, gr, 0.08f, 0.0f);
        }
    }

    void Crash(double beat, float vel) {
        const long long s0 = SampleOf(beat);
        const float len = 2.4f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, 6);
        Oscillator metal[4];
        static const float freqs[4] = {387.0f, 571.0f, 844.0f, 1233.0f};
        Svf hp;
        hp.Set(4200, 0.1f, sr);
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            float m = 0;
            for (int k = 0; k < 4; ++k) m += metal[k].Square(freqs[k] / sr);
            hp.Process(rng.Bipolar() + m * 0.15f);
            float s = hp.high * (std::exp(-t * 2.6f) * 0.6f + std::exp(-t * 16.0f) * 0.5f);
            s *= std::min(1.0f, t / 0.0008f) * std::min(1.0f, (len - t) / 0.3f);
            Put(false, s0 + i, s * vel * 0.1f, 0.66f, 0.75f, 0.3f, 0.0f);
        }
    }

    // A deep falling boom with a dark noise burst, marking the start of a big section.
    void Impact(double beat, float vel) {
        const long long s0 = SampleOf(beat);
        const float len = 2.2f;
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(beat, 8);
        Oscillator osc;
        Svf lp;
        lp.Set(700.0f, 0.1f, sr);
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            const float f = 32.0f + 70.0f * std::exp(-t * 5.0f);
            lp.Process(rng.Bipolar());
            float s = osc.Sine(f / sr) * std::exp(-t * 2.6f) + lp.low * std::exp(-t * 7.0f) * 0.8f;
            s *= std::min(1.0f, t / 0.002f) * std::min(1.0f, (len - t) / 0.2f);
            Put(false, s0 + i, s * vel * 0.3f, 0.707f, 0.707f, 0.15f, 0.0f);
        }
    }

    // Filtered noise sweeping upwards from one beat to another.
    void Riser(double fromBeat, double toBeat, float vel) {
        const long long s0 = SampleOf(fromBeat);
        const float len = float(Seconds(toBeat - fromBeat));
        if (!Audible(s0, len)) return;
        Rng rng = NoteRng(fromBeat, 7);
        Svf band;
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float x = float(i) / n;
            if ((i & 15) == 0) band.Set(250.0f * std::pow(36.0f, x), 0.8f, sr);
            band.Process(rng.Bipolar());
            const float s = band.band * x * x * std::min(1.0f, (n - i) / (0.004f * sr));
            const float pan = 0.5f * std::sin(x * 18.0f);
            float gl, gr;
            dsp::PanGains(pan, gl, gr);
            Put(false, s0 + i, s * vel * 0.45f, gl, gr, 0.35f, 0.0f);
        }
    }

    void Bass(double beat, double lengthBeats, int note, float vel) {
        const long long s0 = SampleOf(beat);
        const float len = float(Seconds(lengthBeats)) + 0.02f;
        if (!Audible(s0, len)) return;
        const float f = dsp::MidiToHz(float(note));
        Oscillator saw, sub;
        Svf lp;
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            if ((i & 7) == 0) lp.Set(170.0f + 1500.0f * vel * std::exp(-t * 16.0f), 0.3f, sr);
            lp.Process(saw.Saw(f / sr));
            float s = lp.low + 0.55f * sub.Sine(f / sr);
            s = std::tanh(1.4f * s);
            s *= std::min(1.0f, t / 0.003f) * std::min(1.0f, (len - t) / 0.02f);
            Put(true, s0 + i, s * vel * 0.36f, 0.707f, 0.707f, 0.0f, 0.0f);
        }
    }

    // Three detuned saws per note, spread across the stereo field.
    void Pad(double beat, double lengthBeats, const int* notes, int count, float vel, float cutoff,
             float attack, float release) {
        const long long s0 = SampleOf(beat);
        const float hold = float(Seconds(lengthBeats));
        const float len = hold + release;
        if (!Audible(s0, len)) return;
        const int n = int(len * sr);
        static const float detune[3] = {-0.11f, 0.0f, 0.12f};
        static const float pans[3] = {-0.9f, 0.0f, 0.9f};
        for (int k = 0; k < count; ++k) {
            SawTrio voice(NoteRng(beat, 100 + k), notes[k], detune, pans, sr);
            // Low notes are kept quieter and narrower so the bass stays clear.
            const float level = notes[k] < 50 ? 0.5f : 1.0f;
            Svf lpL, lpR;
            for (int i = 0; i < n; ++i) {
                const float t = i / sr;
                if ((i & 15) == 0) {
                    const float c = cutoff * (1.0f + 0.15f * std::sin(t * 1.7f + k));
                    lpL.Set(c, 0.15f, sr);
                    lpR.Set(c, 0.15f, sr);
                }
                float l, r;
                voice.Next(l, r);
                lpL.Process(l);
                lpR.Process(r);
                float env = std::min(1.0f, t / attack);
                if (t > hold) env *= std::max(0.0f, 1.0f - (t - hold) / release);
                const float g = env * vel * level * 0.045f;
                Put(true, s0 + i, lpL.low * g, 1.0f, 0.0f, 0.0f, 0.0f);
                Put(true, s0 + i, lpR.low * g, 0.0f, 1.0f, 0.3f, 0.0f);
            }
        }
    }

    // A short bright supersaw chord with a sharp attack.
    void Stab(double beat, const int* notes, int count, float vel) {
        const long long s0 = SampleOf(beat);
        const float len = 0.3f;
        if (!Audible(s0, len)) return;
        const int n = int(len * sr);
        static const float detune[3] = {-0.14f, 0.0f, 0.13f};
        static const float pans[3] = {-0.8f, 0.0f, 0.8f};
        for (int k = 0; k < count; ++k) {
            SawTrio voice(NoteRng(beat, 200 + k), notes[k], detune, pans, sr);
            Svf lpL, lpR;
            for (int i = 0; i < n; ++i) {
                const float t = i / sr;
                if ((i & 7) == 0) {
                    const float c = 500.0f + 5200.0f * std::exp(-t * 16.0f);
                    lpL.Set(c, 0.2f, sr);
                    lpR.Set(c, 0.2f, sr);
                }
                float l, r;
                voice.Next(l, r);
                lpL.Process(l);
                lpR.Process(r);
                const float env = std::min(1.0f, t / 0.001f) * std::exp(-t * 10.0f) *
                                  std::min(1.0f, (len - t) / 0.02f);
                const float g = env * vel * 0.07f;
                Put(false, s0 + i, lpL.low * g, 1.0f, 0.0f, 0.1f, 0.05f);
                Put(false, s0 + i, lpR.low * g, 0.0f, 1.0f, 0.1f, 0.05f);
            }
        }
    }

    void Pluck(double beat, int note, float vel, float pan, float bright) {
        const long long s0 = SampleOf(beat);
        const float len = 0.7f;
        if (!Audible(s0, len)) return;
        const float f = dsp::MidiToHz(float(note));
        Oscillator a, b;
        Svf lp;
        float gl, gr;
        dsp::PanGains(pan, gl, gr);
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            if ((i & 7) == 0) lp.Set(350.0f + 5000.0f * bright * std::exp(-t * 22.0f), 0.25f, sr);
            lp.Process(0.6f * a.Saw(f / sr) + 0.4f * b.Square(f * 1.003f / sr));
            const float env = std::min(1.0f, t / 0.001f) * std::exp(-t * 6.0f) *
                              std::min(1.0f, (len - t) / 0.05f);
            Put(true, s0 + i, lp.low * env * vel * 0.16f, gl, gr, 0.2f, 0.3f);
        }
    }

    // The echo send is kept low for busy riffs so the delay does not smear them.
    void Lead(double beat, double lengthBeats, int note, float vel, float bright, bool duck = false,
              float echo = 0.22f) {
        const long long s0 = SampleOf(beat);
        const float hold = float(Seconds(lengthBeats));
        const float release = 0.07f;
        const float len = hold + release;
        if (!Audible(s0, len)) return;
        const float f = dsp::MidiToHz(float(note));
        Oscillator a, b, c, lfo;
        b.phase = 0.37f;
        Svf lp;
        const int n = int(len * sr);
        for (int i = 0; i < n; ++i) {
            const float t = i / sr;
            const float vib = t > 0.25f ? 0.12f * std::min(1.0f, (t - 0.25f) * 3.0f) * lfo.Sine(5.5f / sr) : 0.0f;
            const float fv = f * std::pow(2.0f, vib / 12.0f);
            if ((i & 7) == 0)
                lp.Set(700.0f + bright * (1400.0f + 6000.0f * std::exp(-t * 16.0f)), 0.22f, sr);
            const float s = 0.5f * a.Saw(fv * 0.9954f / sr) + 0.5f * b.Saw(fv * 1.0046f / sr) +
                            0.3f * c.Square(fv * 0.5f / sr);
            lp.Process(s);
            float env = std::min(1.0f, t / 0.0012f);
            env *= 0.6f + 0.4f * std::exp(-t * 16.0f);
            if (t > hold) env *= std::max(0.0f, 1.0f - (t - hold) / release);
            Put(duck, s0 + i, lp.low * env * vel * 0.2f, 0.707f, 0.707f, 0.22f, echo);
        }
    }

    // Sums the buses: ducking after each kick, delay and reverb returns, a
    // high-pass against DC and a soft limiter. Returns interleaved stereo.
    std::vector<float> Mixdown(double fadeFromBeat, double fadeToBeat) {
        std::sort(kicks.begin(), kicks.end());
        dsp::Reverb reverb(sr, 0.83f, 0.35f);
        dsp::PingPong delay(int(std::lround(samplesPerBeat * 0.75)), 0.38f, 3500.0f, sr);
        Svf revHp;
        revHp.Set(220.0f, 0.0f, sr);
        Svf dcL, dcR;
        dcL.Set(22.0f, 0.0f, sr);
        dcR.Set(22.0f, 0.0f, sr);
        std::vector<float> out(size_t(frames) * 2);
        size_t nextKick = 0;
        double lastKickSample = -1e12;
        const long long fadeFrom = SampleOf(fadeFromBeat);
        const long long fadeTo = SampleOf(fadeToBeat);
        for (long long i = 0; i < frames; ++i) {
            while (nextKick < kicks.size() && SampleOf(kicks[nextKick]) <= i)
                lastKickSample = double(SampleOf(kicks[nextKick++]));
            const float since = float((i - lastKickSample) / sr);
            float duck = 1.0f;
            if (since < 0.4f) {
                const float dip = since < 0.005f ? since / 0.005f : std::exp(-(since - 0.005f) / 0.085f);
                duck = 1.0f - 0.55f * dip;
            }
            revHp.Process(rev[i]);
            float wl, wr;
            reverb.Process(revHp.high * 0.03f, wl, wr);
            float el, er;
            delay.Process(dly[i], el, er);
            float l = dryL[i] + duckL[i] * duck + wl + el * 0.5f;
            float r = dryR[i] + duckR[i] * duck + wr + er * 0.5f;
            dcL.Process(l);
            dcR.Process(r);
            l = dcL.high;
            r = dcR.high;
            float gain = 1.0f;
            if (i >= fadeTo) {
                gain = 0.0f;
            } else if (i > fadeFrom) {
                const float x = float(i - fadeFrom) / float(fadeTo - fadeFrom);
                gain = 0.5f + 0.5f * std::cos(x * dsp::kPi);
            }
            out[2 * i] = SoftLimit(l * gain);
            out[2 * i + 1] = SoftLimit(r * gain);
        }
        return out;
    }

private:
    static float SoftLimit(float x) {
        const float a = std::fabs(x);
        if (a <= 0.8f) return x;
        const float y = 0.8f + 0.15f * std::tanh((a - 0.8f) / 0.15f);
        return x < 0 ? -y : y;
    }

    float sr;
    double samplesPerBeat;
    uint32_t seed;
    double first;
    long long frames;
    std::vector<float> dryL, dryR, duckL, duckR, rev, dly;
    std::vector<double> kicks;
};

// Small deterministic velocity variation, 1 +/- amount.
float Humanize(Rng& rng, float amount) { return 1.0f + amount * rng.Bipolar(); }

// Four-on-the-floor bar with claps on 2 and 4 and hats; `hatLevel` 0 leaves hats out.
void DrumBar(Studio& st, Rng& rng, double bar, float kickVel, bool claps, float hatLevel, bool sixteenths) {
    for (int b = 0; b < 4; ++b) {
        if (kickVel > 0) st.Kick(bar + b, kickVel * Humanize(rng, 0.03f));
        if (claps && (b == 1 || b == 3)) st.Clap(bar + b, 0.95f * Humanize(rng, 0.05f));
        if (hatLevel > 0) {
            st.Hat(bar + b + 0.5, hatLevel * Humanize(rng, 0.08f), true);
            if (sixteenths) {
                st.Hat(bar + b + 0.25, hatLevel * 0.45f * Humanize(rng, 0.15f), false);
                st.Hat(bar + b + 0.75, hatLevel * 0.55f * Humanize(rng, 0.15f), false);
            }
        }
    }
}

// Up-and-down arpeggio in sixteenths or eighths through the chord's tones.
void ArpBar(Studio& st, double bar, const Chord& chord, double step, float vel, float bright, int octave) {
    static const int order[8] = {0, 1, 2, 3, 2, 1, 2, 3};
    int k = 0;
    for (double t = 0; t < 4.0 - 1e-9; t += step, ++k) {
        const int note = chord.arp[order[k % 8]] + 12 * octave;
        const float accent = (k % 4 == 0) ? 1.0f : 0.8f;
        st.Pluck(bar + t, note, vel * accent, (k % 2) ? 0.45f : -0.45f, bright);
    }
}

// The hook on the hit rhythm, with chord stabs on its syncopated accents.
void RiffBar(Studio& st, double bar, int chordIndex, const Chord& chord, float vel, int octave, bool stabs) {
    for (int h = 0; h < 9; ++h) {
        const double next = h + 1 < 9 ? kBarHits[h + 1] : 4.0;
        const double gap = next - kBarHits[h];
        const float accent = (h == 0 || h == 2 || h == 4 || h == 6 || h == 8) ? 1.0f : 0.82f;
        st.Lead(bar + kBarHits[h], gap * 0.8, kRiff[chordIndex][h] + 12 * octave, vel * accent, 1.0f, false, 0.08f);
        if (stabs && accent == 1.0f) st.Stab(bar + kBarHits[h], chord.pad + 1, 4, vel);
    }
}

void RollingBass(Studio& st, double bar, const Chord& chord, float vel) {
    for (int b = 0; b < 4; ++b)
        for (int s = 1; s < 4; ++s)
            st.Bass(bar + b + s * 0.25, 0.2, chord.bass + ((s == 3 && b == 3) ? 12 : 0), vel * (s == 2 ? 1.0f : 0.85f));
}

void OffbeatBass(Studio& st, double bar, const Chord& chord, float vel) {
    for (int b = 0; b < 4; ++b) st.Bass(bar + b + 0.5, 0.4, chord.bass, vel);
}

void Arrange(Studio& st, const SongForm& form, uint32_t seed, double windowStart, double windowEnd) {
    const double bassIn = form.CueBeat("bass_in", 32);
    const double rollStart = form.CueBeat("snare_roll", 64);
    const double riserPeak = form.CueBeat("riser_peak", 78);
    const double themeLift = form.CueBeat("theme2_lift", 160);
    const double climaxPeak = form.CueBeat("climax_peak", 208);
    const double lastNote = form.CueBeat("last_note", form.EndBeat() - 16);

    for (const SongSection& section : form.sections) {
        const Role role = RoleOf(section.name);
        const double span = section.end - section.start;
        for (double bar = section.start; bar < section.end; bar += 4) {
            // Notes from far outside the rendered window cannot reach it.
            if (bar + 12 < windowStart || bar >= windowEnd) continue;
            // One generator per bar, so a partial render matches the whole song.
            Rng rng(seed * 31u + uint32_t(bar));
            const int barIndex = int((bar - section.start) / 4);
            const float progress = float((bar - section.start) / span);
            const int ci = barIndex % 4;
            const Chord& main = kMain[ci];
            switch (role) {
            case Role::Intro: {
                st.Pad(bar, 4, main.pad, 5, 0.8f, 500.0f + 1400.0f * progress, barIndex == 0 ? 1.5f : 0.3f, 0.6f);
                for (int e = 0; e < 8; ++e)
                    if (e % 3 != 2)
                        st.Pluck(bar + e * 0.5, main.arp[(e * 3) % 4] + 12, 0.75f + 0.2f * progress,
                                 (e % 2) ? 0.5f : -0.5f, 0.25f + 0.3f * progress);
                if (bar + 4 >= section.end) st.Riser(bar, section.end, 0.35f);
                break;
            }
            case Role::Groove: {
                if (bar == section.start) st.Crash(bar, 0.8f);
                const bool bass = bar >= bassIn;
                DrumBar(st, rng, bar, 1.0f, bass, 0.8f, bass);
                if (bass) OffbeatBass(st, bar, main, 0.9f);
                st.Pad(bar, 4, main.pad, 5, 0.7f, 1500.0f, 0.2f, 0.5f);
                ArpBar(st, bar, main, 0.5, 0.55f, 0.45f, 0);
                if (bar >= bassIn + 8) {
                    // The hook, hinted: its first notes on the same syncopation.
                    static const int picks[5] = {0, 2, 4, 6, 7};
                    for (int p : picks) st.Pluck(bar + kBarHits[p], kRiff[ci][p], 0.7f, 0.0f, 0.8f);
                }
                break;
            }
            case Role::Build: {
                if (bar == section.start) st.Crash(bar, 0.8f);
                const bool rolling = bar >= rollStart;
                const bool kicks = bar + 4 <= riserPeak - 2 + 1e-9;
                DrumBar(st, rng, bar, kicks ? 1.0f : 0.0f, !rolling, 0.7f + 0.3f * progress, true);
                if (kicks) {
                    if (rolling) RollingBass(st, bar, main, 0.85f);
                    else OffbeatBass(st, bar, main, 0.9f);
                }
                st.Pad(bar, 4, main.pad, 5, 0.75f, 1200.0f + 5000.0f * progress * progress, 0.2f, 0.5f);
                ArpBar(st, bar, main, 0.25, 0.45f + 0.25f * progress, 0.3f + 0.7f * progress, 0);
                if (rolling) {
                    const double rollEnd = section.end - 0.5;
                    const double into = bar - rollStart;
                    const double step = into < 4 ? 1.0 : into < 8 ? 0.5 : 0.25;
                    for (double t = bar; t < bar + 4 && t < rollEnd; t += step) {
                        const float x = float((t - rollStart) / (rollEnd - rollStart));
                        st.Snare(t, 0.35f + 0.65f * x, x);
                    }
                    // The riser stops with the roll: half a beat of breath before the drop.
                    if (bar == rollStart) st.Riser(rollStart, rollEnd, 0.8f);
                }
                break;
            }
            case Role::Drop: {
                const bool windowStartBar = std::fmod(bar - section.start, 16.0) == 0;
                if (windowStartBar) st.Crash(bar, 1.0f);
                if (bar == section.start) st.Impact(bar, 1.0f);
                if (windowStartBar) {
                    // Snare pickups on the hook's "and-a", heard through the crash.
                    st.Snare(bar + 0.5, 0.55f, 0.6f);
                    st.Snare(bar + 0.75, 0.7f, 0.7f);
                }
                DrumBar(st, rng, bar, bar == section.start ? 1.15f : 1.0f, true, 0.85f, true);
                RollingBass(st, bar, main, 0.95f);
                st.Pad(bar, 4, main.pad, 5, 0.45f, 2600.0f, 0.05f, 0.4f);
                RiffBar(st, bar, ci, main, 1.0f, 0, true);
                // The last pass of the hook gains a bell-like octave above.
                if (bar - section.start >= 32)
                    for (int h = 0; h < 9; ++h) st.Pluck(bar + kBarHits[h], kRiff[ci][h] + 12, 0.45f, 0.0f, 0.9f);
                break;
            }
            case Role::Theme2: {
                const Chord& chord = kTheme[ci];
                const bool lifted = bar >= themeLift;
                if (bar == section.start || bar == themeLift) st.Crash(bar, 0.9f);
                if (bar == section.start) st.Impact(bar, 0.8f);
                if (lifted) {
                    DrumBar(st, rng, bar, 1.0f, true, 0.8f, true);
                    RollingBass(st, bar, chord, 0.9f);
                } else {
                    // Half-time: kick on 1 and 3, a clap on 3, busy hats.
                    st.Kick(bar, 1.0f);
                    st.Kick(bar + 2, 0.95f);
                    st.Kick(bar + 3.5, 0.6f);
                    st.Clap(bar + 2, 1.0f);
                    for (int s = 0; s < 16; ++s)
                        if (s % 4 != 0) st.Hat(bar + s * 0.25, (s % 2 ? 0.35f : 0.6f) * Humanize(rng, 0.1f), s % 4 == 2);
                    for (int b = 0; b < 4; ++b) {
                        st.Bass(bar + b + 0.5, 0.4, chord.bass, 0.85f);
                        st.Bass(bar + b + 0.75, 0.2, chord.bass + 12, 0.6f);
                    }
                }
                st.Pad(bar, 4, chord.pad, 5, 0.7f, 2400.0f, 0.15f, 0.5f);
                ArpBar(st, bar, chord, 0.25, 0.5f, 0.6f, 0);
                for (const Note& n : kThemeMelody[ci]) {
                    st.Lead(bar + n.at, n.length * 0.92, n.pitch, 0.85f, 0.55f, true, 0.3f);
                    if (lifted) st.Lead(bar + n.at, n.length * 0.92, n.pitch + 12, 0.35f, 0.4f, true);
                }
                break;
            }
            case Role::Climax: {
                if (std::fmod(bar - section.start, 16.0) == 0) st.Crash(bar, 1.0f);
                if (bar == section.start) st.Impact(bar, 0.9f);
                const bool peak = bar >= climaxPeak;
                const bool lastBar = bar + 4 >= section.end;
                DrumBar(st, rng, bar, 1.0f, !lastBar, 0.9f, true);
                if (lastBar)
                    for (int s = 0; s < 16; ++s) st.Snare(bar + s * 0.25, 0.4f + 0.5f * s / 15.0f, s / 15.0f);
                RollingBass(st, bar, main, 1.0f);
                st.Pad(bar, 4, main.pad, 5, 0.6f, 3200.0f, 0.05f, 0.4f);
                RiffBar(st, bar, ci, main, 0.95f, 0, true);
                if (peak) ArpBar(st, bar, main, 0.25, 0.4f, 0.9f, 1);
                else ArpBar(st, bar, main, 0.5, 0.4f, 0.7f, 0);
                // A long counter-line above the hook, on chord tones: E, C, E, D.
                static const int top[4] = {88, 84, 88, 86};
                st.Lead(bar, 3.8, top[ci], peak ? 0.45f : 0.3f, 0.35f, true);
                if (peak) st.Lead(bar, 3.8, top[ci] - 12, 0.25f, 0.3f, true);
                break;
            }
            case Role::Outro: {
                const float fade = 1.0f - progress;
                if (bar == section.start) st.Crash(bar, 0.7f);
                if (bar < lastNote) {
                    const bool drums = bar < section.start + 8;
                    if (drums) DrumBar(st, rng, bar, 0.9f * fade, false, 0.6f * fade, false);
                    st.Pad(bar, 4, kTheme[ci].pad, 5, 0.7f * fade + 0.2f, 2200.0f * fade + 500.0f, 0.1f, 0.6f);
                    ArpBar(st, bar, kTheme[ci], 0.5, 0.45f * fade + 0.1f, 0.5f * fade + 0.1f, 0);
                    for (const Note& n : kThemeMelody[ci])
                        st.Lead(bar + n.at, n.length * 0.92, n.pitch, 0.6f * fade, 0.3f, true);
                } else if (bar == std::floor(lastNote / 4) * 4) {
                    // The last chord: A minor, ringing out.
                    const double at = lastNote;
                    st.Pad(at, 4, kMain[0].pad, 5, 0.75f, 1400.0f, 0.01f, 3.5f);
                    st.Bass(at, 6, kMain[0].bass, 0.7f);
                    st.Pluck(at, 81, 0.7f, 0.0f, 0.5f);
                    st.Pluck(at, 69, 0.6f, -0.3f, 0.5f);
                    st.Crash(at, 0.5f);
                    st.Kick(at, 0.9f);
                }
                break;
            }
            }
        }
    }
}

}  // namespace

std::vector<float> RenderSong(const SongForm& form, const SongOptions& options) {
    const double end = form.EndBeat();
    const double first = std::max(0.0, options.startBeat);
    double last = options.lengthBeats < 0 ? end : std::min(end, first + options.lengthBeats);
    if (last < first) last = first;
    const double samplesPerBeat = options.sampleRate * 60.0 / options.bpm;
    const long long frames = std::llround((last - first) * samplesPerBeat);
    Studio studio(options, first, frames);
    Arrange(studio, form, options.seed, first, last);
    // The whole song fades over the outro's last half; a shorter render over its last beat.
    double fadeFrom = last - 1.0;
    if (last >= end) {
        const SongSection& tail = form.sections.back();
        fadeFrom = std::max(tail.start + (tail.end - tail.start) * 0.5, last - 8.0);
        fadeFrom = std::max(fadeFrom, first);
    }
    return studio.Mixdown(fadeFrom, last);
}
