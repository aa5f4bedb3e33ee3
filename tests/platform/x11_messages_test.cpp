// The message queue: creation messages sent at once, keys typed through the
// X server arriving as WM_KEYDOWN then WM_CHAR, resizing and moving, the
// close protocol ending in WM_DESTROY, and the order of posted messages and
// the quit message.
// gtest comes before the X11 headers, whose macros (None, Bool) clash with it.
#include "tests/platform/on_xvfb.h"

#include <X11/keysym.h>

namespace {

std::vector<platform::Message> gSeen;

platform::Result Record(platform::WindowHandle window, platform::MessageId message, platform::WParam wParam,
                        platform::LParam lParam) {
    gSeen.push_back(platform::Message{window, message, wParam, lParam});
    return platform::DefWindowProc(window, message, wParam, lParam);
}

class MessagesTest : public OnXvfb {
protected:
    platform::WindowHandle NewWindow(int x, int y, int width, int height) {
        platform::WindowClass windowClass;
        windowClass.procedure = Record;
        windowClass.instance = platform::GetInstance();
        windowClass.className = u"Recorder";
        platform::RegisterClass(windowClass);
        gSeen.clear();
        platform::WindowHandle window = platform::CreateWindow(0, u"Recorder", u"Recorded", 0, x, y, width, height,
                                                               platform::GetInstance());
        if (window) platform::ShowWindow(window, platform::SW_SHOW);
        return window;
    }

    static bool Saw(platform::MessageId id) {
        for (const auto& message : gSeen)
            if (message.message == id) return true;
        return false;
    }
    static std::vector<platform::Message> Only(std::initializer_list<platform::MessageId> ids) {
        std::vector<platform::Message> kept;
        for (const auto& message : gSeen)
            for (auto id : ids)
                if (message.message == id) kept.push_back(message);
        return kept;
    }
};

}  // namespace

TEST_F(MessagesTest, CreationSendsSizeThenMoveBeforeReturning) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(10, 20, 300, 200);
    ASSERT_NE(window, nullptr);
    ASSERT_GE(gSeen.size(), 2u);
    EXPECT_EQ(gSeen[0].message, platform::WM_SIZE);
    EXPECT_EQ(gSeen[0].lParam, platform::x11::MakeLParam(300, 200));
    EXPECT_EQ(gSeen[1].message, platform::WM_MOVE);
    EXPECT_EQ(gSeen[1].lParam, platform::x11::MakeLParam(10, 20));
    EXPECT_FALSE(platform::RegisterClass(platform::WindowClass{0, Record, nullptr, u"Recorder"}));
}

TEST_F(MessagesTest, KeysArriveAsKeyDownThenTypedCharacter) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    gSeen.clear();
    ASSERT_TRUE(probe->TypeKey(window->window, XK_f));
    ASSERT_TRUE(probe->TypeKey(window->window, XK_f, true));
    ASSERT_TRUE(probe->TypeKey(window->window, XK_Escape));
    ASSERT_TRUE(PumpUntil([] { return Only({platform::WM_KEYDOWN, platform::WM_CHAR}).size() >= 7; }));
    auto keys = Only({platform::WM_KEYDOWN, platform::WM_CHAR});
    ASSERT_EQ(keys.size(), 7u);
    EXPECT_EQ(keys[0].message, platform::WM_KEYDOWN);
    EXPECT_EQ(keys[0].wParam, static_cast<platform::WParam>('F'));
    EXPECT_EQ(keys[1].message, platform::WM_CHAR);
    EXPECT_EQ(keys[1].wParam, static_cast<platform::WParam>('f'));
    EXPECT_EQ(keys[2].message, platform::WM_KEYDOWN);  // Shift
    EXPECT_EQ(keys[2].wParam, 0x10u);
    EXPECT_EQ(keys[3].message, platform::WM_KEYDOWN);
    EXPECT_EQ(keys[3].wParam, static_cast<platform::WParam>('F'));
    EXPECT_EQ(keys[4].message, platform::WM_CHAR);
    EXPECT_EQ(keys[4].wParam, static_cast<platform::WParam>('F'));
    EXPECT_EQ(keys[5].message, platform::WM_KEYDOWN);
    EXPECT_EQ(keys[5].wParam, platform::VK_ESCAPE);
    EXPECT_EQ(keys[6].message, platform::WM_CHAR);
    EXPECT_EQ(keys[6].wParam, 0x1Bu);
    for (const auto& key : keys) EXPECT_EQ(key.window, window);
}

