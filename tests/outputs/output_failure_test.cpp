// Each program that writes files, run against a disk that fills up part way
// and a folder that takes no new files: it exits non-zero, names the file
// and the reason, and the folder holds exactly what it held before (the
// previous output unchanged, nothing new under a final name, no temporary).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/failing_disk.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/show_folder.h"

namespace {

const std::string kSource = TESSEL_SOURCE_DIR;
const std::string kSections = kSource + "/production/song_sections.txt";
const std::string kShowSync = kSource + "/production/show.sync";

struct Writer {
    const char* name;
    std::string program;
    // The arguments that write the output into `folder`.
    std::vector<std::string> (*args)(const std::string& folder);
    // What the folder holds before: the previous output.
    std::map<std::string, std::string> previous;
    // Where the message points: the output's name.
    std::string output;
    // Room on the small disk (a tmpfs), and the file-size limit where no tmpfs can be mounted.
    size_t diskBytes;
    size_t fileLimit;
};

void PrintTo(const Writer& writer, std::ostream* out) { *out << writer.name; }

std::string In(const std::string& folder, const std::string& name) { return folder + "/" + name; }

const Writer kWriters[] = {
    {"song", TESSEL_SONGMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--form", kSections, "--beats", "16", "--out", In(folder, "song.ogg")};
     },
     {{"song.ogg", "previous song"}}, "song.ogg", 64 * 1024, 32 * 1024},
    {"wav", TESSEL_SONGMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--form", kSections, "--beats", "4", "--wav", In(folder, "drop.wav")};
     },
     {{"drop.wav", "previous wav"}}, "drop.wav", 64 * 1024, 32 * 1024},
    {"cube map", TESSEL_TEXTUREMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--cube", In(folder, "CubeMapTest.jpg"), "--face-size", "256"};
     },
     {{"CubeMapTest.jpg", "previous cube"}}, "CubeMapTest.jpg", 64 * 1024, 32 * 1024},
    {"sprite", TESSEL_TEXTUREMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--sprite", In(folder, "Floater2.png"), "--sprite-size", "512"};
     },
     {{"Floater2.png", "previous sprite"}}, "Floater2.png", 16 * 1024, 8 * 1024},
    {"track set", TESSEL_SYNCTOOL,
     [](const std::string& folder) {
         return std::vector<std::string>{"compile", "--sections", kSections, "-o", In(folder, "sync"), kShowSync};
     },
     {{"sync/_Old Track.track", "previous track"}, {"sync/_Bloom Wet.track", "previous bloom"}}, "sync", 64 * 1024,
     64},
    {"plot", TESSEL_SYNCTOOL,
     [](const std::string& folder) {
         return std::vector<std::string>{"plot", "--sections", kSections, "-o", In(folder, "plot.png"),
                                         std::string(TESSEL_SHOW_DIR) + "/sync"};
     },
     {{"plot.png", "previous plot"}}, "plot.png", 64 * 1024, 32 * 1024},
    {"video", TESSEL_CAPTURE,
     [](const std::string& folder) {
         return std::vector<std::string>{"--width", "320", "--height", "180", "--fps", "30", "--to", "4", "--out",
                                         In(folder, "clip.mp4")};
     },
     {{"clip.mp4", "previous clip"}}, "clip.mp4", 64 * 1024, 32 * 1024},
    {"frames", TESSEL_CAPTURE,
     [](const std::string& folder) {
         return std::vector<std::string>{"--width", "320", "--height", "180", "--fps", "30", "--from", "20", "--to",
                                         "22", "--frames", In(folder, "stills")};
     },
     {{"stills/frame_000000.png", "previous frame"}, {"stills/notes.txt", "kept"}}, "stills", 256 * 1024,
     32 * 1024},
};

// The folder's files with their bytes, long ones as their size (a failure
// then prints a line, not a picture).
std::map<std::string, std::string> Summary(const std::string& folder) {
    std::map<std::string, std::string> summary = FolderContents(folder);
    for (auto& [name, bytes] : summary) {
        if (bytes.size() > 64) bytes = "<" + std::to_string(bytes.size()) + " bytes>";
    }
    return summary;
}

class OutputFailure : public ::testing::TestWithParam<Writer> {
protected:
    OutputFailure() { LinkBuiltShow(show); }

    // Runs `command` (program first) in a scratch show folder.
    ProgramResult Run(const std::vector<std::string>& command) {
        const std::vector<std::string> args(command.begin() + 1, command.end());
        return RunProgram(command.front(), args, show.path(), {{"DISPLAY", std::nullopt}}, 240);
    }

    void ExpectFailedCleanly(const ProgramResult& run, const std::string& folder, const std::string& reason) {
        const Writer& writer = GetParam();
        EXPECT_NE(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(writer.output), std::string::npos) << "names the output: " << run.err;
        EXPECT_EQ(Summary(folder), writer.previous);
        EXPECT_TRUE(HiddenEntriesIn(folder).empty()) << ::testing::PrintToString(HiddenEntriesIn(folder));
        for (const auto& [name, bytes] : writer.previous) {
            const std::string parent = In(folder, name.substr(0, name.rfind('/') + 1));
            EXPECT_TRUE(HiddenEntriesIn(parent).empty()) << parent;
        }
    }

    ScratchDir show;  // the built show's data, where tessel-capture runs
};

TEST_P(OutputFailure, AFullDiskLeavesThePreviousOutput) {
    const Writer& writer = GetParam();
    SmallDisk disk(writer.diskBytes, writer.previous, writer.fileLimit);
    const ProgramResult run = Run(disk.Command(writer.program, writer.args(disk.path())));
    ExpectFailedCleanly(run, disk.path(), disk.Reason());
}

TEST_P(OutputFailure, AReadOnlyFolderLeavesThePreviousOutput) {
    const Writer& writer = GetParam();
    ReadOnlyFolder folder(writer.previous);
    if (!folder.Usable()) GTEST_SKIP() << "no way to make a folder read-only here";
    std::vector<std::string> command = writer.args(folder.path());
    command.insert(command.begin(), writer.program);
    const ProgramResult run = Run(command);
    ExpectFailedCleanly(run, folder.path(), folder.Reason());
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, OutputFailure, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<Writer>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (c == ' ') c = '_';
                             return name;
                         });

}  // namespace
