// The scenes and the bloom drawn for real (Xvfb, Mesa, GLRenderer::RenderFrame)
// with track values from track files, read back from the window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "demo/Bloom.h"
#include "demo/CubeSnake.h"
#include "demo/ParticleRain.h"
#include "demo/SnakeScene.h"
#include "render/Texture.h"
#include "render/gl.h"
#include "tests/demo/scene_harness.h"

using scenetest::Image;
using scenetest::Rgba;
using scenetest::Stage;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const int kWidth = 320;
const int kHeight = 240;

// Step keys at whole beats: values[i] holds from beat i on.
std::vector<TrackKey> PerBeat(const std::vector<float>& values) {
    std::vector<TrackKey> keys;
    for (size_t i = 0; i < values.size(); ++i) {
        TrackKey key;
        key.row = static_cast<int32_t>(i) * 16;
        key.value = values[i];
        key.type = Step;
        keys.push_back(key);
    }
    return keys;
}

bool Orange(const Rgba& p) { return p.r > 25 && p.r * 10 > p.g * 14 && p.g > p.b; }
// The floor's blue-grey: blue above red.
int CountFloorColoured(const Image& image) {
    int count = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            Rgba p = image.At(x, y);
            if (p.b > p.r + 8 && p.g > p.r) ++count;
        }
    return count;
}
bool Black(const Rgba& p) { return p.r < 6 && p.g < 6 && p.b < 6; }

// The rain snake seen from the side, whole: camera 72 units from (0, 30, 0).
void ViewWholeRainSnake(Stage& stage) {
    Camera* camera = stage.renderer.GetCamera();
    camera->distance = 60;
    camera->offset = glm::vec3(0, 30, 0);
}

}  // namespace

TEST(RainRender, SnakeIsOrangeWhereItIsAndTheFloorFollowsItsScale) {
    ShowFolder show;
    show.SpriteTexture();
    show.Track("DriftSpeed", 1000.0f);  // particles fly far out of view
    show.Track("RandToFloor", 1.0f);
    show.Track("Floor Height", -12.0f);
    show.Track("Floor Scale", PerBeat({0.0f, 1.0f, kNaN, kInf, 1.0f, -kInf}));
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    ViewWholeRainSnake(stage);
    ParticleRain rain;
    ASSERT_TRUE(rain.Init());

    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 0.0f));
    Image noFloor = stage.Capture();
    int orange = 0;
    for (int k = 0; k < kSnakeCubeCount; ++k) {
        float a = k * kSnakeAngleStep;
        glm::vec3 centre = glm::vec3(SnakeCubeMatrix(SnakeVariant::Rain, a, 0.0f, 0.0f, 10.0f)[3]);
        if (centre.z < 2.0f) continue;  // the near side of the helix, not hidden by the far side
        glm::vec2 px = stage.Project(centre);
        Rgba p = noFloor.At(int(px.x), int(px.y));
        EXPECT_TRUE(Orange(p)) << "cube " << k << " at " << px.x << "," << px.y << ": " << p.r << " " << p.g << " "
                               << p.b;
        ++orange;
    }
    EXPECT_GT(orange, 15);
    EXPECT_TRUE(Black(noFloor.At(5, 5)));
    EXPECT_TRUE(Black(noFloor.At(kWidth - 5, kHeight / 2)));
    EXPECT_LT(CountFloorColoured(noFloor), 20);

    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 1.0f));
    Image floor = stage.Capture();
    EXPECT_GT(CountFloorColoured(floor), 1000);

    // A NaN scale skips the floor; an infinite one draws garbage for one frame
    // only: the next good frame is exactly the earlier picture.
    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 2.0f));
    EXPECT_LE(stage.Capture().MaxDifference(noFloor), 1);
    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 3.0f));
    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 4.0f));
    EXPECT_LE(stage.Capture().MaxDifference(floor), 1);
    ASSERT_TRUE(stage.Frame(&rain, 10.0f, 5.0f));
    EXPECT_LE(stage.Capture().MaxDifference(noFloor), 1);
    rain.Shutdown();
}

