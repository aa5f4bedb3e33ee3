// Benchmark: how evenly the music position advances from frame to frame.
// Part 1 samples the position at 60 Hz for 10 s on OpenAL Soft's silent
// device, once as the plain AL_SEC_OFFSET (read with alGetSourcef) and once
// through the player's smoothed clock, and times one call of each. Part 2
// runs the real engine (640 x 360, constant tracks, the built show's shaders,
// textures and song) on a private Xvfb for 10 s, twice: with the plain offset
// as the show's clock and with the player's own, and counts the presented
// frames whose music position equals the previous frame's.
//
// Usage: pacing_bench            (both tables; needs Xvfb and the built show)
//        pacing_bench --engine plain|clock   (one engine run, one result line)
#include <AL/al.h>
#include <AL/alext.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/ALDemoAudioSystem.h"
#include "bench/support/nanos_per_call.h"
#include "bench/support/self_child.h"
#include "core/Engine.h"
#include "render/IRenderer.h"
#include "sync/TrackFile.h"
#include "tests/audio/support/test_song.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"

namespace {

constexpr double kSeconds = 10.0;
constexpr double kFrame = 1.0 / 60.0;

// Positions in seconds against the time they were taken.
struct Series {
    std::vector<double> times, positions;
};

struct Pacing {
    size_t samples = 0;
    double stalledShare = 0;  // samples that did not advance
    double largestStepMs = 0;
    double rmsMs = 0;  // deviation from the least-squares line
    double longestGapMs = 0;  // the longest wait between two samples
};

// From the first sample that has left 0 (the start of the song is heard a
// latency after Play, and is 0 until then by design).
Pacing Measure(const Series& s) {
    Pacing p;
    size_t first = 0;
    while (first < s.positions.size() && s.positions[first] <= 0) ++first;
    const size_t n = s.positions.size() - first;
    p.samples = n;
    if (n < 3) return p;
    size_t stalled = 0;
    double st = 0, sp = 0, stt = 0, stp = 0;
    for (size_t i = first; i < s.positions.size(); ++i) {
        if (i > first) {
            double step = s.positions[i] - s.positions[i - 1];
            if (step <= 0) ++stalled;
            p.largestStepMs = std::fmax(p.largestStepMs, step * 1000);
            p.longestGapMs = std::fmax(p.longestGapMs, (s.times[i] - s.times[i - 1]) * 1000);
        }
        double t = s.times[i] - s.times[first];
        st += t, sp += s.positions[i], stt += t * t, stp += t * s.positions[i];
    }
    p.stalledShare = double(stalled) / double(n - 1);
    const double slope = (n * stp - st * sp) / (n * stt - st * st);
    const double offset = (sp - slope * st) / n;
    double squares = 0;
    for (size_t i = first; i < s.positions.size(); ++i) {
        double e = s.positions[i] - (offset + slope * (s.times[i] - s.times[first]));
        squares += e * e;
    }
    p.rmsMs = std::sqrt(squares / n) * 1000;
    return p;
}

void SleepUntil(double seconds) {
    timespec until{time_t(seconds), long((seconds - std::floor(seconds)) * 1e9)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
}

// The player's position read the old way: OpenAL's offset as it stands.
double PlainSeconds(const ALDemoAudioSystem& audio) {
    ALfloat seconds = -1;
    alGetSourcef(audio.source, AL_SEC_OFFSET, &seconds);
    return seconds;
}

double LatencySeconds(const ALDemoAudioSystem& audio) {
    if (!audio.offsetLatencyQuery) return 0;
    double values[2] = {0, 0};
    audio.offsetLatencyQuery(audio.source, AL_SEC_OFFSET_LATENCY_SOFT, values);
    return values[1];
}

int SilentDeviceTable(const std::string& folder) {
    const std::string song = folder + "/song.ogg";
    if (!MakeTestSong(song, 2, 44100, kSeconds + 5)) {
        std::fprintf(stderr, "could not encode the test song\n");
        return 1;
    }
    ALDemoAudioSystem audio;
    if (!audio.Init() || !audio.LoadSong(song.c_str(), 140.0f)) {
        std::fprintf(stderr, "no OpenAL null device\n");
        return 1;
    }
    const double secondsPerBeat = 60.0 / 140.0;
    Series plain, smooth;
    audio.Play();
    double latency = LatencySeconds(audio);
    const double start = MusicClock::MonotonicSeconds();
    for (int i = 0; i * kFrame < kSeconds; ++i) {
        SleepUntil(start + i * kFrame);
        double t = MusicClock::MonotonicSeconds();
        plain.times.push_back(t);
        plain.positions.push_back(PlainSeconds(audio));
        smooth.times.push_back(t);
        smooth.positions.push_back(audio.GetPosition() * secondsPerBeat);
    }
    const double plainNs = NanosPerCall([&] { return PlainSeconds(audio); });
    const double smoothNs = NanosPerCall([&] { return audio.GetPosition(); });
    audio.Stop();
    audio.Shutdown();

    const Pacing a = Measure(plain), b = Measure(smooth);
    std::printf("Music position sampled at 60 Hz for %.0f s (OpenAL Soft, silent device)\n", kSeconds);
    std::printf("  %-34s %16s %16s\n", "", "plain offset", "smoothed clock");
    std::printf("  %-34s %16zu %16zu\n", "samples", a.samples, b.samples);
    std::printf("  %-34s %15.1f%% %15.1f%%\n", "samples that did not advance", a.stalledShare * 100,
                b.stalledShare * 100);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "largest step (one frame 16.67)", a.largestStepMs, b.largestStepMs);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "RMS deviation from a line", a.rmsMs, b.rmsMs);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "latency subtracted", 0.0, latency * 1000);
    std::printf("  %-34s %13.1f ns %13.1f ns\n", "cost of one call", plainNs, smoothNs);
    return 0;
}

