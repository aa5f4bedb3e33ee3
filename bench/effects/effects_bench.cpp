// Effects benchmark: what each scene costs to draw and what the bloom adds to
// it, at 1280 x 720 and 1920 x 1080, under a private Xvfb with Mesa's
// software rasterizer; and the CPU time per frame of each effect's own
// arithmetic (track reads, matrices, the particle buffer) without any GL call,
// run through the same functions Render uses.
//
// Each size runs in a child process of its own (its own X server and window).
// Frames with and without the bloom alternate, so a busy moment of the
// machine weighs on both alike; the bloom's cost is the median, over pairs of
// neighbouring frames, of the bloomed frame's time minus the plain one's.
//
// Usage: effects_bench [frame pairs per scene and size, default 60]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/self_child.h"
#include "demo/Bloom.h"
#include "demo/CubeSnake.h"
#include "demo/ParticleRain.h"
#include "demo/SceneContext.h"
#include "demo/SnakeScene.h"
#include "demo/TunnelLayout.h"
#include "render/gl.h"
#include "tests/demo/scene_harness.h"

namespace {

double WallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double ThreadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Beats advance as at 60 frames per second of a 140 bpm song, from beat 78,
// so the rhythm hits of beat 80 on are part of the run.
float BeatOfFrame(int frame) { return 78.0f + frame * (140.0f / 60.0f / 60.0f); }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct FrameTime {
    double wallMs = 0;
    double cpuMs = 0;  // every thread of the process: the driver's rasterizer threads too
};

struct FrameCosts {
    double plainMs = 0;    // median wall time of a frame straight to the window
    double bloomedMs = 0;  // median wall time of a frame through the bloom
    double bloomMs = 0;    // median over neighbouring pairs of bloomed minus plain
    double bloomCpuMs = 0; // the same for the process's CPU time
};

// One frame at this clock, finished with glFinish.
FrameTime TimedFrame(scenetest::Stage& stage, IEffect* effect, IPostProcessor* post, int frame) {
    stage.renderer.postProcessor = post;
    const double start = WallSeconds(), cpuStart = ProcessCpuSeconds();
    stage.Frame(effect, frame * 0.04f, BeatOfFrame(frame));
    glFinish();
    return FrameTime{(WallSeconds() - start) * 1000.0, (ProcessCpuSeconds() - cpuStart) * 1000.0};
}

// Alternates plain and bloomed frames of the same moments; each pair draws
// the same clock, once in each order, so neither side always comes first.
FrameCosts MeasureFrames(scenetest::Stage& stage, IEffect* effect, IPostProcessor* bloom, int pairs) {
    TimedFrame(stage, effect, nullptr, 0);  // warm-up: first use of every program
    TimedFrame(stage, effect, bloom, 0);
    std::vector<double> plain, bloomed, added, addedCpu;
    for (int pair = 0; pair < pairs; ++pair) {
        FrameTime without, with;
        if (pair % 2) {
            without = TimedFrame(stage, effect, nullptr, pair);
            with = TimedFrame(stage, effect, bloom, pair);
        } else {
            with = TimedFrame(stage, effect, bloom, pair);
            without = TimedFrame(stage, effect, nullptr, pair);
        }
        plain.push_back(without.wallMs);
        bloomed.push_back(with.wallMs);
        added.push_back(with.wallMs - without.wallMs);
        addedCpu.push_back(with.cpuMs - without.cpuMs);
    }
    return FrameCosts{Median(plain), Median(bloomed), Median(added), Median(addedCpu)};
}

// Milliseconds of CPU per call of work, over enough calls to be stable.
double CpuMsPerCall(const std::function<void(int)>& work) {
    const int calls = 200;
    double start = ThreadCpuSeconds();
    for (int i = 0; i < calls; ++i) work(i);
    return (ThreadCpuSeconds() - start) * 1000.0 / calls;
}

volatile float gSink = 0;  // keeps the arithmetic from being optimised away

void SnakeArithmetic(SnakeVariant variant, const TrackHandle* speed, const TrackHandle* height, float t,
                     const glm::mat4& view) {
    int drawn = 0;
    for (float a = 0.0f; a < 360.0f && drawn < kSnakeCubeCount; a += kSnakeAngleStep, ++drawn) {
        float sp = ReadTrack(speed);
        float sh = ReadTrack(height);
        glm::mat4 m = SnakeCubeMatrix(variant, a, sp, sh, t);
        gSink = gSink + LitNormalMatrix(m, view)[0][0];
    }
}

// The rain's per-frame CPU work without GL: floor, snake and particle update.
double RainOwnMs(ParticleRain& rain, scenetest::Stage& stage) {
    return CpuMsPerCall([&](int i) {
        stage.clock.position = BeatOfFrame(i);
        float t = i * 0.04f;
        glm::mat4 view = CameraViewMatrix();
        float fs = ReadTrack(rain.floorScale);
        if (fs > 0.0f)
            for (int k = 0; k < kFloorCubeCount; ++k) {
                float h = ReadTrack(rain.floorHole);
                float y0 = ReadTrack(rain.floorHeight);
                float r = ReadTrack(rain.randToFloor);
                glm::vec3 c = FloorCubeCenter(rain.floorGrid[k], rain.floorScatter[k], r, h, y0);
                glm::mat4 m = FloorCubeMatrix(t, c, rain.floorSpin[k], rain.floorSize[k], fs);
                gSink = gSink + LitNormalMatrix(m, view)[0][0];
            }
        SnakeArithmetic(SnakeVariant::Rain, rain.snakeSpeed, rain.snakeHeight, t, CameraViewMatrix());
        rain.UpdateParticles(t);
    });
}

double SnakeSceneOwnMs(SnakeScene& scene, scenetest::Stage& stage) {
    return CpuMsPerCall([&](int i) {
        stage.clock.position = BeatOfFrame(i);
        float t = i * 0.04f;
        glm::mat4 view = CameraViewMatrix();
        for (int ring = 0; ring < kTunnelRings; ++ring)
            for (int j = 0; j < kTunnelPanels; ++j) {
                float r1 = ReadTrack(scene.tunnelRadius);
                float r2 = ReadTrack(scene.tunnelRadius);
                gSink = gSink + TunnelPanelMatrix(ring, j, t, r1, r2)[3][2];
            }
        SnakeArithmetic(SnakeVariant::Tunnel, scene.snakeSpeed, scene.snakeHeight, t, view);
    });
}

double BloomOwnMs(Bloom& bloom, scenetest::Stage& stage) {
    return CpuMsPerCall([&](int i) {
        stage.clock.position = BeatOfFrame(i);
        const TrackHandle* tracks[] = {bloom.bloomCutoffTrack, bloom.fadeTrack, bloom.bloomDryTrack,
                                       bloom.bloomWetTrack, bloom.exposureTrack, bloom.flashTrack,
                                       bloom.vignetteTrack};
        for (const TrackHandle* track : tracks) gSink = gSink + ReadTrack(track);
    });
}

// Tracks with several keys each, so every read does a real search.
void WriteShowTracks(const ShowFolder& show) {
    auto ramp = [](float from, float to) {
        std::vector<TrackKey> keys;
        for (int i = 0; i < 64; ++i) {
            TrackKey key;
            key.row = i * 64;
            key.value = from + (to - from) * (i % 2);
            key.type = Smooth;
            keys.push_back(key);
        }
        return keys;
    };
    show.Track("Floor Scale", ramp(0.8f, 1.2f));
    show.Track("RandToFloor", ramp(0.3f, 1.0f));
    show.Track("Floor Hole", ramp(0.0f, 20.0f));
    show.Track("Floor Height", ramp(-8.0f, -4.0f));
    show.Track("RandToBall", ramp(0.2f, 0.9f));
    show.Track("BallRadius", ramp(6.0f, 14.0f));
    show.Track("DriftSpeed", ramp(0.0f, 0.5f));
    show.Track("Snake Speed", ramp(5.0f, 20.0f));
    show.Track("Snake Height", ramp(-4.0f, 4.0f));
    show.Track("Tunnel Radius", ramp(0.0f, 30.0f));
    show.Track("Bloom Dry", ramp(1.0f, 1.0f));
    show.Track("Bloom Wet", ramp(0.4f, 0.7f));
    show.Track("Exposure", ramp(1.0f, 1.3f));
    show.Track("Bloom Cutoff", ramp(0.5f, 0.7f));
    show.Track("Vignette", ramp(0.3f, 0.5f));
}

// Child: the table rows of one size; prints them and, with `own`, the effects' own CPU rows.
int RunChild(int width, int height, int pairs, bool own) {
    ShowFolder show;
    show.SpriteTexture();
    show.CubeMapTexture(60, 110, 200);
    WriteShowTracks(show);
    scenetest::Stage stage;
    if (!stage.Start(width, height)) {
        std::fprintf(stderr, "effects_bench: no display or GL context at %d x %d\n", width, height);
        return 1;
    }
    Camera* camera = stage.renderer.GetCamera();
    camera->distance = 40;
    camera->pitch = 15;
    camera->offset = glm::vec3(0, 10, 0);

    ParticleRain rain;
    SnakeScene scene;
    Bloom bloom;
    if (!rain.Init() || !scene.Init() || !bloom.Init()) {
        std::fprintf(stderr, "effects_bench: an effect failed to start\n");
        for (const auto& line : stage.logger.lines) std::fprintf(stderr, "%s\n", line.c_str());
        rain.Shutdown();
        scene.Shutdown();
        bloom.Shutdown();
        return 1;
    }
    struct Row {
        const char* name;
        IEffect* effect;
        std::function<double()> own;
    } rows[] = {
        {"Particle Rain", &rain, [&] { return RainOwnMs(rain, stage); }},
        {"Snake Scene", &scene, [&] { return SnakeSceneOwnMs(scene, stage); }},
    };
    for (const Row& row : rows) {
        const FrameCosts costs = MeasureFrames(stage, row.effect, &bloom, pairs);
        std::printf("| %4d x %-4d | %-13s | %8.1f | %10.1f | %8.1f | %12.1f | %6.1f | %9.1f |\n", width, height,
                    row.name, costs.plainMs, costs.bloomedMs, costs.bloomMs, costs.bloomCpuMs,
                    1000.0 / costs.plainMs, 1000.0 / costs.bloomedMs);
    }
    if (own) {
        std::printf("\n| own CPU per frame, no GL | ms     |\n|--------------------------|-------:|\n");
        for (const Row& row : rows) std::printf("| %-24s | %6.3f |\n", row.name, row.own());
        std::printf("| %-24s | %6.4f |\n", "Bloom (track reads)", BloomOwnMs(bloom, stage));
    }
    bloom.Shutdown();
    scene.Shutdown();
    rain.Shutdown();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::string(argv[1]) == "--child")
        return RunChild(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]) != 0);
    const int pairs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    std::printf("Effects with and without the bloom, %d frame pairs per scene, Mesa llvmpipe under Xvfb\n\n", pairs);
    std::printf("| size        | effect        | plain ms | bloomed ms | bloom ms | bloom CPU ms | fps    | fps+bloom |\n");
    std::printf("|-------------|---------------|---------:|-----------:|---------:|-------------:|-------:|----------:|\n");
    std::fflush(stdout);
    const int sizes[][2] = {{1280, 720}, {1920, 1080}};
    std::string own;
    bool ok = true;
    for (const auto& size : sizes) {
        const bool first = &size == &sizes[0];
        const ChildRun run = RunSelf({argv[0], "--child", std::to_string(size[0]), std::to_string(size[1]),
                                      std::to_string(pairs), first ? "1" : "0"});
        ok = ok && run.succeeded;
        const size_t split = run.output.find("\n\n");
        std::fputs(run.output.substr(0, split == std::string::npos ? run.output.size() : split + 1).c_str(), stdout);
        if (split != std::string::npos) own = run.output.substr(split + 1);
        std::fflush(stdout);
    }
    std::fputs(own.c_str(), stdout);
    std::printf("\nplain, bloomed: median wall time of a frame through GLRenderer::RenderFrame, finished\n"
                "with glFinish. bloom ms: the bloom's own cost per frame, the median over neighbouring\n"
                "pairs of the bloomed frame's wall time minus the plain one's; bloom CPU ms: the same\n"
                "for the CPU time of all the process's threads (llvmpipe rasterizes on its own), which\n"
                "a busy machine disturbs less than wall time.\n"
                "own CPU: the effect's per-frame arithmetic and track reads alone, no GL calls.\n");
    return ok ? 0 : 1;
}