TEST(RainRender, ParticlesAddLightAndHitsKeepTheGlowFinite) {
    ShowFolder show;
    show.SpriteTexture();
    show.Track("Snake Height", 10000.0f);  // the snake far above the view
    show.Track("RandToBall", PerBeat({1.0f}));
    // Bad radii around the hits; from beat 83 on the ball is whole again.
    std::vector<float> radius(84, 6.0f);
    radius[81] = kNaN;
    radius[82] = kInf;
    show.Track("BallRadius", PerBeat(radius));
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    ParticleRain rain;
    ASSERT_TRUE(rain.Init());
    EXPECT_EQ(rain.particleCount, kParticleCount);

    ASSERT_TRUE(stage.Frame(&rain, 0.0f, 0.0f));
    Image ball = stage.Capture();
    int blue = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            Rgba p = ball.At(x, y);
            if (p.b > 30 && p.b > p.r) ++blue;
        }
    EXPECT_GT(blue, 2000);
    EXPECT_TRUE(Black(ball.At(3, 3)));  // the ball of radius 6 leaves the corners dark
    // Nothing but the sprites is in view: every lit pixel is their light.
    EXPECT_LT(ball.CountLit(8) - blue, ball.CountLit(8) / 4);

    // Three frames near beat 80.6 raise hitParticles[1] each time.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(stage.Frame(&rain, 1.0f, 80.6f));
    float raised = rain.glow[rain.hitParticles[1]];
    EXPECT_NEAR(raised, (0.3f * 0.95f + 0.3f) * 0.95f + 0.3f, 1e-5f);
    ASSERT_TRUE(stage.Frame(&rain, 1.0f, 81.0f));
    ASSERT_TRUE(stage.Frame(&rain, 1.0f, 82.0f));
    for (float g : rain.glow) ASSERT_TRUE(std::isfinite(g));
    ASSERT_TRUE(stage.Frame(&rain, 1.0f, 130.0f));
    Image after = stage.Capture();
    EXPECT_GT(after.CountLit(30), 1000);
    rain.Shutdown();
}

TEST(SnakeSceneRender, TunnelPanelsReflectTheCubeMap) {
    ShowFolder show;
    show.CubeMapTexture(255, 0, 255);  // magenta: the panels' own colour has more green than red
    show.Track("Snake Height", 10000.0f);
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    SnakeScene scene;
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(scene.texture);
    ASSERT_TRUE(stage.Frame(&scene, 0.0f, 0.0f));
    Image tunnel = stage.Capture();
    int lit = 0, magenta = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            Rgba p = tunnel.At(x, y);
            if (p.r + p.g + p.b < 30) continue;
            ++lit;
            if (p.r > p.g + 10 && p.b > p.g + 10) ++magenta;
        }
    EXPECT_GT(lit, kWidth * kHeight / 2);
    EXPECT_GT(magenta, lit * 3 / 4);
    scene.Shutdown();
}

TEST(SnakeSceneRender, SnakeIsOrangeAndNoTextureBindsNothing) {
    // No image and no fallback texture: the tunnel samples texture 0.
    ShowFolder show;
    show.Track("Snake Height", -30.0f);  // the snake's axis well below the camera's
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    stage.renderer.missingTexture = nullptr;
    Camera* camera = stage.renderer.GetCamera();
    camera->distance = 30;
    camera->offset = glm::vec3(0, -30, 20);
    SnakeScene scene;
    ASSERT_TRUE(scene.Init());
    EXPECT_EQ(scene.texture, nullptr);
    ASSERT_TRUE(stage.Frame(&scene, 0.0f, 0.0f));
    Image image = stage.Capture();
    int orange = 0;
    for (int k = 0; k < kSnakeCubeCount; ++k) {
        glm::vec3 centre = glm::vec3(SnakeCubeMatrix(SnakeVariant::Tunnel, k * kSnakeAngleStep, 0, -30.0f, 0)[3]);
        glm::vec2 px = stage.Project(centre);
        if (px.x < 0 || px.y < 0 || px.x >= kWidth || px.y >= kHeight) continue;
        if (centre.x < 0.5f && centre.y < -30.0f) continue;  // behind the near cubes from this view
        if (Orange(image.At(int(px.x), int(px.y)))) ++orange;
    }
    EXPECT_GE(orange, 5);
    scene.Shutdown();
}

