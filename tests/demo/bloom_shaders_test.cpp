// The bloom's shaders drawn for real (Xvfb, Mesa) against straightforward
// references kept in tests/demo/bloom_reference/, where every read is a
// hand-made bilinear filter of four texels: the same picture at window sizes
// small, odd and large, and with a glow that reaches every border of the
// blurred picture (where the blur's taps repeat the border texel); and after a window resize the final mix still
// stretches the whole picture over the window instead of cropping it, filtered as the references filter it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "demo/Bloom.h"
#include "demo/ParticleRain.h"
#include "demo/SnakeScene.h"
#include "render/gl.h"
#include "tests/demo/scene_harness.h"

using scenetest::Image;
using scenetest::Rgba;
using scenetest::Stage;

namespace {

const char* const kBloomShaders[] = {"HighPass.frag", "BlurH.frag", "BlurV.frag", "Mix.frag", "RenderFBO.frag"};

// The rain's ball and floor under a strong glow: a low cutoff, a wet mix,
// exposure above 1 (the tone curve at work) and a vignette.
void GlowingRain(const ShowFolder& show, Stage& stage) {
    show.SpriteTexture();
    show.Track("RandToBall", 1.0f);
    show.Track("BallRadius", 6.0f);
    show.Track("Floor Scale", 1.0f);
    show.Track("Floor Height", -8.0f);
    show.Track("Bloom Dry", 1.0f);
    show.Track("Bloom Wet", 0.8f);
    show.Track("Exposure", 1.3f);
    show.Track("Bloom Cutoff", 0.3f);
    show.Track("Vignette", 0.4f);
    Camera* camera = stage.renderer.GetCamera();
    camera->distance = 40;
    camera->pitch = 15;
    camera->offset = glm::vec3(0, 5, 0);
}

// Starts `bloom` with the reference shaders: Init runs in a scratch folder
// holding them, the shared vertex stage and the show's tracks.
bool InitReferenceBloom(const ShowFolder& show, Bloom* bloom) {
    ScratchDir folder;
    const std::string source = std::string(TESSEL_SOURCE_DIR);
    folder.Link("Shaders/RenderFBO.vert", source + "/data/Shaders/RenderFBO.vert");
    for (const char* name : kBloomShaders)
        folder.Link(std::string("Shaders/") + name, source + "/tests/demo/bloom_reference/" + name);
    folder.Link("sync", show / "sync");
    if (chdir(folder.path().c_str()) != 0) return false;
    const bool started = bloom->Init();
    return chdir(show.path().c_str()) == 0 && started;
}

// One frame of the rain through `bloom`, read back. Beat 40 comes before the
// sprites' flashes, whose glow carries over from frame to frame, so two frames
// at one clock are the same picture.
Image Through(Stage& stage, ParticleRain& rain, Bloom& bloom) {
    stage.renderer.postProcessor = &bloom;
    EXPECT_TRUE(stage.Frame(&rain, 4.0f, 40.0f));
    return stage.Capture();
}

}  // namespace

TEST(BloomShaders, DrawWhatTheStraightforwardFiltersDraw) {
    const struct {
        int width, height;
    } sizes[] = {{320, 240}, {301, 167}, {1280, 720}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        ShowFolder show;
        Stage stage;
        ASSERT_TRUE(stage.Start(size.width, size.height));
        GlowingRain(show, stage);
        ParticleRain rain;
        Bloom shipped, reference;
        ASSERT_TRUE(rain.Init());
        ASSERT_TRUE(shipped.Init());
        ASSERT_TRUE(InitReferenceBloom(show, &reference));

        const Image expected = Through(stage, rain, reference);
        const Image actual = Through(stage, rain, shipped);
        const int pixels = size.width * size.height;
        EXPECT_GT(expected.CountLit(60), pixels / 100);  // the glowing rain, not a black frame
        // Rounding may differ by a step where a value falls halfway between two.
        EXPECT_LE(actual.MaxDifference(expected), 2);
        EXPECT_LE(actual.CountDifferent(expected, 1), pixels / 1000);
        reference.Shutdown();
        shipped.Shutdown();
        rain.Shutdown();
    }
}

