// Full screen: the current mode counts as offered, an unoffered size is
// refused with no window, and an offered other mode is switched to and put
// back once the layer lets go of the display.
#include "tests/platform/on_xvfb.h"

#include <gmock/gmock.h>

#include <X11/extensions/Xrandr.h>

#include <csignal>
#include <cstring>

namespace {

class DisplayModeTest : public OnXvfb {
protected:
    // Offers an extra mode on the server's output, as a real adapter would.
    bool OfferMode(int width, int height) {
        Display* display = probe->native();
        Window root = DefaultRootWindow(display);
        XRRScreenResources* resources = XRRGetScreenResources(display, root);
        if (!resources || resources->noutput < 1) return false;
        XRRModeInfo info;
        std::memset(&info, 0, sizeof info);
        std::string name = std::to_string(width) + "x" + std::to_string(height);
        info.width = width;
        info.height = height;
        info.name = name.data();
        info.nameLength = static_cast<unsigned>(name.size());
        info.dotClock = 40000000;
        info.hTotal = width + 256;
        info.vTotal = height + 28;
        RRMode mode = XRRCreateMode(display, root, &info);
        XRRAddOutputMode(display, resources->outputs[0], mode);
        XSync(display, False);
        XRRFreeScreenResources(resources);
        return mode != 0;
    }
    // The width of the mode the server's first output shows; 0 when unknown.
    int OutputModeWidth() {
        Display* display = probe->native();
        XRRScreenResources* resources = XRRGetScreenResources(display, DefaultRootWindow(display));
        if (!resources) return 0;
        int width = 0;
        if (XRROutputInfo* output = resources->noutput > 0 ? XRRGetOutputInfo(display, resources, resources->outputs[0]) : nullptr) {
            if (XRRCrtcInfo* crtc = output->crtc ? XRRGetCrtcInfo(display, resources, output->crtc) : nullptr) {
                width = static_cast<int>(crtc->width);
                XRRFreeCrtcInfo(crtc);
            }
            XRRFreeOutputInfo(output);
        }
        XRRFreeScreenResources(resources);
        return width;
    }
};

}  // namespace

TEST_F(DisplayModeTest, FullScreenAtTheCurrentModeCoversTheScreen) {
    StartServer(800, 600);
    Engine engine;
    ASSERT_TRUE(engine.window.Create(platform::GetInstance(), &engine, 800, 600, true, true));
    ASSERT_NE(engine.window.handle, nullptr);
    Window native = probe->FindByCaption("Tessel");
    ASSERT_EQ(native, engine.window.handle->window);
    int x, y, width, height;
    ASSERT_TRUE(probe->Geometry(native, &x, &y, &width, &height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    EXPECT_TRUE(probe->HasFullScreenState(native));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(probe->native(), native, &attributes));
    EXPECT_EQ(probe->ScreenWidth(), 800);
}

TEST_F(DisplayModeTest, AnUnofferedSizeIsRefusedWithoutAWindow) {
    StartServer(800, 600);
    AppWindow window;
    EXPECT_FALSE(window.Create(platform::GetInstance(), nullptr, 1024, 768, true, true));
    EXPECT_EQ(window.handle, nullptr);
    EXPECT_EQ(probe->FindByCaption("Tessel", false), 0u);
    EXPECT_FALSE(platform::ChangeDisplayMode(0, 600));
    EXPECT_FALSE(platform::ChangeDisplayMode(-800, -600));
    EXPECT_EQ(probe->ScreenWidth(), 800);
}

TEST_F(DisplayModeTest, AnOfferedModeIsSwitchedToAndRestored) {
    StartServer(1024, 768);
    ASSERT_TRUE(OfferMode(800, 600));
    AppWindow window;
    ASSERT_TRUE(window.Create(platform::GetInstance(), nullptr, 800, 600, true, true));
    EXPECT_EQ(probe->ScreenWidth(), 800);
    EXPECT_EQ(probe->ScreenHeight(), 600);
    EXPECT_EQ(platform::GetScreenWidth(), 800);
    int x, y, width, height;
    ASSERT_TRUE(probe->Geometry(window.handle->window, &x, &y, &width, &height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(width, 800);
    // Interrupting a switched run asks the loop to quit instead of killing it.
    platform::Message message;
    while (platform::PeekMessage(&message)) {
    }
    raise(SIGINT);
    ASSERT_TRUE(platform::PeekMessage(&message));
    while (message.message != platform::WM_QUIT && platform::PeekMessage(&message)) {
    }
    EXPECT_EQ(message.message, platform::WM_QUIT);
    platform::x11::CloseInstance();  // what process exit does
    EXPECT_EQ(probe->ScreenWidth(), 1024);
    EXPECT_EQ(probe->ScreenHeight(), 768);
}

TEST_F(DisplayModeTest, AScreenResizeRefusedAfterTheSwitchPutsTheModeBack) {
    StartServer(1024, 768);
    ASSERT_TRUE(OfferMode(800, 600));
    // A screen 1 mm across: at 800 of its 1024 pixels it would be 0 mm wide,
    // which X refuses once the output has already switched to 800 x 600.
    Display* display = probe->native();
    XRRSetScreenSize(display, DefaultRootWindow(display), 1024, 768, 1, 1);
    XSync(display, False);
    platform::x11::CloseInstance();  // the next connection reads the new size
    ASSERT_NE(platform::GetInstance(), nullptr);
    ASSERT_EQ(DisplayWidthMM(platform::GetInstance()->display, 0), 1);

    EXPECT_FALSE(platform::ChangeDisplayMode(800, 600));
    EXPECT_EQ(OutputModeWidth(), 1024);
    EXPECT_EQ(probe->ScreenWidth(), 1024);
    EXPECT_EQ(probe->ScreenHeight(), 768);
}

TEST_F(DisplayModeTest, LosingTheServerWhileSwitchedEndsTheProcessOnce) {
    // The run happens in a child process, which the lost connection ends.
    auto run = [this] {
        StartServer(1024, 768);
        if (!server || !probe || !OfferMode(800, 600)) std::_Exit(3);
        if (!platform::ChangeDisplayMode(800, 600)) std::_Exit(4);
        server.reset();  // the X server goes away while its mode is switched
        platform::Message message;
        for (;;) platform::PeekMessage(&message);
    };
    auto onceAndOursOnly = [](const std::string& text) {
        const std::string line = "tessel: lost the connection to the X display";
        size_t first = text.find(line);
        return first != std::string::npos && text.find(line, first + 1) == std::string::npos &&
               text.find("XIO") == std::string::npos;
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(1), testing::Truly(onceAndOursOnly));
}
