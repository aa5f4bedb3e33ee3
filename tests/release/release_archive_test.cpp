// The release archive as its receiver meets it: made by CPack from this build
// (the package target's own configuration, written to a scratch folder),
// unpacked into a fresh temporary folder away from the build and source
// trees, and run there. One top folder holding the show, the tools, the
// sources, a README and the licences; no program reaching into either tree
// (libraries, RPATH, compiled-in paths); the player plays a short song to
// its end, tessel-capture writes a video, and tessel-author with no options
// follows the archive's own track source and shaders and serves its editor
// page, writing nothing
// outside its folder but its run folder, which it removes.
// The suite makes and unpacks the archive once; its cases run in order.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/capture/media_reader.h"
#include "tests/support/http_client.h"
#include "tests/support/player_run.h"
#include "tests/support/program_run.h"
#include "tests/support/running_program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/xvfb_server.h"
#include "tests/support/text.h"

namespace {

namespace fs = std::filesystem;

const char* const kPrograms[] = {"tessel", "tessel-capture", "tessel-author", "tools/synctool", "tools/songmaker",
                                 "tools/texturemaker"};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class ReleaseArchive : public ::testing::Test {
protected:
    // Makes the archive with CPack into a scratch folder and unpacks it into another.
    static void SetUpTestSuite() {
        packageDir = new ScratchDir;
        unpackDir = new ScratchDir;
        made = RunProgram(TESSEL_CPACK, {"--config", std::string(TESSEL_BUILD_DIR) + "/CPackConfig.cmake", "-B",
                                         packageDir->path()},
                          packageDir->path(), {}, 400);
        for (const fs::directory_entry& entry : fs::directory_iterator(packageDir->path()))
            if (entry.is_regular_file() && entry.path().extension() == ".gz") archives.push_back(entry.path());
        if (archives.size() != 1) return;
        listing = RunProgram("/bin/tar", {"tzf", archives[0]}, unpackDir->path());
        unpacked = RunProgram("/bin/tar", {"xzf", archives[0]}, unpackDir->path());
        for (const fs::directory_entry& entry : fs::directory_iterator(unpackDir->path())) tops.push_back(entry.path());
        if (tops.size() == 1) root = tops[0].string();
    }
    static void TearDownTestSuite() {
        delete packageDir;
        delete unpackDir;
    }

    void SetUp() override {
        ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
        ASSERT_EQ(archives.size(), 1u) << made.out;
        ASSERT_EQ(unpacked.exitCode, 0) << unpacked.err;
        ASSERT_FALSE(root.empty()) << "one top folder";
    }

    std::string In(const std::string& name) const { return root + "/" + name; }

    static ScratchDir* packageDir;
    static ScratchDir* unpackDir;
    static ProgramResult made, listing, unpacked;
    static std::vector<fs::path> archives, tops;
    static std::string root;
};

ScratchDir* ReleaseArchive::packageDir = nullptr;
ScratchDir* ReleaseArchive::unpackDir = nullptr;
ProgramResult ReleaseArchive::made, ReleaseArchive::listing, ReleaseArchive::unpacked;
std::vector<fs::path> ReleaseArchive::archives, ReleaseArchive::tops;
std::string ReleaseArchive::root;

TEST_F(ReleaseArchive, HoldsOneFolderWithTheShowToolsSourcesReadmeAndLicences) {
    // Named by the version its programs print.
    const ProgramResult printed = RunProgram(In("tessel-author"), {"--version"}, root);
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    ASSERT_TRUE(StartsWith(printed.out, "tessel-author ")) << printed.out;
    const std::string version = printed.out.substr(14, printed.out.find('\n') - 14);
    const std::string name = "tessel-" + version + "-linux-x86_64";
    EXPECT_EQ(archives[0].filename(), name + ".tar.gz");
    EXPECT_EQ(tops[0].filename(), name);
    for (const std::string& entry : SplitLines(listing.out)) EXPECT_TRUE(StartsWith(entry, name + "/")) << entry;
    EXPECT_FALSE(StartsWith(root, TESSEL_SOURCE_DIR)) << root;
    EXPECT_FALSE(StartsWith(root, TESSEL_BUILD_DIR)) << root;

    for (const char* program : kPrograms)
        EXPECT_EQ(access(In(program).c_str(), X_OK), 0) << program << " is missing or cannot run";
    // The show folder's data and the sources, each as the build and the tree hold them.
    for (const char* file : {"Config.txt", "Audio/Song_094_Final.ogg", "Textures/Floater2.png",
                                    "Textures/CubeMapTest.jpg", "Shaders/Mix.frag"})
        EXPECT_EQ(ReadFileBytes(In(file)), ReadFileBytes(std::string(TESSEL_SHOW_DIR) + "/" + file)) << file;
    EXPECT_EQ(FileNamesIn(In("sync")), FileNamesIn(std::string(TESSEL_SHOW_DIR) + "/sync"));
    EXPECT_EQ(FileNamesIn(In("editor")), FileNamesIn(std::string(TESSEL_SHOW_DIR) + "/editor"));
    EXPECT_FALSE(FileNamesIn(In("editor")).empty());
    EXPECT_FALSE(FileNamesIn(In("sync")).empty());
    for (const char* file : {"production/show.sync", "production/song_sections.txt", "production/README.md"})
        EXPECT_EQ(ReadFileBytes(In(file)), ReadFileBytes(std::string(TESSEL_SOURCE_DIR) + "/" + file)) << file;
    EXPECT_EQ(FileNamesIn(In("data/Shaders")), FileNamesIn(std::string(TESSEL_SOURCE_DIR) + "/data/Shaders"));
    // Real folders and files only: nothing links back into a tree.
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        EXPECT_FALSE(entry.is_symlink()) << entry.path();

    EXPECT_TRUE(Contains(ReadFileBytes(In("LICENSE")), "The Tessel developers"));
    EXPECT_EQ(FileNamesIn(In("licenses")), (std::vector<std::string>{"CLI11.txt", "glm.txt", "nlohmann-json.txt", "stb.txt"}));

    // The README names the version and Debian packages that exist here, the
    // libraries' and the drivers' among them.
    const std::string readme = ReadFileBytes(In("README.txt"));
    EXPECT_TRUE(StartsWith(readme, "Tessel " + version + "\n")) << readme.substr(0, 80);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(readme, match, std::regex(R"(sudo apt-get install ((?:[^\n]*\\\n)*[^\n]*))")))
        << readme;
    std::istringstream words(std::regex_replace(match[1].str(), std::regex(R"(\\)"), " "));
    std::set<std::string> packages;
    for (std::string word; words >> word;) packages.insert(word);
    for (const char* expected : {"libopenal1", "libglew2.2", "libgl1-mesa-dri", "libegl1", "libvorbisenc2"})
        EXPECT_EQ(packages.count(expected), 1u) << expected << " is not named";
    for (const std::string& package : packages) {
        const ProgramResult known = RunProgram("/usr/bin/dpkg-query", {"-W", "-f=${Status}", package}, root);
        EXPECT_EQ(known.out, "install ok installed") << package;
    }
    EXPECT_FALSE(Contains(readme, "%")) << "a placeholder is left";
}