// The engine's music player with the old clock: every call returns the plain
// offset in beats. Everything else goes to the player itself.
class PlainOffsetClock final : public IDemoAudioSystem {
public:
    explicit PlainOffsetClock(ALDemoAudioSystem* player) : player(player) {}
    bool Init() override { return player->Init(); }
    void Shutdown() override { player->Shutdown(); }
    void SetListenerPosition(float x, float y, float z) override { player->SetListenerPosition(x, y, z); }
    bool LoadSong(const char* path, float bpm) override { return player->LoadSong(path, bpm); }
    void Play() override { player->Play(); }
    void Pause() override { player->Pause(); }
    void Stop() override { player->Stop(); }
    bool IsPlaying() override { return player->IsPlaying(); }
    void SetVolume(float gain) override { player->SetVolume(gain); }
    float GetPosition() override { return (player->beatsPerMinute / 60.0f) * float(PlainSeconds(*player)); }
    void SetPosition(float beats) override { player->SetPosition(beats); }

private:
    ALDemoAudioSystem* player;
};

// One engine run in the current folder, driven like the player's own entry;
// prints "frames stalledShare largestStepMs rmsMs longestGapMs".
int EngineRun(bool plain) {
    Engine engine;
    if (!engine.Init(platform::GetInstance())) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    auto* player = dynamic_cast<ALDemoAudioSystem*>(engine.audio);
    PlainOffsetClock plainClock(player);
    if (plain && player) engine.sync.audio = &plainClock;
    Series frames;
    const double start = MusicClock::MonotonicSeconds();
    platform::Message message;
    bool quit = false;
    while (!quit && MusicClock::MonotonicSeconds() - start < kSeconds) {
        if (platform::PeekMessage(&message)) {
            platform::TranslateMessage(&message);
            platform::DispatchMessage(&message);
            quit = message.message == platform::WM_QUIT;
        } else {
            engine.RunFrame();
            frames.times.push_back(MusicClock::MonotonicSeconds());
            frames.positions.push_back(gRenderer ? gRenderer->lastMusicPosition * 60.0 / 140.0 : 0);
        }
    }
    engine.sync.audio = engine.audio;
    engine.Shutdown();
    const Pacing p = Measure(frames);
    std::printf("%zu %.6f %.3f %.3f %.3f\n", p.samples, p.stalledShare, p.largestStepMs, p.rmsMs, p.longestGapMs);
    return p.samples > 0 ? 0 : 1;
}

