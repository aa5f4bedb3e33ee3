// The loading screen and one frame of an effect, read back from the window
// of a real GL context on Xvfb.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "demo/IEffect.h"
#include "demo/IPostProcessor.h"
#include "render/GLRenderer.h"
#include "render/gl.h"
#include "sync/SyncSystem.h"
#include "tests/render/gl_harness.h"
#include "tests/support/fake_audio.h"
#include "tests/support/show_folder.h"

namespace {

class LoadingBarTest : public ::testing::Test {
protected:
    void TearDown() override { gSyncSystem = nullptr; }
    // Each test starts it on a fresh 1280 x 720 window.
    gltest::GLWindow gl;
    GLRenderer& renderer = gl.renderer;
    gltest::RecordingLogger& logger = gl.logger;
};

const long kWhite = 0xFFFFFF, kBlack = 0x000000, kGrey = 0x404040, kRed = 0xFF0000;

}  // namespace

TEST_F(LoadingBarTest, BarShowsTheProgressOnWhite) {
    ShowFolder folder;
    ASSERT_TRUE(gl.Start(1280, 720));
    renderer.InitLoadingBar();
    EXPECT_TRUE(std::none_of(logger.lines.begin(), logger.lines.end(),
                             [](const std::string& l) { return l.rfind("ERROR", 0) == 0; }));

    // The bar spans x 160..1120 (960 pixels); rows 352..367 lie inside it.
    for (float progress : {10.0f, 20.0f, 30.0f, 53.33f, 76.67f, 100.0f}) {
        renderer.loadingProgress = progress;
        renderer.DrawLoadingBar();
        const gltest::Screen screen = gltest::Grab();
        auto At = [&screen](int x, int y) { return screen.At(x, y); };
        const int edge = 160 + static_cast<int>(std::lround(progress * 9.6f));
        SCOPED_TRACE(progress);
        EXPECT_EQ(At(100, 360), kWhite);         // background
        EXPECT_EQ(At(158, 360), kBlack);         // frame, left of the bar
        EXPECT_EQ(At(640, 349), kBlack);         // frame, above the bar
        EXPECT_EQ(At(162, 360), kWhite);         // filled from the left
        EXPECT_EQ(At(edge - 3, 360), kWhite);
        if (progress < 100) {
            EXPECT_EQ(At(edge + 3, 360), kGrey);  // not yet filled
            EXPECT_EQ(At(1117, 360), kGrey);
        } else {
            EXPECT_EQ(At(1117, 360), kWhite);
        }
        EXPECT_EQ(At(1122, 360), kBlack);        // frame, right of the bar
        EXPECT_EQ(At(1125, 360), kWhite);
    }

    renderer.ShutdownLoadingBar();
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_EQ(clear[0] + clear[1] + clear[2], 0.0f);
    renderer.RenderFrame(nullptr);
    const gltest::Screen screen = gltest::Grab();
    EXPECT_EQ(screen.At(640, 360), kBlack);
    EXPECT_EQ(screen.At(100, 100), kBlack);
    renderer.DrawLoadingBar();  // after release: nothing happens
    renderer.Shutdown();
}

TEST_F(LoadingBarTest, MissingShadersFolderStillDrawsAndReleases) {
    ShowFolder folder(ShowFolder::kNothing);
    ASSERT_TRUE(gl.Start(1280, 720));
    logger.lines.clear();
    renderer.InitLoadingBar();
    EXPECT_EQ(logger.lines, std::vector<std::string>{"ERROR: Failed to read vertex shader source!"});
    renderer.loadingProgress = 50;
    renderer.DrawLoadingBar();
    EXPECT_EQ(gltest::Grab().At(100, 100), kWhite);
    renderer.ShutdownLoadingBar();
    renderer.Shutdown();
}

namespace {

// Records what the renderer asks of it, and draws a red full-window clear.
class FakeEffect final : public IEffect {
public:
    bool Init() override { return true; }
    void Render(float t) override {
        GLint bound = 0;
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
        boundArray = static_cast<uint32_t>(bound);
        times.push_back(t);
        calls->push_back("effect");
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 1);
    }
    void Shutdown() override {}
    std::vector<float> times;
    uint32_t boundArray = 0;
    std::vector<std::string>* calls = nullptr;
};

class FakePost final : public IPostProcessor {
public:
    bool Init() override { return true; }
    void Begin() override { calls->push_back("begin"); }
    void Render(float t) override {
        times.push_back(t);
        calls->push_back("post");
    }
    void Shutdown() override {}
    std::vector<float> times;
    std::vector<std::string>* calls = nullptr;
};

}  // namespace

TEST_F(LoadingBarTest, RenderFrameAdvancesEachEffectByTheMusic) {
    ASSERT_TRUE(gl.Start(1280, 720));
    FakeAudio audio;
    SyncSystem sync;
    sync.audio = &audio;
    gSyncSystem = &sync;

    std::vector<std::string> calls;
    FakeEffect first, second;
    first.calls = second.calls = &calls;
    glGenVertexArrays(1, &first.vertexArray);
    glGenVertexArrays(1, &second.vertexArray);
    FakePost post;
    post.calls = &calls;

    audio.position = 4.0f;
    EXPECT_TRUE(renderer.RenderFrame(&first));
    EXPECT_EQ(first.times, std::vector<float>{4.0f});
    EXPECT_EQ(first.boundArray, first.vertexArray);
    GLint bound = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(calls, std::vector<std::string>{"effect"});  // no post-processor: straight to the window
    EXPECT_EQ(gltest::Grab().At(640, 360), kRed);

    // The second effect advances only by the music since the previous frame.
    second.time = 10.0f;
    renderer.postProcessor = &post;
    audio.position = 4.5f;
    calls.clear();
    EXPECT_TRUE(renderer.RenderFrame(&second));
    EXPECT_EQ(second.times, std::vector<float>{10.5f});
    EXPECT_EQ(post.times, std::vector<float>{10.5f});
    EXPECT_EQ(calls, (std::vector<std::string>{"begin", "effect", "post"}));
    EXPECT_EQ(first.time, 4.0f);

    // Without a sync system the clocks stand still.
    gSyncSystem = nullptr;
    renderer.RenderFrame(&second);
    EXPECT_EQ(second.time, 10.5f);
    glDeleteVertexArrays(1, &first.vertexArray);
    glDeleteVertexArrays(1, &second.vertexArray);
    renderer.Shutdown();
}
