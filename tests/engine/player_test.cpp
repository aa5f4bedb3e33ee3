// The real player in scratch folders against private X servers: the log's
// bytes and lines for runs that stop early and runs that go the whole way,
// the window's place, size and caption, Escape, 'f', closing the window, and
// a second copy that finds the log taken.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <algorithm>
#include <fcntl.h>
#include <regex>
#include <unistd.h>

#include "tests/support/player_run.h"
#include "tests/support/x11_probe.h"
#include "tests/support/xvfb_server.h"

#include <X11/keysym.h>

namespace {

const std::regex kTimestamp(
    "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}\n");

std::vector<std::string> LogLines(const ScratchDir& dir) { return DecodeLogLines(dir.Read("LogFile.txt")); }

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool WaitForLine(const ScratchDir& dir, const std::string& line, double seconds = 90) {
    return WaitUntil([&] { return HasLine(LogLines(dir), line); }, seconds);
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

bool AllDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Every CR LF-terminated line, the timestamps' LF CR LF included, and the
// start and end a log must have.
void ExpectWellFormedLog(const PlayerResult& result) {
    const std::string& bytes = result.logBytes;
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_NE(bytes[0], '\xFF');  // no byte-order mark
    EXPECT_EQ(bytes[1], '\0');
    EXPECT_EQ(bytes.substr(bytes.size() - 6), std::string("\n\0\r\0\n\0", 6));
    EXPECT_EQ(bytes.substr(48, 6), std::string("\n\0\r\0\n\0", 6));  // end of the first timestamp
    const auto& lines = result.lines;
    ASSERT_GE(lines.size(), 5u);
    EXPECT_TRUE(std::regex_match(lines[0], kTimestamp)) << lines[0];
    EXPECT_EQ(lines[1], "Logger Initialized.");
    EXPECT_TRUE(std::regex_match(lines.back(), kTimestamp)) << lines.back();
    EXPECT_EQ(lines[lines.size() - 2], "Logger Shutting Down.");
}

class Player : public ::testing::Test {
protected:
    void Start(int width, int height) {
        server = std::make_unique<XvfbServer>(width, height);
        ASSERT_TRUE(server->ok());
        probe = std::make_unique<X11Probe>(server->name());
        ASSERT_TRUE(probe->ok());
    }

    // The main window once the renderer has settled its visual (which may
    // re-create the native window); 0 when start-up never got there.
    Window MainWindow(const ScratchDir& dir) {
        if (!WaitForLine(dir, "Engine Initialized.")) return 0;
        Window window = 0;
        WaitUntil([&] { return (window = probe->FindByCaption("Tessel")) != 0; }, 30);
        return window;
    }

    // Runs the player until it has started, then lets `act` end the run.
    PlayerResult RunAndThen(const ScratchDir& dir, PlayerOptions options,
                            const std::function<void(Window)>& act) {
        options.whileRunning = [&](pid_t, const ScratchDir& runDir) {
            Window window = MainWindow(runDir);
            ASSERT_NE(window, 0u) << "the player never showed its window";
            act(window);
        };
        options.timeoutSeconds = 60;
        return RunPlayer(server->name(), dir, options);
    }

    std::unique_ptr<XvfbServer> server;
    std::unique_ptr<X11Probe> probe;
};

}  // namespace

TEST_F(Player, WithoutConfigTheRefusedFullScreenModeEndsStartUp) {
    Start(1920, 1080);  // offers 1920 x 1080 only, not the default 1280 x 720
    ScratchDir dir;
    PlayerOptions options;
    options.writeConfig = false;
    PlayerResult result = RunPlayer(server->name(), dir, options);
    ASSERT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    ExpectWellFormedLog(result);
    std::vector<std::string> middle(result.lines.begin() + 1, result.lines.end() - 1);
    EXPECT_EQ(middle, (std::vector<std::string>{
                          "Logger Initialized.",
                          "Screen Width: ",
                          "Screen Height: ",
                          "Full Screen: ",
                          "ERROR: Error: Failed to read screen size values. Using defaults.",
                          "ERROR: Failed to create the main window!",
                          "Engine Shutting Down.",
                          "Logger Shutting Down.",
                      }));
    EXPECT_EQ(probe->FindByCaption("Tessel", false), 0u);
}

TEST_F(Player, RendererFailureIsFollowedByTheShutdownLines) {
    Start(1280, 720);
    ScratchDir dir;
    PlayerOptions options;
    options.config = "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 64;\n";
    PlayerResult result = RunPlayer(server->name(), dir, options);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    ExpectWellFormedLog(result);
    const auto& lines = result.lines;
    std::vector<std::string> head(lines.begin() + 1, lines.begin() + std::min<size_t>(lines.size(), 6));
    EXPECT_EQ(head, (std::vector<std::string>{"Logger Initialized.", "Screen Width: 640", "Screen Height: 360",
                                              "Full Screen: 0", "Full Scene Anti Aliasing: 64"}));
    size_t failed = IndexOf(lines, "ERROR: Failed to initialize the renderer!");
    ASSERT_LT(failed + 2, lines.size());
    EXPECT_EQ(lines[failed + 1], "Engine Shutting Down.");
    EXPECT_EQ(lines[failed + 2], "Renderer Shutting Down.");
    EXPECT_FALSE(HasLine(lines, "Renderer Initialized."));
    // The log is recreated, not appended to, by the next run.
    PlayerResult again = RunPlayer(server->name(), dir, options);
    EXPECT_EQ(again.lines.size(), lines.size());
}

TEST_F(Player, ASecondCopyCannotOpenTheLogAndLeavesItAlone) {
    Start(640, 480);
    ScratchDir dir;
    std::string before = "first copy's log";
    dir.Write("LogFile.txt", before);
    // Hold the log the way a running first copy does.
    int fd = open((dir / "LogFile.txt").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    PlayerResult result = RunPlayer(server->name(), dir, PlayerOptions{});
    close(fd);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.logBytes, before);
    EXPECT_NE(result.stderrText.find("LogFile.txt"), std::string::npos) << result.stderrText;
    EXPECT_EQ(probe->FindByCaption("Tessel", false), 0u);
}

TEST_F(Player, TwoRealCopiesShareOneLogWriter) {
    Start(1920, 1080);
    ScratchDir dir;
    PlayerOptions options;
    PlayerResult second;
    std::string firstLogDuring;
    PlayerResult first = RunAndThen(dir, options, [&](Window window) {
        firstLogDuring = dir.Read("LogFile.txt");
        PlayerOptions secondOptions;
        secondOptions.writeConfig = false;
        secondOptions.showFolders.clear();
        second = RunPlayer(server->name(), dir, secondOptions);
        EXPECT_TRUE(dir.Read("LogFile.txt").compare(0, firstLogDuring.size(), firstLogDuring) == 0);
        probe->TypeKey(window, XK_Escape);
    });
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_FALSE(second.timedOut);
    EXPECT_NE(second.stderrText.find("LogFile.txt"), std::string::npos);
    EXPECT_EQ(first.exitCode, 0);
    ExpectWellFormedLog(first);
    EXPECT_EQ(std::count(first.lines.begin(), first.lines.end(), "Logger Initialized."), 1);
}

TEST_F(Player, EscapeEndsARunThatStartedFully) {
    Start(1920, 1080);
    ScratchDir dir;
    PlayerOptions options;
    // Only the width: both sizes fall back to 1280 x 720, centred.
    options.config = "ScreenWidth = 1920;\nIsFullScreen = 0;\nFSAA = 0;\n";
    int x = -1, y = -1, width = 0, height = 0;
    PlayerResult result = RunAndThen(dir, options, [&](Window window) {
        probe->Geometry(window, &x, &y, &width, &height);
        EXPECT_EQ(probe->Caption(window), "Tessel");
        probe->TypeKey(window, XK_Escape);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 180);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    ExpectWellFormedLog(result);
    const auto& lines = result.lines;
    std::vector<std::string> head(lines.begin() + 1, lines.begin() + std::min<size_t>(lines.size(), 7));
    EXPECT_EQ(head, (std::vector<std::string>{"Logger Initialized.", "Screen Width: 1920", "Screen Height: ",
                                              "Full Screen: 0",
                                              "ERROR: Error: Failed to read screen size values. Using defaults.",
                                              "Full Scene Anti Aliasing: 0"}));
    size_t renderer = IndexOf(lines, "Renderer Initialized.");
    ASSERT_LT(renderer + 1, lines.size());
    EXPECT_EQ(lines[renderer + 1], "Engine Initialized.");
    size_t shutdown = IndexOf(lines, "Engine Shutting Down.");
    ASSERT_LT(shutdown + 1, lines.size());
    EXPECT_EQ(lines[shutdown + 1], "Shutting Down Demo: Test Demo");
    EXPECT_LT(IndexOf(lines, "Renderer Shutting Down."), lines.size() - 2);
    EXPECT_GT(IndexOf(lines, "Renderer Shutting Down."), shutdown);
    EXPECT_LT(IndexOf(lines, "Initializing Demo: Test Demo"), shutdown);
}

TEST_F(Player, LowercaseFTogglesTheFrameCountInTheCaption) {
    Start(1280, 720);
    ScratchDir dir;
    bool digits = false, restored = false, digitsAfterShiftF = false;
    std::string shown;
    PlayerResult result = RunAndThen(dir, PlayerOptions{}, [&](Window window) {
        probe->TypeKey(window, XK_f);
        digits = WaitUntil([&] { return AllDigits(shown = probe->Caption(window)); }, 30);
        probe->TypeKey(window, XK_f);
        restored = WaitUntil([&] { return probe->Caption(window) == "Tessel"; }, 30);
        // Upper case F must not toggle: otherwise this f would switch it off again.
        probe->TypeKey(window, XK_f, true);
        probe->TypeKey(window, XK_f);
        digitsAfterShiftF = WaitUntil([&] { return AllDigits(probe->Caption(window)); }, 30);
        probe->TypeKey(window, XK_Escape);
    });
    EXPECT_TRUE(digits) << shown;
    EXPECT_TRUE(restored);
    EXPECT_TRUE(digitsAfterShiftF);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.timedOut);
}

TEST_F(Player, ClosingTheWindowEndsTheRun) {
    Start(1280, 720);
    ScratchDir dir;
    PlayerResult result = RunAndThen(dir, PlayerOptions{}, [&](Window window) { probe->RequestClose(window); });
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    ExpectWellFormedLog(result);
    EXPECT_TRUE(HasLine(result.lines, "Engine Shutting Down."));
    EXPECT_TRUE(HasLine(result.lines, "Renderer Shutting Down."));
}

TEST_F(Player, FullScreenWithoutConfigAtTheOfferedSize) {
    Start(1280, 720);
    ScratchDir dir;
    PlayerOptions options;
    options.writeConfig = false;
    int x = -1, y = -1, width = 0, height = 0;
    bool fullScreenState = false;
    PlayerResult result = RunAndThen(dir, options, [&](Window window) {
        probe->Geometry(window, &x, &y, &width, &height);
        fullScreenState = probe->HasFullScreenState(window);
        probe->TypeKey(window, XK_Escape);
    });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    EXPECT_TRUE(fullScreenState);
    EXPECT_TRUE(HasLine(result.lines, "ERROR: Error: Failed to read screen size values. Using defaults."));
    EXPECT_TRUE(HasLine(result.lines, "ERROR: Error: Failed to read FSAA value. Using default."));
    EXPECT_TRUE(HasLine(result.lines, "Multisampling Disabled"));
}

TEST_F(Player, OutOfRangeValuesFallBackToDefaults) {
    Start(1920, 1080);
    ScratchDir dir;
    PlayerOptions options;
    options.config = "ScreenWidth = -640;\nScreenHeight = 99999999999;\nIsFullScreen = 0;\nFSAA = -5;\n";
    int width = 0, height = 0, x, y;
    PlayerResult result = RunAndThen(dir, options, [&](Window window) {
        probe->Geometry(window, &x, &y, &width, &height);
        probe->TypeKey(window, XK_Escape);
    });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 720);
    const auto& lines = result.lines;
    EXPECT_TRUE(HasLine(lines, "Screen Width: -640"));
    EXPECT_TRUE(HasLine(lines, "Screen Height: 99999999999"));
    EXPECT_TRUE(HasLine(lines, "ERROR: Error: Failed to read screen size values. Using defaults."));
    EXPECT_TRUE(HasLine(lines, "Full Scene Anti Aliasing: -5"));
    EXPECT_TRUE(HasLine(lines, "ERROR: Error: Failed to read FSAA value. Using default."));
    EXPECT_TRUE(HasLine(lines, "Multisampling Disabled"));
}

TEST(PlayerWithoutDisplay, StageOneFailsAndSaysWhyOnStandardError) {
    ScratchDir dir;
    PlayerResult result = RunPlayer(":999999", dir, PlayerOptions{});
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    ExpectWellFormedLog(result);
    EXPECT_EQ(ErrorLines(result.lines), (std::vector<std::string>{"ERROR: Failed to get a proper pixel format!",
                                                                   "ERROR: Failed to initialize extensions!"}));
    EXPECT_NE(result.stderrText.find("cannot open the X display"), std::string::npos);
}