// Tracks held at values that keep the view cheap (the tunnel seen from far
// away, no bloom), so that software rendering on a shared machine keeps up
// with 60 frames per second: what is measured is the pacing, not the drawing.
const std::vector<std::pair<std::string, float>> kCheapView = {
    {"Effect Index", 1}, {"PostProcessor Index", 0}, {"Camera Distance", 100000}};

// A scratch show: 640 x 360 windowed, the built show's shaders, textures and
// song, and every track of the built show held at its value at row 2000
// (or at its kCheapView value).
bool MakeShow(const ScratchDir& dir) {
    namespace fs = std::filesystem;
    const fs::path show = TESSEL_SHOW_DIR;
    dir.Write("Config.txt", "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n");
    for (const char* folder : {"Shaders", "Textures", "Audio"}) {
        if (!fs::is_directory(show / folder)) return false;
        dir.Link(folder, (show / folder).string());
    }
    std::error_code error;
    int tracks = 0;
    for (const auto& entry : fs::directory_iterator(show / "sync", error)) {
        std::string bytes;
        if (!ReadWholeFile(entry.path().string(), &bytes)) continue;
        SyncTrack track;
        track.keys = ParseTrackBytes(bytes).keys;
        track.numKeys = int(track.keys.size());
        float value = GetValue(&track, 2000);
        for (const auto& held : kCheapView)
            if (entry.path().filename() == TrackFileName(held.first)) value = held.second;
        dir.Write("sync/" + entry.path().filename().string(), EncodeTrackBytes({{0, value, 0}}));
        ++tracks;
    }
    return tracks > 0;
}

bool RunEngineChild(const std::string& folder, const char* mode, Pacing* out) {
    const ChildRun run = RunSelf({"pacing_bench", "--engine", mode}, folder.c_str());
    return run.succeeded && std::sscanf(run.output.c_str(), "%zu %lf %lf %lf %lf", &out->samples, &out->stalledShare,
                                        &out->largestStepMs, &out->rmsMs, &out->longestGapMs) == 5;
}

int EngineTable() {
    XvfbServer server(1280, 720);
    if (!server.ok()) {
        std::fprintf(stderr, "could not start Xvfb\n");
        return 1;
    }
    server.Export();
    ScratchDir dir;
    if (!MakeShow(dir)) {
        std::fprintf(stderr, "no built show at %s (build tessel, show_data, song, textures, show_sync)\n",
                     TESSEL_SHOW_DIR);
        return 1;
    }
    Pacing plain, smooth;
    if (!RunEngineChild(dir.path(), "plain", &plain) || !RunEngineChild(dir.path(), "clock", &smooth)) {
        std::fprintf(stderr, "an engine run failed\n");
        return 1;
    }
    std::printf("\nThe engine's presented frames for %.0f s (640 x 360, constant tracks, Xvfb, silent device)\n",
                kSeconds);
    std::printf("  %-34s %16s %16s\n", "", "plain offset", "smoothed clock");
    std::printf("  %-34s %16zu %16zu\n", "frames", plain.samples, smooth.samples);
    std::printf("  %-34s %15.1f%% %15.1f%%\n", "frames at the previous position", plain.stalledShare * 100,
                smooth.stalledShare * 100);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "largest step", plain.largestStepMs, smooth.largestStepMs);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "RMS deviation from a line", plain.rmsMs, smooth.rmsMs);
    std::printf("  %-34s %13.2f ms %13.2f ms\n", "longest frame (the machine's hiccups)", plain.longestGapMs,
                smooth.longestGapMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    unsetenv("ALSOFT_CONF");
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (argc == 3 && std::strcmp(argv[1], "--engine") == 0) return EngineRun(std::strcmp(argv[2], "plain") == 0);
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: pacing_bench\n  prints the music clock's pacing on the silent device and in the engine\n");
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr, "usage: pacing_bench (see --help)\n");
        return 2;
    }
    ScratchDir dir;
    if (SilentDeviceTable(dir.path()) != 0) return 1;
    std::fflush(stdout);
    return EngineTable();
}
