// Windows of the one class: the centred main window, the hidden bootstrap
// window with GLEW loaded on it, captions as other X clients see them.
#include <gtest/gtest.h>

#include "render/IRenderer.h"
#include "render/gl.h"
#include "tests/platform/on_xvfb.h"

namespace {

class AppWindowTest : public OnXvfb {};

}  // namespace

TEST_F(AppWindowTest, MainWindowIsCentredWithItsCaptionAndClass) {
    StartServer(1920, 1080);
    Engine engine;
    ASSERT_TRUE(engine.window.Create(platform::GetInstance(), &engine, 1280, 720, true, false));
    EXPECT_EQ(gEngine, &engine);
    Window native = probe->FindByCaption("Tessel");
    ASSERT_NE(native, 0u);
    EXPECT_EQ(native, engine.window.handle->window);
    int x, y, width, height;
    ASSERT_TRUE(probe->Geometry(native, &x, &y, &width, &height));
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 180);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_EQ(probe->LegacyCaption(native), "Tessel");
    EXPECT_EQ(probe->FindByClass("NimbraWindow"), native);
    EXPECT_FALSE(probe->HasFullScreenState(native));

    int px, py;
    ASSERT_TRUE(platform::GetWindowPosition(engine.window.handle, &px, &py));
    EXPECT_EQ(px, 320);
    EXPECT_EQ(py, 180);
    engine.UpdateClientSize();
    EXPECT_EQ(engine.clientWidth, 1280);
    EXPECT_EQ(engine.clientHeight, 720);
    EXPECT_TRUE(platform::DestroyWindow(engine.window.handle));
    EXPECT_FALSE(probe->Exists(native));
}

TEST_F(AppWindowTest, EachHalfIsTruncatedBeforeTheSubtraction) {
    StartServer(1920, 1080);
    AppWindow window;
    ASSERT_TRUE(window.Create(platform::GetInstance(), nullptr, 1281, 719, true, false));
    int x, y;
    ASSERT_TRUE(platform::GetWindowPosition(window.handle, &x, &y));
    EXPECT_EQ(x, 960 - 640);
    EXPECT_EQ(y, 540 - 359);
}

TEST_F(AppWindowTest, BootstrapWindowStaysHiddenAndLoadsGlew) {
    StartServer(640, 480);
    AppWindow bootstrap;
    ASSERT_TRUE(bootstrap.Create(platform::GetInstance(), nullptr, 0, 0, false, false));
    ASSERT_NE(bootstrap.handle, nullptr);
    EXPECT_FALSE(probe->IsMapped(bootstrap.handle->window));
    platform::Rect rect;
    ASSERT_TRUE(platform::GetClientRect(bootstrap.handle, &rect));
    EXPECT_EQ(rect.right, 1);  // X has no 0 x 0 windows
    EXPECT_EQ(rect.bottom, 1);
    ASSERT_TRUE(bootstrap.LoadGLExtensions());
    EXPECT_NE(glGenVertexArrays, nullptr);
    EXPECT_NE(glCreateShader, nullptr);
    EXPECT_FALSE(probe->IsMapped(bootstrap.handle->window));
    EXPECT_EQ(probe->FindByCaption("Tessel"), 0u);
}

TEST_F(AppWindowTest, CaptionsReachOtherClientsAndReadBack) {
    StartServer(640, 480);
    AppWindow window;
    ASSERT_TRUE(window.Create(platform::GetInstance(), nullptr, 200, 100, true, false));
    EXPECT_EQ(platform::GetWindowTextLength(window.handle), 6);
    ASSERT_TRUE(platform::SetWindowText(window.handle, u"T\u00e4st \u20ac"));
    Window native = window.handle->window;
    EXPECT_EQ(probe->Caption(native), "T\xC3\xA4st \xE2\x82\xAC");
    EXPECT_EQ(probe->LegacyCaption(native), "T\xE4st ?");
    char16_t text[4];
    EXPECT_EQ(platform::GetWindowText(window.handle, text, 4), 3);
    EXPECT_EQ(std::u16string(text), u"T\u00e4s");
    ASSERT_TRUE(platform::SetWindowText(window.handle, u"60"));
    EXPECT_EQ(probe->Caption(native), "60");

    // A destroyed window has no caption and refuses changes.
    platform::WindowHandle gone = window.handle;
    ASSERT_TRUE(platform::DestroyWindow(gone));
    EXPECT_FALSE(platform::DestroyWindow(gone));
    EXPECT_FALSE(platform::SetWindowText(gone, u"x"));
    EXPECT_EQ(platform::GetWindowTextLength(gone), 0);
}

