// The real tessel-author on a private X server, in a scratch show folder
// with its own track source, song form and shaders: a constant source shows
// a picture; rewriting it with Fade at 1 turns the window black; a broken
// source keeps it black and prints FILE:LINE:COLUMN; restoring it brings the
// picture back; a broken shader keeps the old programs; the song's end
// holds the run; Space freezes the picture and Right prints the next bar.
// Every wait is for a printed line or a pixel condition.
// gtest comes before the X11 headers, whose macros clash with it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdio>
#include <dirent.h>

#include <nlohmann/json.hpp>

#include "author/Transport.h"
#include "tests/support/http_client.h"
#include "tests/support/player_run.h"
#include "tests/support/running_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"
#include "tests/support/x11_probe.h"
#include "tests/support/xvfb_server.h"
#include "tests/support/text.h"

namespace {

const char kConfig[] = "ScreenWidth = 640;\nScreenHeight = 360;\nIsFullScreen = 0;\nFSAA = 0;\n";

// The tunnel through the bloom, every value held from the first row.
std::string ConstantSource(float fade) {
    return "track Effect Index\n  0 1\n"
           "track PostProcessor Index\n  0 1\n"
           "track Effect Time\n  0 -1\n"
           "track Camera Distance\n  0 40\n"
           "track Bloom Dry\n  0 1\n"
           "track Bloom Wet\n  0 0.3\n"
           "track Exposure\n  0 1\n"
           "track Fade\n  0 " +
           std::to_string(fade) + "\n";
}

class AuthorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        LinkBuiltShow(show, {"Audio", "Textures", "sync"});
        show.Write("Config.txt", kConfig);
        work.Write("show.sync", ConstantSource(0));
        work.Write("song.txt", ReadFileBytes(std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt"));
        const std::string shaders = std::string(TESSEL_SOURCE_DIR) + "/data/Shaders/";
        if (DIR* folder = opendir(shaders.c_str())) {
            while (dirent* entry = readdir(folder))
                if (entry->d_name[0] != '.')
                    work.Write(std::string("Shaders/") + entry->d_name, ReadFileBytes(shaders + entry->d_name));
            closedir(folder);
        }
        work.Write("tmp/.keep", "");
    }

    // With the editing service on a free port, or without it (--no-editor).
    void Start(bool editor = true) {
        std::vector<std::string> args{"--sync", work / "show.sync", "--sections", work / "song.txt", "--shaders",
                                      work / "Shaders"};
        if (editor) {
            args.insert(args.end(), {"--port", "0"});
        } else {
            args.push_back("--no-editor");
        }
        author = std::make_unique<RunningProgram>(
            TESSEL_AUTHOR, args,
            show.path(),
            std::map<std::string, std::optional<std::string>>{
                {"DISPLAY", server.name()}, {"ALSOFT_DRIVERS", "null"}, {"TMPDIR", work / "tmp"}});
        ASSERT_TRUE(author->started());
        ASSERT_GE(author->WaitForLine([](const std::string& l) { return StartsWith(l, "tracks reloaded"); }, 0, 120),
                  0)
            << author->ErrorText();
        ASSERT_TRUE(WaitUntil([&] { return (window = probe.FindByCaption("Tessel Author")) != 0; }, 30));
        // Only a failed reload's lines stay up, in the top left corner.
        ASSERT_TRUE(probe.TypeKey(window, XK_Tab));
        ASSERT_GE(author->WaitForLine([](const std::string& l) { return l == "overlay hidden"; }), 0);
    }

    // Frames the show has presented, as its editing service counts them;
    // -1 when it does not answer.
    long FramesPresented() {
        if (port == 0) {
            for (const std::string& line : author->Lines())
                if (std::sscanf(line.c_str(), "editor: http://127.0.0.1:%d/?token=", &port) == 1)
                    token = line.substr(line.find("token=") + 6);
        }
        if (port == 0) return -1;
        const HttpReply reply = Http(port, "GET", "/api/show", "", {"Authorization: Bearer " + token});
        const nlohmann::json show = nlohmann::json::parse(reply.body, nullptr, false);
        return reply.status == 200 && show.contains("frame") ? show["frame"].get<long>() : -1;
    }
    // Waits until `count` more frames than now have been presented.
    bool WaitForFrames(long count) {
        const long from = FramesPresented();
        return from >= 0 && WaitUntil([&] { return FramesPresented() >= from + count; }, 30);
    }

    // The lower right part of the window, away from a failed reload's lines.
    std::vector<uint32_t> Corner() {
        int width = 0, height = 0;
        std::vector<uint32_t> all = probe.Capture(window, &width, &height);
        std::vector<uint32_t> corner;
        for (int y = height / 2; y < height; ++y)
            for (int x = width * 2 / 3; x < width; ++x) corner.push_back(all[static_cast<size_t>(y) * width + x]);
        return corner;
    }
    static size_t Lit(const std::vector<uint32_t>& pixels) {
        size_t lit = 0;
        for (uint32_t p : pixels)
            if (((p >> 16) & 0xFF) > 24 || ((p >> 8) & 0xFF) > 24 || (p & 0xFF) > 24) ++lit;
        return lit;
    }
    bool ShowsAPicture() {
        const std::vector<uint32_t> corner = Corner();
        return !corner.empty() && Lit(corner) > corner.size() / 10;
    }
    bool IsBlack() {
        const std::vector<uint32_t> corner = Corner();
        return !corner.empty() && Lit(corner) == 0;
    }
    // Waits for the next line that starts with `start`; the line or "".
    std::string NextLine(const std::string& start, size_t* from) {
        const int at = author->WaitForLine([&](const std::string& l) { return StartsWith(l, start); }, *from, 30);
        if (at < 0) return "";
        *from = static_cast<size_t>(at) + 1;
        return author->Lines()[static_cast<size_t>(at)];
    }
    void Quit() {
        ASSERT_TRUE(probe.TypeKey(window, XK_Escape));
        EXPECT_EQ(author->Wait(60), 0) << author->ErrorText();
    }

    XvfbServer server{1024, 768};
    X11Probe probe{server.name()};
    ScratchDir show;
    ScratchDir work;
    std::unique_ptr<RunningProgram> author;
    Window window = 0;
    int port = 0;
    std::string token;
};

size_t Entries(const std::string& folder) {
    size_t count = 0;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') ++count;
        closedir(dir);
    }
    return count;
}