namespace {
// Draws the effect once without and once through the bloom at the same clock.
void ExpectNeutralBloomReproduces(Stage& stage, IEffect* effect, Bloom& bloom, float t) {
    stage.renderer.postProcessor = nullptr;
    ASSERT_TRUE(stage.Frame(effect, t, 0.0f));
    Image sharp = stage.Capture();
    stage.renderer.postProcessor = &bloom;
    ASSERT_TRUE(stage.Frame(effect, t, 0.0f));
    Image mixed = stage.Capture();
    EXPECT_GT(sharp.CountLit(20), 1000);
    // Where two cubes cut through each other the window's and the target's
    // depth buffers may pick a different winner for a stray pixel.
    EXPECT_LE(mixed.CountDifferent(sharp, 2), sharp.width * sharp.height / 1000) << effect->name;
}
}  // namespace

TEST(BloomRender, DryOneWetZeroExposureOneReproducesEachScene) {
    ShowFolder show;
    show.SpriteTexture();
    show.CubeMapTexture(40, 120, 220);
    show.Track("Bloom Dry", 1.0f);
    show.Track("Bloom Wet", 0.0f);
    show.Track("Exposure", 1.0f);
    show.Track("Bloom Cutoff", 0.5f);
    show.Track("RandToBall", 1.0f);
    show.Track("BallRadius", 5.0f);
    show.Track("Floor Scale", 1.0f);
    show.Track("Floor Height", -8.0f);
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    ViewWholeRainSnake(stage);
    ParticleRain rain;
    SnakeScene scene;
    Bloom bloom;
    ASSERT_TRUE(rain.Init());
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(bloom.Init());
    EXPECT_EQ(bloom.mainTarget.width, kWidth);
    EXPECT_EQ(bloom.mainTarget.height, kHeight);
    EXPECT_EQ(bloom.downsampledTarget.width, 512);

    ExpectNeutralBloomReproduces(stage, &rain, bloom, 4.0f);
    stage.renderer.GetCamera()->distance = 12;
    stage.renderer.GetCamera()->offset = glm::vec3(0);
    ExpectNeutralBloomReproduces(stage, &scene, bloom, 3.0f);
    bloom.Shutdown();
    scene.Shutdown();
    rain.Shutdown();
}