TEST_F(AppWindowTest, RecreatingWithAnotherVisualKeepsTheHandle) {
    StartServer(800, 600);
    AppWindow window;
    ASSERT_TRUE(window.Create(platform::GetInstance(), nullptr, 300, 200, true, false));
    Display* display = window.handle->instance->display;
    XVisualInfo wanted{};
    wanted.screen = window.handle->instance->screen;
    wanted.depth = 32;
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask | VisualDepthMask, &wanted, &count);
    if (!visuals || count == 0) GTEST_SKIP() << "this server has no 32-bit visual";
    Window before = window.handle->window;
    ASSERT_TRUE(platform::x11::RecreateWithVisual(window.handle, &visuals[0]));
    XFree(visuals);
    Window after = window.handle->window;
    EXPECT_NE(after, before);
    EXPECT_FALSE(probe->Exists(before));
    EXPECT_EQ(probe->FindByCaption("Tessel"), after);
    int x, y, width, height;
    ASSERT_TRUE(probe->Geometry(after, &x, &y, &width, &height));
    EXPECT_EQ(x, 400 - 150);
    EXPECT_EQ(y, 300 - 100);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);
}

TEST(AppWindowNoDisplay, NothingIsCreatedAndStageOneFails) {
    platform::x11::CloseInstance();
    const char* saved = getenv("DISPLAY");
    std::string previous = saved ? saved : "";
    setenv("DISPLAY", ":999999", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::GetInstance(), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot open the X display"), std::string::npos);
    AppWindow window;
    EXPECT_TRUE(window.Create(nullptr, nullptr, 640, 480, true, false));
    EXPECT_EQ(window.handle, nullptr);
    EXPECT_FALSE(window.LoadGLExtensions());
    EXPECT_FALSE(window.Create(nullptr, nullptr, 640, 480, true, true));  // no mode to switch
    platform::Message message;
    EXPECT_FALSE(platform::PeekMessage(&message));
    if (saved) setenv("DISPLAY", previous.c_str(), 1); else unsetenv("DISPLAY");
    gEngine = nullptr;
}

namespace {

// Records what the engine passes on to the renderer when the window changes size.
class SizeRecordingRenderer final : public IRenderer {
public:
    bool Init(platform::WindowHandle, int) override { return true; }
    void Shutdown() override {}
    bool RenderFrame(IEffect*) override { return true; }
    ITexture* LoadTexture(const char*, bool) override { return nullptr; }
    Camera* GetCamera() override { return &camera; }
    glm::mat4* GetProjectionMatrix() override { return &projection; }
    void Resize(int height, int width) override { sizes.push_back({height, width}); }
    void InitLoadingBar() override {}
    void ShutdownLoadingBar() override {}
    void DrawLoadingBar() override {}
    void CreateMissingTexture() override {}
    ITexture* CreateTexture(const unsigned char*, int, int) override { return nullptr; }
    ITexture* CreateCubeMapTexture(const unsigned char*, int, int) override { return nullptr; }
    void DeleteTexture(ITexture*) override {}

    glm::mat4 projection{1.0f};
    std::vector<std::pair<int, int>> sizes;
};

}  // namespace

TEST_F(AppWindowTest, ResizingPassesHeightThenWidthToTheRenderer) {
    StartServer(1280, 720);
    Engine engine;
    ASSERT_TRUE(engine.window.Create(platform::GetInstance(), &engine, 640, 360, true, false));
    SizeRecordingRenderer renderer;
    engine.renderer = &renderer;
    XResizeWindow(probe->native(), engine.window.handle->window, 800, 450);
    XSync(probe->native(), False);
    EXPECT_TRUE(PumpUntil([&] { return !renderer.sizes.empty() && renderer.sizes.back().second == 800; }));
    ASSERT_FALSE(renderer.sizes.empty());
    EXPECT_EQ(renderer.sizes.back(), std::make_pair(450, 800));
    EXPECT_EQ(engine.clientWidth, 800);
    EXPECT_EQ(engine.clientHeight, 450);
    engine.renderer = nullptr;
}