// Whether a hidden run folder of tessel-author is in `folder`.
bool HasRunFolder(const std::string& folder) {
    bool found = false;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name).rfind(".tessel-author-", 0) == 0) found = true;
        closedir(dir);
    }
    return found;
}

}  // namespace

TEST_F(AuthorWindow, SavesOfTheSourceChangeThePictureAndErrorsKeepTheLastGoodTracks) {
    Start();
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 60)) << "the constant source shows the tunnel";
    size_t from = author->Lines().size();

    work.Write("show.sync", ConstantSource(1));
    ASSERT_FALSE(NextLine("tracks reloaded", &from).empty());
    EXPECT_TRUE(WaitUntil([&] { return IsBlack(); }, 10)) << "Fade 1 is black";

    // A rename-over save of a source with an error on line 2.
    work.Write("show.sync.new", "track Fade\n  nowhere 0\n");
    ASSERT_EQ(std::rename((work / "show.sync.new").c_str(), (work / "show.sync").c_str()), 0);
    const std::string error = NextLine(work / "show.sync:", &from);
    EXPECT_TRUE(StartsWith(error, work / "show.sync:2:3: ")) << error;
    EXPECT_TRUE(IsBlack()) << "the last good tracks still play";

    work.Write("show.sync", ConstantSource(0));
    ASSERT_FALSE(NextLine("tracks reloaded", &from).empty());
    EXPECT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 10));
    Quit();
    EXPECT_EQ(Entries(work / "tmp"), 0u) << "nothing is written to the temporary folder";
    EXPECT_FALSE(HasRunFolder(show.path())) << "the run folder is gone";
    EXPECT_TRUE(ReadFileBytes(show / "LogFile.txt").empty()) << "the player's log is not written";
    EXPECT_NE(ReadFileBytes(show / "AuthorLog.txt").find("Logger Shutting Down."), std::string::npos);
}