TEST(BloomRender, FadeFlashWetVignetteAndBadValues) {
    ShowFolder show;
    show.CubeMapTexture(40, 120, 220);
    show.Track("Snake Height", PerBeat({0.0f}));
    // Beat: 0 neutral, 1 faded, 2 flashed, 3 glow only, 4 vignette, 5 all bad, 6 neutral.
    show.Track("Bloom Dry", PerBeat({1, 1, 1, 0, 1, kNaN, 1}));
    show.Track("Bloom Wet", PerBeat({0, 0, 0, 1, 0, kInf, 0}));
    show.Track("Exposure", PerBeat({1, 1, 1, 3, 1, kNaN, 1}));
    show.Track("Fade", PerBeat({0, 1, 0, 0, 0, kNaN, 0}));
    show.Track("Flash", PerBeat({0, 0, 1, 0, 0, -kInf, 0}));
    show.Track("Vignette", PerBeat({0, 0, 0, 0, 1, kNaN, 0}));
    show.Track("Bloom Cutoff", PerBeat({0, 0, 0, 0.3f, 0, kNaN, 0}));
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    SnakeScene scene;
    Bloom bloom;
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(bloom.Init());
    stage.renderer.postProcessor = &bloom;

    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 0.0f));
    Image neutral = stage.Capture();
    ASSERT_GT(neutral.CountLit(20), kWidth * kHeight / 2);

    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 1.0f));
    EXPECT_EQ(stage.Capture().CountLit(0), 0);  // Fade 1: black

    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 2.0f));
    Image flash = stage.Capture();
    EXPECT_EQ(flash.At(0, 0).r, 255);
    EXPECT_EQ(flash.At(kWidth / 2, kHeight / 2).g, 255);
    EXPECT_EQ(flash.CountLit(254), kWidth * kHeight);

    // Only the blurred glow: the picture changes and loses its hard edges.
    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 3.0f));
    Image glow = stage.Capture();
    EXPECT_GT(glow.CountLit(10), 1000);
    EXPECT_GT(glow.MaxDifference(neutral), 20);
    auto edgeEnergy = [](const Image& image) {
        long sum = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 1; x < image.width; ++x) sum += std::abs(image.At(x, y).g - image.At(x - 1, y).g);
        return sum;
    };
    EXPECT_LT(edgeEnergy(glow), edgeEnergy(neutral) / 2);

    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 4.0f));
    Image vignette = stage.Capture();
    auto cornerSum = [](const Image& image) {
        Rgba a = image.At(1, 1), b = image.At(image.width - 2, image.height - 2);
        return a.r + a.g + a.b + b.r + b.g + b.b;
    };
    auto centreSum = [](const Image& image) {
        Rgba c = image.At(image.width / 2 + 20, image.height / 2);
        return c.r + c.g + c.b;
    };
    EXPECT_LT(cornerSum(vignette), cornerSum(neutral) / 4 + 1);
    EXPECT_NEAR(centreSum(vignette), centreSum(neutral), 3);

    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 5.0f));  // every value bad: anything, but no crash
    ASSERT_TRUE(stage.Frame(&scene, 2.0f, 6.0f));
    EXPECT_LE(stage.Capture().MaxDifference(neutral), 1);
    bloom.Shutdown();
    scene.Shutdown();
}

TEST(BloomRender, MissingMixShaderFailsInitAndShutdownStaysClean) {
    ShowFolder show({"Mix.frag"});
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    Bloom bloom;
    EXPECT_FALSE(bloom.Init());
    ASSERT_FALSE(stage.logger.lines.empty());
    EXPECT_EQ(stage.logger.lines.back(), "ERROR: Failed to initialize Mix Shader!");
    EXPECT_NE(bloom.copyProgram.program, 0);
    EXPECT_EQ(bloom.mixProgram.program, 0);
    EXPECT_EQ(bloom.blurHorizontalProgram.program, 0);
    EXPECT_EQ(bloom.blurVerticalProgram.program, 0);
    EXPECT_EQ(bloom.highPassProgram.program, 0);
    EXPECT_EQ(bloom.fadeTrack, nullptr);
    bloom.Shutdown();
    EXPECT_EQ(bloom.quadBuffer, 0u);
    EXPECT_EQ(bloom.mainTarget.framebuffer, 0u);
    // The context is still usable afterwards.
    SnakeScene scene;
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(stage.Frame(&scene, 0.0f, 0.0f));
    scene.Shutdown();
}

TEST(BloomRender, MissingTracksGiveZeroUniformsAndABlackPicture) {
    ShowFolder show;
    show.CubeMapTexture(40, 120, 220);
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    SnakeScene scene;
    Bloom bloom;
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(bloom.Init());
    stage.renderer.postProcessor = &bloom;
    ASSERT_TRUE(stage.Frame(&scene, 1.0f, 3.0f));
    EXPECT_EQ(stage.Capture().CountLit(0), 0);  // Exposure 0
    const int32_t mixLocations[] = {bloom.fadeLocation,     bloom.bloomDryLocation, bloom.bloomWetLocation,
                                    bloom.exposureLocation, bloom.flashLocation,    bloom.vignetteLocation};
    for (int32_t location : mixLocations) {
        ASSERT_GE(location, 0);
        float value = -1.0f;
        glGetUniformfv(bloom.mixProgram.program, location, &value);
        EXPECT_EQ(value, 0.0f);
    }
    float cutoff = -1.0f;
    ASSERT_GE(bloom.bloomCutoffLocation, 0);
    glGetUniformfv(bloom.highPassProgram.program, bloom.bloomCutoffLocation, &cutoff);
    EXPECT_EQ(cutoff, 0.0f);
    bloom.Shutdown();
    scene.Shutdown();
}