TEST_F(MessagesTest, NavigationKeysArriveAsTheirVirtualKeys) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    gSeen.clear();
    const std::pair<KeySym, platform::WParam> keys[] = {
        {XK_Page_Up, platform::VK_PRIOR}, {XK_Page_Down, platform::VK_NEXT}, {XK_Home, platform::VK_HOME},
        {XK_End, platform::VK_END},       {XK_Left, platform::VK_LEFT},      {XK_Right, platform::VK_RIGHT},
        {XK_Tab, platform::VK_TAB},       {XK_space, platform::VK_SPACE}};
    for (const auto& key : keys) ASSERT_TRUE(probe->TypeKey(window->window, key.first));
    ASSERT_TRUE(PumpUntil([] { return Only({platform::WM_KEYDOWN}).size() >= 8; }));
    auto downs = Only({platform::WM_KEYDOWN});
    ASSERT_EQ(downs.size(), 8u);
    for (size_t i = 0; i < downs.size(); ++i) EXPECT_EQ(downs[i].wParam, keys[i].second) << i;
}

TEST_F(MessagesTest, ResizingAndMovingSendSizeAndMove) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    gSeen.clear();
    XMoveResizeWindow(probe->native(), window->window, 40, 50, 320, 240);
    XSync(probe->native(), False);
    ASSERT_TRUE(PumpUntil([] { return Saw(platform::WM_SIZE) && Saw(platform::WM_MOVE); }));
    auto sizes = Only({platform::WM_SIZE});
    EXPECT_EQ(sizes.back().lParam, platform::x11::MakeLParam(320, 240));
    auto moves = Only({platform::WM_MOVE});
    EXPECT_EQ(moves.back().lParam, platform::x11::MakeLParam(40, 50));
    platform::Rect rect;
    ASSERT_TRUE(platform::GetClientRect(window, &rect));
    EXPECT_EQ(rect.right, 320);
    EXPECT_EQ(rect.bottom, 240);
}

TEST_F(MessagesTest, ASizeMeasuredBeforeItsEventArrivesIsStillReported) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    platform::Message message;
    while (platform::PeekMessage(&message)) platform::DispatchMessage(&message);
    gSeen.clear();
    XResizeWindow(probe->native(), window->window, 420, 260);
    XSync(probe->native(), False);
    // The engine measures on a move, which may come before the resize's event.
    platform::Rect rect;
    ASSERT_TRUE(platform::GetClientRect(window, &rect));
    ASSERT_EQ(rect.right, 420);
    ASSERT_TRUE(PumpUntil([] { return Saw(platform::WM_SIZE); }));
    auto sizes = Only({platform::WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].lParam, platform::x11::MakeLParam(420, 260));
}

TEST_F(MessagesTest, CloseRequestDestroysTheWindowThroughTheDefault) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    Window native = window->window;
    gSeen.clear();
    ASSERT_TRUE(probe->RequestClose(native));
    ASSERT_TRUE(PumpUntil([] { return Saw(platform::WM_DESTROY); }));
    auto seen = Only({platform::WM_CLOSE, platform::WM_DESTROY});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].message, platform::WM_CLOSE);
    EXPECT_EQ(seen[1].message, platform::WM_DESTROY);
    EXPECT_FALSE(probe->Exists(native));
}

TEST_F(MessagesTest, QuitComesAfterWaitingMessagesAndPeekNeverBlocks) {
    StartServer(800, 600);
    platform::WindowHandle window = NewWindow(0, 0, 300, 200);
    ASSERT_NE(window, nullptr);
    platform::Message message;
    while (platform::PeekMessage(&message)) platform::DispatchMessage(&message);
    EXPECT_FALSE(platform::PeekMessage(&message));  // empty: returns at once

    platform::PostQuitMessage(-1);
    platform::x11::PostMessage(window, platform::WM_CHAR, 'a', 0);
    platform::x11::PostMessage(window, platform::WM_CHAR, 'b', 0);
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_CHAR);
    EXPECT_EQ(message.wParam, static_cast<platform::WParam>('a'));
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.wParam, static_cast<platform::WParam>('b'));
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_EQ(static_cast<int>(static_cast<platform::LParam>(message.wParam)), -1);
    EXPECT_EQ(message.window, nullptr);
    EXPECT_EQ(platform::DispatchMessage(&message), 0);
    EXPECT_FALSE(platform::PeekMessage(&message));

    // Messages posted to a window that goes away are dropped with it.
    platform::x11::PostMessage(window, platform::WM_CHAR, 'c', 0);
    ASSERT_TRUE(platform::DestroyWindow(window));
    while (platform::PeekMessage(&message)) EXPECT_NE(message.message, platform::WM_CHAR);
}
