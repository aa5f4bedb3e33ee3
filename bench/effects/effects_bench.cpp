// Effects benchmark: frames per second of the particle rain and the snake
// scene at 1280 x 720, straight to the window and through the bloom, under a
// private Xvfb with Mesa's software rasterizer; and the CPU time per frame of
// each effect's own arithmetic (track reads, matrices, the particle buffer)
// without any GL call, run through the same functions Render uses.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "demo/Bloom.h"
#include "demo/CubeSnake.h"
#include "demo/ParticleRain.h"
#include "demo/SceneContext.h"
#include "demo/SnakeScene.h"
#include "demo/TunnelLayout.h"
#include "render/gl.h"
#include "tests/demo/scene_harness.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr double kSecondsPerCase = 3.0;
constexpr int kMaxFrames = 240;

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

struct FrameRate {
    double fps = 0;
    double mainThreadMs = 0;  // CPU of the calling thread per frame, driver included
};

FrameRate MeasureFrames(scenetest::Stage& stage, IEffect* effect, IPostProcessor* post) {
    stage.renderer.postProcessor = post;
    stage.Frame(effect, 0.0f, BeatOfFrame(0));  // warm-up: first use of every program
    glFinish();
    int frames = 0;
    double start = WallSeconds(), cpuStart = ThreadCpuSeconds();
    while (frames < kMaxFrames && WallSeconds() - start < kSecondsPerCase) {
        ++frames;
        stage.Frame(effect, frames * 0.04f, BeatOfFrame(frames));
        glFinish();
    }
    double wall = WallSeconds() - start, cpu = ThreadCpuSeconds() - cpuStart;
    return FrameRate{frames / wall, cpu * 1000.0 / frames};
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
void WriteShowTracks(const scenetest::ShowFolder& show) {
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

}  // namespace

int main() {
    scenetest::ShowFolder show;
    show.SpriteTexture();
    show.CubeMapTexture(60, 110, 200);
    WriteShowTracks(show);
    scenetest::Stage stage;
    if (!stage.Start(kWidth, kHeight)) {
        std::fprintf(stderr, "no display or GL context\n");
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
        std::fprintf(stderr, "an effect failed to start\n");
        for (const auto& line : stage.logger.lines) std::fprintf(stderr, "%s\n", line.c_str());
        rain.Shutdown();
        scene.Shutdown();
        bloom.Shutdown();
        return 1;
    }

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("Effects at %d x %d, %s\n\n", kWidth, kHeight, renderer ? renderer : "?");
    std::printf("%-22s %10s %10s %16s %16s %14s\n", "effect", "fps", "fps+bloom", "main CPU ms/f",
                "main CPU+bloom", "own CPU ms/f");

    struct Row {
        const char* name;
        IEffect* effect;
        std::function<double()> own;
    } rows[] = {
        {"Particle Rain", &rain, [&] { return RainOwnMs(rain, stage); }},
        {"Snake Scene", &scene, [&] { return SnakeSceneOwnMs(scene, stage); }},
    };
    for (const Row& row : rows) {
        FrameRate plain = MeasureFrames(stage, row.effect, nullptr);
        FrameRate bloomed = MeasureFrames(stage, row.effect, &bloom);
        double own = row.own();
        std::printf("%-22s %10.1f %10.1f %16.2f %16.2f %14.3f\n", row.name, plain.fps, bloomed.fps,
                    plain.mainThreadMs, bloomed.mainThreadMs, own);
    }
    std::printf("%-22s %10s %10s %16s %16s %14.4f\n", "Bloom (track reads)", "-", "-", "-", "-",
                BloomOwnMs(bloom, stage));
    std::printf("\nfps: wall-clock frames through GLRenderer::RenderFrame, each finished with glFinish.\n"
                "main CPU: CPU time of the calling thread per frame (effect code plus the driver's\n"
                "work on that thread; llvmpipe rasterizes on its own threads).\n"
                "own CPU: the effect's per-frame arithmetic and track reads alone, no GL calls.\n");

    bloom.Shutdown();
    scene.Shutdown();
    rain.Shutdown();
    return 0;
}
