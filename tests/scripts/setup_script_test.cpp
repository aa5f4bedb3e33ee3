// scripts/setup.sh as a person runs it. On this build folder, where every
// package is installed and everything is built, it prints its step lines and
// nothing of CMake's or the compiler's. With a package missing it names it
// with its reason, installs it through sudo when not root, and a step that
// fails shows the end of its output and the command to retry. The package
// manager, sudo and the user id are stand-ins on PATH: a test never installs
// anything; the configure and build steps are real.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kScript = std::string(TESSEL_SOURCE_DIR) + "/scripts/setup.sh";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Each line against its pattern, in order, and no line more.
void ExpectLines(const std::string& text, const std::vector<std::string>& patterns) {
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), patterns.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(patterns[i]))) << "line " << i << ": " << lines[i];
}

std::string Escaped(const std::string& text) { return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"); }

// A folder of stand-ins put first on PATH. apt-get records each call (with
// the DEBIAN_FRONTEND it sees) and fails on the call named by APT_FAIL;
// sudo drops DEBIAN_FRONTEND as the real one does; id -u says SETUP_UID;
// dpkg-query reports SETUP_MISSING as not installed and asks the real one
// about everything else.
class SetupScript : public ::testing::Test {
protected:
    void SetUp() override {
        Stub("apt-get",
             "echo \"apt-get DEBIAN_FRONTEND=${DEBIAN_FRONTEND-} $*\" >> \"$SETUP_RECORD\"\n"
             "for a in \"$@\"; do if [ \"$a\" = \"$APT_FAIL\" ]; then\n"
             "  echo \"E: Unable to locate package $SETUP_MISSING\" >&2; exit 100; fi; done\n"
             "echo \"Setting up $SETUP_MISSING\"\n");
        Stub("sudo", "echo sudo >> \"$SETUP_RECORD\"\nexec env -u DEBIAN_FRONTEND \"$@\"\n");
        Stub("id", "if [ \"$1\" = -u ]; then echo \"$SETUP_UID\"; else exec /usr/bin/id \"$@\"; fi\n");
        Stub("dpkg-query",
             "for a in \"$@\"; do if [ \"$a\" = \"$SETUP_MISSING\" ]; then exit 1; fi; done\n"
             "exec /usr/bin/dpkg-query \"$@\"\n");
    }

    void Stub(const std::string& name, const std::string& body) {
        stubs.Write(name, "#!/bin/sh\n" + body);
        chmod((stubs / name).c_str(), 0755);
    }

    ProgramResult Run(const std::vector<std::string>& args, const std::string& missing, const std::string& uid,
                      const std::string& aptFail = "none") {
        std::vector<std::string> all = {kScript};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram("/bin/bash", all, scratch.path(),
                          {{"PATH", stubs.path() + ":" + std::getenv("PATH")},
                           {"SETUP_RECORD", stubs / "record"},
                           {"SETUP_MISSING", missing},
                           {"SETUP_UID", uid},
                           {"APT_FAIL", aptFail}},
                          600);
    }

    // A build folder whose configure fails at once: its cache names another source tree.
    std::string ForeignBuildFolder() {
        scratch.Write("build/CMakeCache.txt", "CMAKE_HOME_DIRECTORY:INTERNAL=/no/such/tree\n");
        return scratch / "build";
    }

    ScratchDir stubs;
    ScratchDir scratch;
};

TEST_F(SetupScript, OnABuiltMachineItPrintsOnlyItsStepLines) {
    const ProgramResult run = Run({"--tests", TESSEL_BUILD_DIR}, "", "0");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string shown = Escaped(std::string(TESSEL_BUILD_DIR) + "/");
    const std::string time = R"(\((\d+ s|\d+ min \d\d s)\))";
    std::vector<std::string> expected = {R"(Packages: all \d+ needed are installed)"};
    // A step with work left (fetching what the browser tests need, say) is one more line of its own.
    const size_t extra = std::max<size_t>(Lines(run.out).size(), 4) - 4;
    for (size_t i = 0; i < extra; ++i) expected.push_back(R"([^|:]+ \.\.\. done )" + time);
    expected.push_back("Configuring " + shown + R"( with the tests \.\.\. done )" + time);
    expected.push_back("Building in " + shown + R"( with \d+ jobs \.\.\. done )" + time);
    expected.push_back(R"(Ready in (\d+ s|\d+ min \d\d s): the show is in )" + shown + R"(show/ \(log: )" + shown +
                       R"(setup\.log\))");
    ExpectLines(run.out, expected);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(stubs.Read("record"), "") << "nothing was to be installed";
    // What CMake and make printed went to the log.
    const std::string log = ReadFileBytes(std::string(TESSEL_BUILD_DIR) + "/setup.log");
    EXPECT_NE(log.find("Build files have been written to"), std::string::npos) << log;
    EXPECT_NE(log.find("Built target tessel"), std::string::npos) << log;
}

TEST_F(SetupScript, AMissingPackageIsNamedAndInstalledThroughSudoThenAFailedStepShowsWhyAndHowToRetry) {
    const std::string build = ForeignBuildFolder();
    const ProgramResult run = Run({build}, "libglew-dev", "1000");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const std::string shown = Escaped(build + "/");
    ExpectLines(run.out, {"Packages: 1 missing, installing them with apt-get through sudo:",
                          "  windows and OpenGL: libglew-dev",
                          R"(Updating the package lists \.\.\. done \(\d+ s\))",
                          R"(Installing the missing packages \.\.\. done \(\d+ s\))",
                          "Configuring " + shown + R"( \.\.\. FAILED after \d+ s \(exit status 1\))",
                          "The end of its output:",
                          R"(  \| CMake Error: .*does not match the source "/no/such/tree/CMakeLists.txt".*)",
                          R"(Retry: cmake -S \S+ -B )" + Escaped(build) + R"(  \(the whole log: )" + shown +
                              R"(setup\.log\))"});
    // The package manager ran non-interactively although sudo drops the environment.
    const std::vector<std::string> record = Lines(stubs.Read("record"));
    ASSERT_EQ(record.size(), 4u) << stubs.Read("record");
    EXPECT_EQ(record[0], "sudo");
    EXPECT_TRUE(std::regex_match(record[1], std::regex("apt-get DEBIAN_FRONTEND=noninteractive .*update -q")))
        << record[1];
    EXPECT_EQ(record[2], "sudo");
    EXPECT_TRUE(std::regex_match(record[3], std::regex("apt-get DEBIAN_FRONTEND=noninteractive .*install -y .* libglew-dev")))
        << record[3];
    EXPECT_NE(ReadFileBytes(build + "/setup.log").find("Setting up libglew-dev"), std::string::npos);
}

TEST_F(SetupScript, AFailedInstallShowsTheManagersMessageAndStopsBeforeConfiguring) {
    const std::string build = scratch / "fresh";
    const ProgramResult run = Run({"--tests", build}, "xvfb", "0", "install");
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    ExpectLines(run.out, {"Packages: 1 missing, installing them with apt-get:",
                          "  private X servers for the window tests: xvfb",
                          R"(Updating the package lists \.\.\. done \(\d+ s\))",
                          R"(Installing the missing packages \.\.\. FAILED after \d+ s \(exit status 100\))",
                          "The end of its output:", R"(  \| E: Unable to locate package xvfb)",
                          R"(Retry: env DEBIAN_FRONTEND=noninteractive apt-get .*install -y .* xvfb  \(the whole log: .*)"});
    struct stat info {};
    EXPECT_NE(stat((build + "/CMakeCache.txt").c_str(), &info), 0) << "nothing was configured";
}

}  // namespace
