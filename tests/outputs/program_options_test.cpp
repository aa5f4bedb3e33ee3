// Every program with options, for real: --help and --version succeed on
// standard output; an unknown option and a value out of its range fail with
// the one message shape, exit status 2 and no file written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessel/Version.h"
#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kSections = std::string(TESSEL_SOURCE_DIR) + "/production/song_sections.txt";

struct Program {
    const char* name;
    std::string path;
    // Arguments with one value out of range (or a file that is not there),
    // writing into `folder` were they accepted; and the start of the problem.
    std::vector<std::string> (*badValue)(const std::string& folder);
    std::string problem;
    // Where the pointer to the help leads.
    std::string help;
    // Arguments with an unknown option.
    std::vector<std::string> unknown = {"--loud"};
};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

const Program kPrograms[] = {
    {"tessel_author", TESSEL_AUTHOR,
     [](const std::string& folder) { return std::vector<std::string>{"--sync", folder + "/none.sync"}; },
     "--sync: '", "tessel-author"},
    {"tessel_capture", TESSEL_CAPTURE,
     [](const std::string& folder) {
         return std::vector<std::string>{"--fps", "0", "--to", "1", "--out", folder + "/clip.mp4"};
     },
     "--fps: must be between 1 and 1000, not 0", "tessel-capture"},
    {"songmaker", TESSEL_SONGMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--form", kSections, "--quality=2", "--out", folder + "/song.ogg"};
     },
     "--quality: must be between -0.1 and 1, not 2", "songmaker"},
    {"texturemaker", TESSEL_TEXTUREMAKER,
     [](const std::string& folder) {
         return std::vector<std::string>{"--cube", folder + "/cube.jpg", "--face-size", "4097"};
     },
     "--face-size: must be between 4 and 4096, not 4097", "texturemaker"},
    {"synctool", TESSEL_SYNCTOOL,
     [](const std::string& folder) {
         return std::vector<std::string>{"plot", "--sections", folder + "/none.txt", "-o", folder + "/plot.png",
                                         TESSEL_SHOW_DIR "/sync"};
     },
     "--sections: '", "synctool plot", {"plot", "--loud"}},
};

class ProgramOptions : public ::testing::TestWithParam<Program> {
protected:
    ProgramResult Run(const std::vector<std::string>& args) {
        return RunProgram(GetParam().path, args, scratch.path(), {{"DISPLAY", std::nullopt}}, 60);
    }

    // The message shape and nothing written.
    void ExpectRefused(const ProgramResult& run, const std::string& problem) {
        const std::string program = GetParam().help.substr(0, GetParam().help.find(' '));
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_EQ(run.err.rfind(program + ": " + problem, 0), 0u) << run.err;
        const std::string tail = " (see " + GetParam().help + " --help)\n";
        ASSERT_GE(run.err.size(), tail.size());
        EXPECT_EQ(run.err.substr(run.err.size() - tail.size()), tail) << run.err;
        EXPECT_TRUE(FileNamesIn(scratch.path()).empty()) << ::testing::PrintToString(FileNamesIn(scratch.path()));
    }

    ScratchDir scratch;
};

TEST_P(ProgramOptions, HelpAndVersionSucceed) {
    const std::string program = GetParam().help.substr(0, GetParam().help.find(' '));
    const ProgramResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_EQ(help.out.rfind("usage: " + program + " ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_TRUE(help.err.empty()) << help.err;

    const ProgramResult version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out.rfind(program + " " + TESSEL_VERSION, 0), 0u) << version.out;
    EXPECT_TRUE(FileNamesIn(scratch.path()).empty());
}

TEST_P(ProgramOptions, AnUnknownOptionOrABadValueIsRefusedInTheOneShape) {
    ExpectRefused(Run(GetParam().unknown), "unknown option '--loud'");
    ExpectRefused(Run(GetParam().badValue(scratch.path())), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, ProgramOptions, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });

}  // namespace
