// The real player in a scratch folder: the renderer's log lines in order for
// a plain context, a 4-sample context and a sample count the driver refuses.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/player_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/x11_probe.h"
#include "tests/support/xvfb_server.h"

namespace {

std::string Config(int fsaa) {
    return "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = " + std::to_string(fsaa) + ";\n";
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Runs the player; once the demo has loaded (or the run has ended) it asks
// the window to close, as the close box would.
PlayerResult RunShow(const XvfbServer& server, const ScratchDir& dir, int fsaa,
                     const std::map<std::string, std::string>& environment = {}) {
    PlayerOptions options;
    options.config = Config(fsaa);
    options.environment = environment;
    options.timeoutSeconds = 60;
    options.whileRunning = [&server](pid_t player, const ScratchDir& folder) {
        auto lines = [&folder] { return DecodeLogLines(folder.Read("LogFile.txt")); };
        EXPECT_TRUE(WaitUntil([&] {
            auto l = lines();
            return Has(l, "Logger Shutting Down.") || Has(l, "Initializing Post Processor: Bloom") ||
                   kill(player, 0) != 0;
        }, 45)) << "the demo neither loaded nor ended";
        if (Has(lines(), "Logger Shutting Down.")) return;
        X11Probe probe(server.name());
        Window window = 0;
        EXPECT_TRUE(WaitUntil([&] { return (window = probe.FindByCaption("Tessel")) != 0 || Has(lines(), "Logger Shutting Down."); }, 20))
            << "no window and no end of the run";
        if (window) probe.RequestClose(window);
    };
    return RunPlayer(server.name(), dir, options);
}

// The lines from the first that starts with `from` to the first that starts
// with `to`, both included.
std::vector<std::string> Slice(const std::vector<std::string>& lines, const std::string& from, const std::string& to) {
    auto begin = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(from, 0) == 0; });
    auto end = std::find_if(begin, lines.end(), [&](const std::string& l) { return l.rfind(to, 0) == 0; });
    if (begin == lines.end() || end == lines.end()) return {};
    return std::vector<std::string>(begin, end + 1);
}

// The renderer's start-up lines with the driver's text cut off after the label.
std::vector<std::string> Labels(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        const size_t colon = line.find(": ");
        const bool driverText = line.rfind("Max OpenGL Version: ", 0) == 0 || line.rfind("Hardware ", 0) == 0 ||
                                line.rfind("OpenGL Context Version: ", 0) == 0;
        out.push_back(driverText && colon != std::string::npos ? line.substr(0, colon + 2) : line);
    }
    return out;
}

}  // namespace

TEST(PlayerRenderer, ContextLinesInOrderWithAndWithoutMultisampling) {
    XvfbServer server(1280, 720);
    ASSERT_TRUE(server.ok());
    for (int fsaa : {0, 4}) {
        SCOPED_TRACE(fsaa);
        ScratchDir dir;
        PlayerResult run = RunShow(server, dir, fsaa);
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.timedOut);
        std::vector<std::string> expected = {"Full Scene Anti Aliasing: " + std::to_string(fsaa),
                                             "Max OpenGL Version: ",
                                             "Hardware Vendor: ",
                                             "Hardware Renderer: ",
                                             "OpenGL Context Version: "};
        if (fsaa == 0) {
            expected.push_back("Multisampling Disabled");
        } else {
            expected.push_back("Multisampling Enabled");
            expected.push_back("Multisampling Buffers: 4");
        }
        expected.push_back("Anisotropic Filtering Level: 16");
        expected.push_back("Creating Texture: MissingTexture.png");
        expected.push_back("Renderer Initialized.");
        EXPECT_EQ(Labels(Slice(run.lines, "Full Scene Anti Aliasing: ", "Renderer Initialized.")), expected);

        // The versioned context is at least 3.3 and differs from nothing.
        auto version = std::find_if(run.lines.begin(), run.lines.end(), [](const std::string& l) {
            return l.rfind("OpenGL Context Version: ", 0) == 0;
        });
        ASSERT_NE(version, run.lines.end());
        EXPECT_GT(version->size(), std::string("OpenGL Context Version: ").size());
        EXPECT_NE(version->find("Core Profile"), std::string::npos) << *version;

        // Shutdown: one "Deleting Texture: " line per cached texture, the fallback among them.
        const std::vector<std::string> tail = Slice(run.lines, "Renderer Shutting Down.", "Logger Shutting Down.");
        ASSERT_GE(tail.size(), 3u);
        EXPECT_TRUE(std::all_of(tail.begin() + 1, tail.end() - 1,
                                [](const std::string& l) { return l.rfind("Deleting Texture: ", 0) == 0; }));
        EXPECT_TRUE(Has(tail, "Deleting Texture: MissingTexture.png"));
        for (const std::string& error : ErrorLines(run.lines))
            EXPECT_EQ(error.find("pixel format"), std::string::npos) << error;
    }
}

TEST(PlayerRenderer, SampleCountTheDriverRefusesEndsStartUp) {
    XvfbServer server(1280, 720);
    ASSERT_TRUE(server.ok());
    ScratchDir dir;
    PlayerResult run = RunShow(server, dir, 64);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    const std::vector<std::string> expected = {"Full Scene Anti Aliasing: 64",
                                               "ERROR: Failed to get a proper FSAA pixel format!",
                                               "ERROR: Failed to initialize OpenGL Context!",
                                               "ERROR: Failed to initialize the renderer!",
                                               "Engine Shutting Down.",
                                               "Renderer Shutting Down.",
                                               "Logger Shutting Down."};
    EXPECT_EQ(Slice(run.lines, "Full Scene Anti Aliasing: ", "Logger Shutting Down."), expected);
    EXPECT_FALSE(Has(run.lines, "Max OpenGL Version: "));
}

TEST(PlayerRenderer, DriverBelow33RefusesTheVersionedContext) {
    XvfbServer server(1280, 720);
    ASSERT_TRUE(server.ok());
    ScratchDir dir;
    // Mesa then offers at most OpenGL 3.0, and the 3.3 request is refused.
    PlayerResult run = RunShow(server, dir, 0, {{"MESA_GL_VERSION_OVERRIDE", "3.0"}});
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<std::string> slice = Slice(run.lines, "Max OpenGL Version: ", "Logger Shutting Down.");
    ASSERT_FALSE(slice.empty());
    EXPECT_EQ(slice[0].rfind("Max OpenGL Version: 3.0", 0), 0u) << slice[0];
    const std::vector<std::string> rest(slice.begin() + 1, slice.end());
    EXPECT_EQ(rest, (std::vector<std::string>{"ERROR: Failed to create desired OpenGL Context!",
                                              "ERROR: Failed to initialize OpenGL Context!",
                                              "ERROR: Failed to initialize the renderer!", "Engine Shutting Down.",
                                              "Renderer Shutting Down.", "Logger Shutting Down."}));
}