TEST(RainRender, FloorScaleAtOrBelowZeroSkipsTheFloorProgram) {
    ShowFolder show;
    show.SpriteTexture();
    show.Track("Floor Scale", PerBeat({1.0f, 0.0f, -2.0f, kNaN}));
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    ParticleRain rain;
    ASSERT_TRUE(rain.Init());
    glBindVertexArray(rain.vertexArray);
    const float beats[] = {0.0f, 1.0f, 2.0f, 3.0f};
    for (float beat : beats) {
        stage.clock.position = beat;
        glUseProgram(0);
        rain.RenderFloor(0.0f);
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        EXPECT_EQ(current, beat == 0.0f ? rain.floorProgram.program : 0) << "beat " << beat;
    }
    glBindVertexArray(0);
    rain.Shutdown();
}

TEST(RainRender, NoTextureAtAllStillDrawsTheSprites) {
    ShowFolder show;  // no ./Textures folder
    show.Track("Snake Height", 10000.0f);
    show.Track("RandToBall", 1.0f);
    show.Track("BallRadius", 6.0f);
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    stage.renderer.missingTexture = nullptr;
    ParticleRain rain;
    ASSERT_TRUE(rain.Init());
    EXPECT_EQ(rain.texture, nullptr);
    ASSERT_TRUE(stage.Frame(&rain, 0.0f, 0.0f));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    rain.Shutdown();
}

TEST(EffectsInit, AFailedProgramStopsInitAndShutdownReleasesWhatExists) {
    ShowFolder show({"EmitterParticle.frag", "TexturedLit.frag"});
    Stage stage;
    ASSERT_TRUE(stage.Start(kWidth, kHeight));
    ParticleRain rain;
    EXPECT_FALSE(rain.Init());
    EXPECT_EQ(stage.logger.lines.back(), "ERROR: Failed to read fragment shader source!");
    EXPECT_NE(rain.vertexArray, 0u);
    EXPECT_NE(rain.particleBuffer, 0u);
    EXPECT_EQ(rain.floorProgram.program, 0);
    EXPECT_EQ(rain.randToBall, nullptr);  // tracks are fetched last
    EXPECT_EQ(rain.texture, nullptr);
    rain.Shutdown();
    EXPECT_EQ(rain.vertexArray, 0u);

    SnakeScene scene;
    EXPECT_FALSE(scene.Init());
    EXPECT_NE(scene.program.program, 0);
    EXPECT_NE(scene.texture, nullptr);  // the fallback, loaded before the programs
    EXPECT_EQ(scene.tunnelRadius, nullptr);
    scene.Shutdown();
    EXPECT_EQ(scene.cubeBuffer, 0u);
}

TEST(BloomRender, TargetsAtAFullHdWindow) {
    ShowFolder show;
    Stage stage;
    ASSERT_TRUE(stage.Start(1920, 1080));
    ASSERT_EQ(stage.renderer.width, 1920.0f);
    Bloom bloom;
    ASSERT_TRUE(bloom.Init());
    const struct {
        const RenderTarget& target;
        int width, height;
        bool depth;
    } cases[] = {{bloom.mainTarget, 1920, 1080, true},
                 {bloom.blurTarget, 1920, 1080, true},
                 {bloom.downsampledTarget, 512, 512, false},
                 {bloom.downsampled2Target, 512, 512, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.target.width, c.width);
        EXPECT_EQ(c.target.height, c.height);
        EXPECT_EQ(c.target.depthRenderbuffer != 0, c.depth);
        GLint textureWidth = 0;
        glBindTexture(GL_TEXTURE_2D, c.target.ColorTexture());
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
        EXPECT_EQ(textureWidth, c.width);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    bloom.Shutdown();
}