TEST_F(ReleaseArchive, NoProgramReachesIntoTheBuildOrSourceTree) {
    for (const char* program : kPrograms) {
        SCOPED_TRACE(program);
        const ProgramResult ldd = RunProgram("/usr/bin/ldd", {In(program)}, root);
        EXPECT_EQ(ldd.exitCode, 0) << ldd.err;
        EXPECT_FALSE(ldd.out.empty());
        EXPECT_FALSE(Contains(ldd.out, "not found")) << ldd.out;
        EXPECT_FALSE(Contains(ldd.out, TESSEL_SOURCE_DIR)) << ldd.out;
        EXPECT_FALSE(Contains(ldd.out, TESSEL_BUILD_DIR)) << ldd.out;
        const ProgramResult dynamic = RunProgram("/usr/bin/readelf", {"-d", In(program)}, root);
        EXPECT_EQ(dynamic.exitCode, 0) << dynamic.err;
        EXPECT_FALSE(Contains(dynamic.out, "RPATH") || Contains(dynamic.out, "RUNPATH")) << dynamic.out;
        // No path of either tree is compiled in. (A sanitizer build names its
        // sources in the reports it may print, so there this says nothing.)
        const std::string bytes = ReadFileBytes(In(program));
        ASSERT_FALSE(bytes.empty());
#ifndef TESSEL_SANITIZED
        EXPECT_FALSE(Contains(bytes, TESSEL_SOURCE_DIR));
        EXPECT_FALSE(Contains(bytes, TESSEL_BUILD_DIR));
#endif
    }
}

