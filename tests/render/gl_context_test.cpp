// The GLX context and the renderer's Init/Resize/Shutdown against a private
// Xvfb with Mesa: log lines in order, multisampling, the fixed GL state and
// the projections.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include <glm/glm.hpp>

#include "core/ILogger.h"
#include "platform/GLContext.h"
#include "render/GLRenderer.h"
#include "render/gl.h"
#include "tests/render/gl_harness.h"
#include "tests/support/text.h"

namespace {

class ContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gltest::Ready());
        gLogger = &logger;
    }
    void TearDown() override {
        gRenderer = nullptr;
        gLogger = nullptr;
    }
    gltest::RecordingLogger logger;
};

// "major.minor..." at or above 3.3.
bool AtLeast33(const std::string& version) {
    int major = std::atoi(version.c_str());
    size_t dot = version.find('.');
    int minor = dot == std::string::npos ? 0 : std::atoi(version.c_str() + dot + 1);
    return major > 3 || (major == 3 && minor >= 3);
}

}  // namespace

TEST_F(ContextTest, PlainContextLogsInOrderAndSetsTheFixedState) {
    platform::WindowHandle window = gltest::NewWindow(640, 360);
    ASSERT_TRUE(window);
    GLRenderer renderer;
    ASSERT_TRUE(renderer.Init(window, 0));

    const auto& lines = logger.lines;
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(StartsWith(lines[0], "Max OpenGL Version: ")) << lines[0];
    EXPECT_GT(lines[0].size(), std::string("Max OpenGL Version: ").size());
    EXPECT_EQ(lines[1], std::string("Hardware Vendor: ") + reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
    EXPECT_EQ(lines[2], std::string("Hardware Renderer: ") + reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    EXPECT_EQ(lines[3], "OpenGL Context Version: " + version);
    EXPECT_TRUE(AtLeast33(version)) << version;
    EXPECT_EQ(lines[4], "Multisampling Disabled");
    GLfloat anisotropy = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(lines[5], "Anisotropic Filtering Level: " + std::to_string(static_cast<int>(anisotropy)));
    EXPECT_EQ(renderer.maxAnisotropy, anisotropy);
    EXPECT_EQ(lines[6], "Creating Texture: MissingTexture.png");

    // The versioned context is a core profile one.
    GLint profile = 0;
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_TRUE(profile & GL_CONTEXT_CORE_PROFILE_BIT);

    EXPECT_EQ(renderer.width, 640.0f);
    EXPECT_EQ(renderer.height, 360.0f);
    EXPECT_FALSE(glIsEnabled(GL_MULTISAMPLE));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint source = 0, destination = 0, depthFunc = 0, frontFace = 0, cullFace = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &source);
    glGetIntegerv(GL_BLEND_DST_RGB, &destination);
    EXPECT_EQ(source, GL_SRC_ALPHA);
    EXPECT_EQ(destination, GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_CUBE_MAP_SEAMLESS));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    EXPECT_EQ(cullFace, GL_BACK);
    EXPECT_EQ(frontFace, GL_CCW);
    GLfloat clear[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(glm::vec4(clear[0], clear[1], clear[2], clear[3]), glm::vec4(0, 0, 0, 0));
    const float* p = &(*renderer.GetProjectionMatrix())[0][0];
    EXPECT_FLOAT_EQ(p[11], -1.0f);
    EXPECT_FLOAT_EQ(p[15], 0.0f);
    EXPECT_FLOAT_EQ(p[0], p[5] / (640.0f / 360.0f));
    EXPECT_EQ(renderer.GetCamera(), &renderer.camera);

    ASSERT_TRUE(renderer.missingTexture);
    EXPECT_EQ(renderer.textureCache.size(), 1u);
    EXPECT_EQ(std::string(renderer.textureCache.begin()->first), "MissingTexture.png");

    logger.lines.clear();
    renderer.Shutdown();
    EXPECT_EQ(logger.lines, std::vector<std::string>{"Deleting Texture: MissingTexture.png"});
    EXPECT_EQ(renderer.textureCache.size(), 1u);  // entries stay until destruction
    EXPECT_EQ(glGetString(GL_VERSION), nullptr);   // nothing is current any more
    // A second Shutdown finds nothing left to release.
    logger.lines.clear();
    renderer.Shutdown();
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(ContextTest, FourSamplesGiveAMultisampledContext) {
    platform::WindowHandle window = gltest::NewWindow(320, 240);
    ASSERT_TRUE(window);
    GLRenderer renderer;
    ASSERT_TRUE(renderer.Init(window, 4));
    ASSERT_GE(logger.lines.size(), 6u);
    EXPECT_EQ(logger.lines[4], "Multisampling Enabled");
    EXPECT_EQ(logger.lines[5], "Multisampling Buffers: 4");
    EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE));
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_EQ(samples, 4);
    // Double-buffered, 8 bits per colour channel, 24-bit depth, 8-bit stencil.
    auto bits = [](GLenum attachment, GLenum size) {
        GLint value = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, size, &value);
        return value;
    };
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_TRUE(doubleBuffered);
    EXPECT_EQ(bits(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE), 8);
    EXPECT_EQ(bits(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE), 8);
    EXPECT_EQ(bits(GL_BACK_LEFT, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE), 8);
    EXPECT_EQ(bits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE), 24);
    EXPECT_EQ(bits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE), 8);
    // The window moved onto the multisampled visual under the same handle and size.
    EXPECT_EQ(renderer.width, 320.0f);
    EXPECT_EQ(renderer.height, 240.0f);
    EXPECT_TRUE(platform::SwapBuffers(nullptr) == false);
    renderer.Shutdown();
}