TEST_F(AuthorWindow, AShaderThatFailsKeepsTheOldProgramsUntilItCompiles) {
    Start();
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 60));
    size_t from = author->Lines().size();
    const std::string good = work.Read("Shaders/TexturedLit.frag");
    ASSERT_FALSE(good.empty());
    work.Write("Shaders/TexturedLit.frag", good + "\nthis is not GLSL\n");
    EXPECT_EQ(NextLine("TexturedLit.frag:", &from), "TexturedLit.frag: the old programs are kept");
    ASSERT_LT(from, author->Lines().size() + 1);
    EXPECT_NE(NextLine("", &from).find("error"), std::string::npos) << "the compiler's log follows";
    EXPECT_TRUE(ShowsAPicture()) << "the tunnel still draws with its old program";

    work.Write("Shaders/TexturedLit.frag", good);
    EXPECT_EQ(NextLine("shaders reloaded", &from), "shaders reloaded after TexturedLit.frag");
    EXPECT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 10));
    Quit();
}

TEST_F(AuthorWindow, SpaceFreezesThePictureAndRightPrintsTheNextBar) {
    Start();
    ASSERT_TRUE(WaitUntil([&] { return ShowsAPicture(); }, 60));
    std::vector<uint32_t> previous = Corner();
    int changes = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::vector<uint32_t> now = Corner();
            if (now != previous) ++changes;
            previous = now;
            return changes >= 3;
        },
        30))
        << "the tunnel moves while the music plays";

    size_t from = author->Lines().size();
    ASSERT_TRUE(probe.TypeKey(window, XK_space));
    const std::string paused = NextLine("at ", &from);
    ASSERT_FALSE(paused.empty());
    // Counted in frames the show presented, not in time: once two frames
    // have gone by the paused picture is up, and ten more leave it as it is.
    ASSERT_TRUE(WaitForFrames(2)) << "the show's frames go on while paused";
    const std::vector<uint32_t> held = Corner();
    ASSERT_TRUE(WaitForFrames(10));
    EXPECT_TRUE(Corner() == held) << "the paused picture stays still";

    // The line says where the show holds (to the row), so the next bar
    // follows from it: the bar after the row's start, or, held in the row's
    // last sixty-fourth of a beat before a bar line, the one after that.
    int beat = 0, sixteenth = 0;
    ASSERT_EQ(std::sscanf(paused.c_str(), "at %d:%d", &beat, &sixteenth), 2) << paused;
    SongForm song;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSongForm(work / "song.txt", song, errors));
    const double rowStart = beat + sixteenth / 16.0;
    const std::string early = PositionLine(song, BarAfter(rowStart));
    const std::string late = PositionLine(song, BarAfter(rowStart + 1.0 / 16 - 1e-6));
    ASSERT_TRUE(probe.TypeKey(window, XK_Right));
    const std::string next = NextLine("at ", &from);
    EXPECT_TRUE(next == early || next == late) << next << " after " << paused;
    Quit();
}

TEST_F(AuthorWindow, TheSongsEndHoldsThePictureInsteadOfEndingTheRun) {
    Start(false);
    size_t from = author->Lines().size();
    ASSERT_TRUE(probe.TypeKey(window, XK_End));
    EXPECT_EQ(NextLine("at ", &from), "at 256:00 outro");
    for (int bar = 0; bar < 4; ++bar) ASSERT_TRUE(probe.TypeKey(window, XK_Right));
    for (int bar = 0; bar < 4; ++bar) ASSERT_FALSE(NextLine("at ", &from).empty());
    EXPECT_EQ(author->Lines()[from - 1], "at 271:15 outro") << "a seek stops short of the end";
    // The song plays its last row out, then the run holds there.
    EXPECT_TRUE(StartsWith(NextLine("at 271:", &from), "at 271:")) << author->ErrorText();
    ASSERT_TRUE(probe.TypeKey(window, XK_Page_Up));
    EXPECT_EQ(NextLine("at ", &from), "at 256:00 outro") << "still running";
    Quit();
}