// The tunnel fills the window and with no cutoff everything glows, so the
// blur's clamped taps at all four borders of the glow are in the picture.
TEST(BloomShaders, AGlowUpToTheBordersMatchesTheStraightforwardFilters) {
    ShowFolder show;
    show.CubeMapTexture(200, 160, 90);
    show.Track("Bloom Dry", 1.0f);
    show.Track("Bloom Wet", 1.2f);
    show.Track("Exposure", 1.6f);
    show.Track("Bloom Cutoff", 0.0f);
    Stage stage;
    ASSERT_TRUE(stage.Start(320, 180));
    Camera* camera = stage.renderer.GetCamera();
    camera->distance = 12;
    camera->offset = glm::vec3(0);
    SnakeScene scene;
    Bloom shipped, reference;
    ASSERT_TRUE(scene.Init());
    ASSERT_TRUE(shipped.Init());
    ASSERT_TRUE(InitReferenceBloom(show, &reference));

    stage.renderer.postProcessor = &reference;
    ASSERT_TRUE(stage.Frame(&scene, 3.0f, 0.0f));
    const Image expected = stage.Capture();
    stage.renderer.postProcessor = &shipped;
    ASSERT_TRUE(stage.Frame(&scene, 3.0f, 0.0f));
    const Image actual = stage.Capture();
    // Lit in every corner, so the glow is there at the borders.
    for (int x : {2, 317})
        for (int y : {2, 177}) {
            const Rgba corner = expected.At(x, y);
            EXPECT_GT(corner.r + corner.g + corner.b, 25) << x << ", " << y;
        }
    EXPECT_LE(actual.MaxDifference(expected), 2);
    EXPECT_LE(actual.CountDifferent(expected, 1), 320 * 180 / 1000);
    reference.Shutdown();
    shipped.Shutdown();
    scene.Shutdown();
}

TEST(BloomShaders, AfterAResizeTheMixStretchesThePictureOverTheWindow) {
    ShowFolder show;
    Stage stage;
    ASSERT_TRUE(stage.Start(320, 240));
    GlowingRain(show, stage);
    ParticleRain rain;
    Bloom bloom, reference;
    ASSERT_TRUE(rain.Init());
    ASSERT_TRUE(bloom.Init());
    ASSERT_TRUE(InitReferenceBloom(show, &reference));  // its targets too at 320 x 240
    const Image whole = Through(stage, rain, bloom);

    // The targets keep 320 x 240; the window's viewport halves to 160 x 120
    // (the same aspect, so the scene in the targets is the same).
    stage.renderer.Resize(120, 160);
    const Image shrunk = Through(stage, rain, bloom);
    // Each pixel of the small view shows the 2 x 2 block of the whole
    // picture it covers: one of its pixels, or a blend of them.
    int lit = 0, stretched = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) {
            const Rgba block[] = {whole.At(2 * x, 2 * y), whole.At(2 * x + 1, 2 * y), whole.At(2 * x, 2 * y + 1),
                                  whole.At(2 * x + 1, 2 * y + 1)};
            Rgba low{255, 255, 255, 0}, high{0, 0, 0, 0};
            for (const Rgba& p : block) {
                low = Rgba{std::min(low.r, p.r), std::min(low.g, p.g), std::min(low.b, p.b), 0};
                high = Rgba{std::max(high.r, p.r), std::max(high.g, p.g), std::max(high.b, p.b), 0};
            }
            if (high.r + high.g + high.b < 120) continue;
            ++lit;
            const Rgba got = shrunk.At(x, y);
            stretched += got.r >= low.r - 4 && got.r <= high.r + 4 && got.g >= low.g - 4 && got.g <= high.g + 4 &&
                         got.b >= low.b - 4 && got.b <= high.b + 4;
        }
    ASSERT_GT(lit, 200);
    EXPECT_GE(stretched, lit * 98 / 100);

    // At an uneven scale every pixel falls between texels: the bilinear
    // filter of the references, not the nearest texel.
    stage.renderer.Resize(171, 229);
    const Image expected = Through(stage, rain, reference);
    const Image actual = Through(stage, rain, bloom);
    EXPECT_LE(actual.MaxDifference(expected), 2);
    EXPECT_LE(actual.CountDifferent(expected, 1), 229 * 171 / 1000);
    reference.Shutdown();
    bloom.Shutdown();
    rain.Shutdown();
}