TEST_F(ReleaseArchive, ThePlayerPlaysAShortSongToItsEndThere) {
    XvfbServer x(1920, 1080);
    ASSERT_TRUE(x.ok());
    // Eight beats (about 3.4 s) of the song, made from the archive's form by its own songmaker.
    const ProgramResult song = RunProgram(In("tools/songmaker"),
                                          {"--form", "production/song_sections.txt", "--beats", "8", "--out",
                                           "Audio/Song_094_Final.ogg"},
                                          root);
    ASSERT_EQ(song.exitCode, 0) << song.err;

    const ProgramResult run = RunProgram(In("tessel"), {}, root, {{"DISPLAY", x.name()}, {"ALSOFT_DRIVERS", "null"}}, 180);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << "the player did not end with the song";
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = DecodeLogLines(ReadFileBytes(In("LogFile.txt")));
    EXPECT_TRUE(ErrorLines(lines).empty()) << ErrorLines(lines).front();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Logger Shutting Down.") << "the log is closed";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Creating Texture: ./Textures/Floater2.png"), lines.end());
}

TEST_F(ReleaseArchive, CaptureWritesAVideoThere) {
    // A small picture keeps the software renderer quick; the path is the default one.
    const ProgramResult run = RunProgram(In("tessel-capture"), {"--to", "1", "--width", "320", "--height", "180"},
                                         root, {{"DISPLAY", std::nullopt}}, 300);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const DecodedMedia media = ReadMedia(In("show.mp4"));
    ASSERT_TRUE(media.error.empty()) << media.error;
    EXPECT_EQ(media.videoPackets, 60);
    EXPECT_EQ(media.audioStreams, 1);
    EXPECT_NEAR(media.videoSeconds, 1.0, 1e-6);
}

TEST_F(ReleaseArchive, TheAuthorWithNoOptionsFollowsTheArchivesSourcesAndWritesNothingElsewhere) {
    XvfbServer x(1920, 1080);
    ASSERT_TRUE(x.ok());
    ScratchDir temporary;
    const std::vector<std::string> before = FileNamesIn(root);
    // The files it edits are its defaults; only the editor's port is chosen
    // free, so that runs side by side do not contend for the default one.
    RunningProgram author(In("tessel-author"), {"--port", "0"}, root,
                          {{"DISPLAY", x.name()}, {"ALSOFT_DRIVERS", "null"}, {"TMPDIR", temporary.path()}});
    ASSERT_TRUE(author.started());
    auto starts = [](const std::string& start) { return [start](const std::string& l) { return StartsWith(l, start); }; };
    ASSERT_GE(author.WaitForLine(starts("tracks reloaded from show.sync"), 0, 120), 0) << author.ErrorText();
    const int editorLine = author.WaitForLine(starts("editor: "), 0, 60);
    ASSERT_GE(editorLine, 0) << author.ErrorText();
    size_t from = author.Lines().size();

    // Its editor page comes from the archive's editor/.
    const std::string address = author.Lines()[static_cast<size_t>(editorLine)];
    int port = 0;
    ASSERT_EQ(std::sscanf(address.c_str(), "editor: http://127.0.0.1:%d/?token=", &port), 1) << address;
    const std::string token = address.substr(address.find("token=") + 6);
    const HttpReply page = Http(port, "GET", "/main.js", "", {"Authorization: Bearer " + token});
    EXPECT_EQ(page.status, 200) << page.body;
    EXPECT_EQ(page.body, ReadFileBytes(In("editor/main.js")));

    // A save of the archive's track source with an error on line 2 is reported against that file.
    const std::string source = In("production/show.sync");
    const std::string good = ReadFileBytes(source);
    std::ofstream(source, std::ios::trunc) << "track Fade\n  nowhere 0\n";
    int at = author.WaitForLine(starts(source + ":2:3: "), from, 30);
    ASSERT_GE(at, 0) << "no reload of " << source;
    from = static_cast<size_t>(at) + 1;
    std::ofstream(source, std::ios::trunc) << good;
    at = author.WaitForLine(starts("tracks reloaded from show.sync"), from, 30);
    ASSERT_GE(at, 0);
    from = static_cast<size_t>(at) + 1;

    // And a save of one of its shaders.
    const std::string shader = In("data/Shaders/TexturedLit.frag");
    const std::string goodShader = ReadFileBytes(shader);
    std::ofstream(shader, std::ios::app) << "\nthis is not GLSL\n";
    EXPECT_GE(author.WaitForLine([](const std::string& l) { return l == "TexturedLit.frag: the old programs are kept"; },
                                 from, 30),
              0);
    std::ofstream(shader, std::ios::trunc) << goodShader;

    ASSERT_EQ(kill(author.id(), SIGTERM), 0);
    EXPECT_EQ(author.Wait(60), 0) << author.ErrorText();
    EXPECT_TRUE(FileNamesIn(temporary.path()).empty()) << "the run folder is removed";
    std::vector<std::string> after = FileNamesIn(root);
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_EQ(added, std::vector<std::string>{"AuthorLog.txt"});
}

}  // namespace
