// Benchmark: decoding a 2-minute 44.1 kHz stereo song (speed as a multiple
// of real time, peak memory of the decoding process) and the cost of one
// GetTrackValue, position query included, with 1, 100 and 10,000 keys.
// Decoding runs in a fresh child process so its peak memory is its own.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/ALDemoAudioSystem.h"
#include "audio/DecodeOggFile.h"
#include "bench/support/nanos_per_call.h"
#include "bench/support/self_child.h"
#include "sync/SyncSystem.h"
#include "tests/audio/support/test_song.h"

namespace {

using Clock = std::chrono::steady_clock;

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Child mode: decode (or not) and print "seconds peakKB blockBytes".
int DecodeChild(const char* path) {
    DecodedSong song;
    auto start = Clock::now();
    bool ok = path[0] != '\0' && DecodeOggFile(path, &song);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%.6f %ld %zu %d\n", seconds, PeakKilobytes(), song.samples.size(), ok ? 1 : 0);
    return 0;
}

bool RunChild(const std::string& path, double* seconds, long* peakKB, size_t* bytes) {
    const ChildRun run = RunSelf({"bench_audio_sync", "--decode", path});
    int ok = 0;
    return run.succeeded && std::sscanf(run.output.c_str(), "%lf %ld %zu %d", seconds, peakKB, bytes, &ok) == 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--decode") == 0) return DecodeChild(argv[2]);

    char folder[] = "/tmp/tessel-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string song = std::string(folder) + "/song.ogg";
    const double songSeconds = 120.0;
    std::fprintf(stderr, "encoding a %.0f s stereo test song...\n", songSeconds);
    if (!MakeTestSong(song, 2, 44100, songSeconds)) {
        std::fprintf(stderr, "could not encode the test song\n");
        return 1;
    }

    double baseSeconds = 0, decodeSeconds = 1e30;
    long basePeak = 0, decodePeak = 0;
    size_t bytes = 0, none = 0;
    if (!RunChild("", &baseSeconds, &basePeak, &none)) return 1;
    for (int run = 0; run < 3; ++run) {
        double s = 0;
        long peak = 0;
        if (!RunChild(song, &s, &peak, &bytes)) return 1;
        if (s < decodeSeconds) decodeSeconds = s, decodePeak = peak;
    }

    std::printf("Song decoding (2:00, 44.1 kHz, stereo; best of 3)\n");
    std::printf("  %-38s %12.3f s\n", "decode time", decodeSeconds);
    std::printf("  %-38s %12.1f x\n", "speed (song length / decode time)", songSeconds / decodeSeconds);
    std::printf("  %-38s %12.1f MB\n", "decoded block", double(bytes) / 1048576.0);
    std::printf("  %-38s %12.1f MB\n", "peak memory of decoding process", double(decodePeak) / 1024.0);
    std::printf("  %-38s %12.1f MB\n", "  of which above an idle process", double(decodePeak - basePeak) / 1024.0);

    // Track reads against the real player on OpenAL's silent device.
    setenv("ALSOFT_DRIVERS", "null", 1);
    ALDemoAudioSystem audio;
    if (!audio.Init() || !audio.LoadSong(song.c_str(), 140.0f)) {
        std::fprintf(stderr, "no OpenAL null device\n");
        return 1;
    }
    audio.Play();
    SyncSystem sync;
    sync.Init(&audio);
    gSyncSystem = &sync;

    std::printf("\nTrack reads (song playing on OpenAL's null device)\n");
    std::printf("  %8s %18s %18s %18s\n", "keys", "GetTrackValue ns", "GetValue ns", "GetPosition ns");
    double positionNs = NanosPerCall([&] { return audio.GetPosition(); });
    for (int count : {1, 100, 10000}) {
        SyncTrack track;
        track.name = "bench";
        for (int i = 0; i < count; ++i) track.keys.push_back({i * 4, float(i % 7), i % 4});
        track.numKeys = count;
        TrackHandle handle{&track};
        double full = NanosPerCall([&] { return GetTrackValue(&handle); });
        double row = 0;
        double value = NanosPerCall([&] {
            row += 1.0;
            if (row > count * 4) row = 0;
            return GetValue(&track, row);
        });
        std::printf("  %8d %18.1f %18.1f %18.1f\n", count, full, value, positionNs);
    }

    audio.Stop();
    audio.Shutdown();
    gSyncSystem = nullptr;
    DestroySyncDevice(sync.device);
    std::remove(song.c_str());
    rmdir(folder);
    return 0;
}
