// Software rasteriser for the track plot: filled rectangles, lines and the
// stb_easy_font bitmap glyphs, written out with stb_image_write. Each track is
// evaluated at whole rows with the player's own GetValue, so the plot shows
// what the show will do.
#include "tools/synctool/TrackPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stb_easy_font.h>
#include <stb_image_write.h>

#include "platform/OutputFile.h"
#include "tools/songform/TextLines.h"
#include "tools/synctool/TrackSource.h"

namespace {

struct Color {
    uint8_t r, g, b;
};

const Color kBackground{252, 252, 250};
const Color kStripA{243, 244, 247};
const Color kStripB{236, 238, 242};
const Color kBandA{150, 190, 235};
const Color kBandB{240, 190, 120};
const Color kGrid{205, 208, 214};
const Color kCue{170, 120, 200};
const Color kCurve{30, 70, 160};
const Color kKey{200, 40, 40};
const Color kText{20, 20, 24};
const Color kMuted{100, 104, 112};

// The text as the font can draw it, NUL-terminated: stb_easy_font has glyphs
// for the printable ASCII bytes only (it indexes its table by byte - 32), so
// control and non-ASCII bytes, which a track name may hold, become '?'.
std::vector<char> FontText(const std::string& text) {
    std::vector<char> chars;
    chars.reserve(text.size() + 1);
    for (char c : text) chars.push_back(c >= 32 && c <= 126 ? c : '?');
    chars.push_back('\0');
    return chars;
}

class Canvas {
public:
    Canvas(int width, int height) : w(width), h(height), pixels(size_t(width) * size_t(height) * 3) {}

    void Fill(int x0, int y0, int x1, int y1, Color c, float alpha = 1.0f) {
        x0 = std::max(x0, clipX0), y0 = std::max(y0, 0);
        x1 = std::min(x1, clipX1), y1 = std::min(y1, h);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                uint8_t* p = &pixels[(size_t(y) * size_t(w) + size_t(x)) * 3];
                p[0] = uint8_t(std::lround(p[0] + (c.r - p[0]) * alpha));
                p[1] = uint8_t(std::lround(p[1] + (c.g - p[1]) * alpha));
                p[2] = uint8_t(std::lround(p[2] + (c.b - p[2]) * alpha));
            }
    }

    // Text with its top-left corner at (x, y), glyphs scaled up.
    void Text(float x, float y, const std::string& text, float scale, Color c) {
        std::vector<char> chars = FontText(text);
        std::vector<char> vertices(chars.size() * 400 + 1024);
        int quads = stb_easy_font_print(0, 0, chars.data(), nullptr, vertices.data(), int(vertices.size()));
        for (int q = 0; q < quads; ++q) {
            const float* v0 = reinterpret_cast<const float*>(vertices.data() + q * 64);
            const float* v2 = reinterpret_cast<const float*>(vertices.data() + q * 64 + 32);
            Fill(int(std::lround(x + v0[0] * scale)), int(std::lround(y + v0[1] * scale)),
                 int(std::lround(x + v2[0] * scale)), int(std::lround(y + v2[1] * scale)), c);
        }
    }

    static int TextWidth(const std::string& text, float scale) {
        std::vector<char> chars = FontText(text);
        return int(std::ceil(stb_easy_font_width(chars.data()) * scale));
    }

    void Clip(int x0, int x1) { clipX0 = std::max(0, x0), clipX1 = std::min(w, x1); }
    void Unclip() { clipX0 = 0, clipX1 = w; }

    // Encodes in memory and writes through an output file; false with "PATH: reason".
    bool Write(const std::string& path, std::string* error) {
        std::string png;
        const auto append = [](void* context, void* data, int size) {
            static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
        };
        if (!stbi_write_png_to_func(append, &png, w, h, 3, pixels.data(), w * 3)) {
            *error = path + ": the picture could not be encoded";
            return false;
        }
        return platform::WriteFileAtomically(path, png, error);
    }