TEST_F(ContextTest, SamplesTheDriverCannotMeetFailStartUp) {
    platform::WindowHandle window = gltest::NewWindow(320, 240);
    ASSERT_TRUE(window);
    GLRenderer renderer;
    EXPECT_FALSE(renderer.Init(window, 64));
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"ERROR: Failed to get a proper FSAA pixel format!",
                                                      "ERROR: Failed to initialize OpenGL Context!"}));
    EXPECT_FALSE(renderer.missingTexture);
    logger.lines.clear();
    renderer.Shutdown();
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(ContextTest, NoWindowNoContext) {
    GLRenderer renderer;
    EXPECT_FALSE(renderer.Init(nullptr, 0));
    EXPECT_EQ(logger.lines, (std::vector<std::string>{"ERROR: Failed to get a proper pixel format!",
                                                      "ERROR: Failed to initialize OpenGL Context!"}));
    renderer.Shutdown();
}

TEST_F(ContextTest, ResizeFollowsTheWindowAndIgnoresAMinimisedOne) {
    platform::WindowHandle window = gltest::NewWindow(640, 360);
    ASSERT_TRUE(window);
    GLRenderer renderer;
    ASSERT_TRUE(renderer.Init(window, 0));
    auto viewport = [] {
        GLint v[4] = {-1, -1, -1, -1};
        glGetIntegerv(GL_VIEWPORT, v);
        return glm::ivec4(v[0], v[1], v[2], v[3]);
    };

    renderer.Resize(600, 800);
    EXPECT_EQ(renderer.width, 800.0f);
    EXPECT_EQ(renderer.height, 600.0f);
    EXPECT_EQ(viewport(), glm::ivec4(0, 0, 800, 600));
    const float* p = &(*renderer.GetProjectionMatrix())[0][0];
    EXPECT_FLOAT_EQ(p[0], p[5] / (800.0f / 600.0f));
    EXPECT_FLOAT_EQ(renderer.OrthoProjection()[0][0], 2.0f / 800.0f);
    EXPECT_FLOAT_EQ(renderer.OrthoProjection()[1][1], 2.0f / 600.0f);
    EXPECT_FLOAT_EQ(renderer.OrthoProjection()[3][3], 1.0f);

    // The same size again changes nothing, not even the viewport.
    glViewport(1, 2, 3, 4);
    const glm::mat4 before = *renderer.GetProjectionMatrix();
    renderer.Resize(600, 800);
    EXPECT_EQ(viewport(), glm::ivec4(1, 2, 3, 4));
    EXPECT_EQ(*renderer.GetProjectionMatrix(), before);

    // Minimised: the size is stored, the matrices stay finite and as they were.
    const glm::mat4 ortho = renderer.OrthoProjection();
    renderer.Resize(0, 800);
    EXPECT_EQ(renderer.height, 0.0f);
    EXPECT_EQ(viewport(), glm::ivec4(0, 0, 800, 0));
    EXPECT_EQ(*renderer.GetProjectionMatrix(), before);
    EXPECT_EQ(renderer.OrthoProjection(), ortho);
    for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite((&(*renderer.GetProjectionMatrix())[0][0])[i]));

    // The next real size rebuilds both.
    renderer.Resize(300, 400);
    EXPECT_FLOAT_EQ(renderer.OrthoProjection()[1][1], 2.0f / 300.0f);
    EXPECT_FLOAT_EQ(p[0], p[5] / (400.0f / 300.0f));
    renderer.Shutdown();
}

// Mesa below 3.3 refuses the versioned context: the legacy context that
// asked for it must not stay current (nor alive). Mesa reads the version
// override once per process, so the check runs in a fresh child process.
TEST(RefusedContext, LeavesNoContextCurrent) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1);
    auto attempt = [] {
        platform::WindowHandle window = gltest::NewWindow(64, 64);
        // exit, not _Exit: the test's X server stops with the static objects.
        if (!window) std::exit(2);
        GLContext context;
        const bool created = context.Create(window, 0);
        // Without a current context glGetString answers null.
        const bool nothingCurrent = glGetString(GL_VERSION) == nullptr;
        context.Release();
        std::exit(!created && nothingCurrent ? 0 : 1);
    };
    EXPECT_EXIT(attempt(), testing::ExitedWithCode(0), "");
    unsetenv("MESA_GL_VERSION_OVERRIDE");
}