    int w, h;
    int clipX0 = 0, clipX1 = 0x7FFFFFFF;
    std::vector<uint8_t> pixels;
};

std::string ShortNumber(double v) {
    char text[32];
    double a = std::fabs(v);
    if (a != 0 && (a >= 100000 || a < 0.01))
        std::snprintf(text, sizeof(text), "%.2g", v);
    else
        std::snprintf(text, sizeof(text), "%.4g", v);
    return text;
}

}  // namespace

bool PlotTracks(const std::vector<PlotTrack>& tracks, const SongForm* song, const std::string& outPath,
                std::string* error) {
    const int height = PlotHeight(int(tracks.size()));
    Canvas canvas(kPlotWidth, height);
    canvas.Unclip();
    canvas.Fill(0, 0, kPlotWidth, height, kBackground);

    const int left = 112, right = kPlotWidth - 24;
    const int plotWidth = right - left;
    const int stripsTop = kPlotTop;
    const int stripsBottom = kPlotTop + int(std::max<size_t>(tracks.size(), 1)) * (kPlotStrip + kPlotStripGap);

    // The beats shown: every key and section, always from beat 0, whole bars.
    int64_t first = 0, last = 16;
    for (const PlotTrack& t : tracks)
        for (const TrackKey& k : t.keys) first = std::min<int64_t>(first, k.row), last = std::max<int64_t>(last, k.row);
    if (song)
        for (const SongSection& s : song->sections)
            first = std::min<int64_t>(first, s.StartRow()), last = std::max<int64_t>(last, s.EndRow());
    const int64_t bar = 64;
    first = (first >= 0 ? first / bar : -((-first + bar - 1) / bar)) * bar;
    last = ((last + bar) / bar) * bar;
    const double span = double(last - first);
    auto xOf = [&](double row) { return left + (row - double(first)) / span * plotWidth; };

    // Beat grid step: the smallest power of two beats that leaves room for labels.
    int64_t stepBeats = 1;
    while (double(stepBeats) * 16.0 / span * plotWidth < 56.0 && stepBeats < (int64_t(1) << 40)) stepBeats *= 2;

    // Strip backgrounds.
    for (size_t i = 0; i < std::max<size_t>(tracks.size(), 1); ++i) {
        int top = stripsTop + int(i) * (kPlotStrip + kPlotStripGap);
        canvas.Fill(left, top, right, top + kPlotStrip, i % 2 ? kStripB : kStripA);
    }

    // Sections: shaded bands over all strips, named above them.
    if (song) {
        for (size_t i = 0; i < song->sections.size(); ++i) {
            const SongSection& s = song->sections[i];
            int x0 = int(std::lround(xOf(s.StartRow()))), x1 = int(std::lround(xOf(s.EndRow())));
            Color band = i % 2 ? kBandB : kBandA;
            canvas.Fill(x0, stripsTop - 24, x1, stripsBottom - kPlotStripGap, band, 0.22f);
            canvas.Fill(x0, stripsTop - 24, x0 + 1, stripsBottom - kPlotStripGap, band, 0.9f);
            canvas.Clip(x0 + 1, x1);
            canvas.Text(float(x0 + 5), float(stripsTop - 20), s.name, 2.0f, kText);
            canvas.Unclip();
        }
        for (const SongCue& cue : song->cues) {
            int x = int(std::lround(xOf(cue.Row())));
            for (int y = stripsTop; y < stripsBottom - kPlotStripGap; y += 6) canvas.Fill(x, y, x + 1, y + 3, kCue, 0.6f);
        }
    }

    // Beat grid lines and labels.
    int64_t firstBeat = first / 16;
    for (int64_t beat = (firstBeat / stepBeats) * stepBeats; beat * 16 <= last; beat += stepBeats) {
        if (beat * 16 < first) continue;
        int x = int(std::lround(xOf(double(beat * 16))));
        canvas.Fill(x, stripsTop, x + 1, stripsBottom - kPlotStripGap, kGrid, 0.8f);
        canvas.Fill(x, stripsBottom - kPlotStripGap, x + 1, stripsBottom - kPlotStripGap + 6, kText);
        std::string label = std::to_string(beat);
        canvas.Text(float(x - Canvas::TextWidth(label, 2.0f) / 2), float(stripsBottom), label, 2.0f, kText);
    }
    std::string caption = "beats (16 rows each)";
    canvas.Text(float(left + plotWidth / 2 - Canvas::TextWidth(caption, 2.0f) / 2), float(height - 22), caption, 2.0f,
                kMuted);

    // One strip per track.
    for (size_t i = 0; i < tracks.size(); ++i) {
        const PlotTrack& t = tracks[i];
        int top = stripsTop + int(i) * (kPlotStrip + kPlotStripGap);
        const int pad = 8;
        int yTop = top + pad + 16, yBottom = top + kPlotStrip - pad;

        SyncTrack track;
        track.name = t.name;
        track.keys = t.keys;
        track.numKeys = int32_t(t.keys.size());

        std::vector<float> samples(static_cast<size_t>(plotWidth));
        for (int px = 0; px < plotWidth; ++px) {
            double row = std::floor(double(first) + (px + 0.5) / plotWidth * span);
            samples[size_t(px)] = GetValue(&track, row);
        }
        float low = 0, high = 0;
        bool any = false;
        for (float v : samples)
            if (std::isfinite(v)) low = any ? std::min(low, v) : v, high = any ? std::max(high, v) : v, any = true;
        for (const TrackKey& k : t.keys)
            if (std::isfinite(k.value)) low = std::min(low, k.value), high = std::max(high, k.value);
        if (!(high > low)) low -= 1, high += 1;
        auto yOf = [&](double v) { return yBottom - (v - low) / (double(high) - low) * (yBottom - yTop); };

        // Zero line when it is in range, then the curve.
        if (low < 0 && high > 0) {
            int y0 = int(std::lround(yOf(0)));
            canvas.Fill(left, y0, right, y0 + 1, kGrid);
        }
        int previous = -1;
        for (int px = 0; px < plotWidth; ++px) {
            float v = samples[size_t(px)];
            if (!std::isfinite(v)) {
                previous = -1;
                continue;
            }
            int y = int(std::lround(yOf(v)));
            int from = previous < 0 ? y : previous;
            canvas.Fill(left + px, std::min(from, y) - 1, left + px + 1, std::max(from, y) + 1, kCurve);
            previous = y;
        }
        for (const TrackKey& k : t.keys) {
            if (!std::isfinite(k.value)) continue;
            int x = int(std::lround(xOf(k.row))), y = int(std::lround(yOf(k.value)));
            canvas.Clip(left, right);
            canvas.Fill(x - 2, y - 2, x + 3, y + 3, kKey);
            canvas.Unclip();
        }

        // Name on a light plate so it stays readable over the curve, and the
        // value range on the left.
        std::string name = t.keys.empty() ? t.name + "  (no keys: reads 0)" : t.name;
        int nameWidth = Canvas::TextWidth(name, 2.0f);
        canvas.Fill(left + 2, top + 2, left + nameWidth + 10, top + 20, kBackground, 0.85f);
        canvas.Text(float(left + 6), float(top + 5), name, 2.0f, kText);
        std::string hi = ShortNumber(high), lo = ShortNumber(low);
        canvas.Text(float(left - 8 - Canvas::TextWidth(hi, 2.0f)), float(yTop - 6), hi, 2.0f, kMuted);
        canvas.Text(float(left - 8 - Canvas::TextWidth(lo, 2.0f)), float(yBottom - 12), lo, 2.0f, kMuted);
    }

    return canvas.Write(outPath, error);
}
