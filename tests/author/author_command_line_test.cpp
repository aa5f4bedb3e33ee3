// tessel-author's command line as a user meets it: --help and --version,
// refused options, missing files and a folder that is not the show folder
// each end with a message on standard error and a failing exit status,
// before any window.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/program_run.h"
#include "tests/support/scratch_dir.h"

namespace {

ProgramResult Author(const std::vector<std::string>& args, const std::string& folder = TESSEL_SHOW_DIR) {
    return RunProgram(TESSEL_AUTHOR, args, folder, {{"DISPLAY", std::nullopt}}, 60);
}

}  // namespace

TEST(AuthorCommandLine, HelpAndVersionPrintAndSucceed) {
    const ProgramResult run = Author({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("usage: tessel-author [options]\n", 0), 0u) << run.out;
    for (const char* option : {"--sync FILE", "--sections FILE", "--shaders DIR", "--version", "Escape quit", "--port N",
                               "--listen X", "--open", "--no-editor", "editor: http://127.0.0.1:PORT/?token=TOKEN"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    EXPECT_TRUE(run.err.empty()) << run.err;
    const ProgramResult version = Author({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tessel-author 1.", 0), 0u) << version.out;
}

TEST(AuthorCommandLine, BadArgumentsAndMissingFilesFailWithAMessage) {
    ScratchDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string folder;
        int exitCode;
        std::string message;
    };
    const std::string help = " (see tessel-author --help)\n";
    const Case cases[] = {
        {{"--loud"}, TESSEL_SHOW_DIR, 2, "tessel-author: unknown option '--loud'" + help},
        {{"--sync"}, TESSEL_SHOW_DIR, 2, "tessel-author: --sync: needs a value" + help},
        {{"--port", "70000"}, TESSEL_SHOW_DIR, 2, "tessel-author: --port: must be between 0 and 65535, not 70000" + help},
        {{"--sync", dir / "none.sync"}, TESSEL_SHOW_DIR, 2,
         "tessel-author: --sync: '" + dir / "none.sync" + "' does not exist" + help},
        {{"--shaders=" + dir / "none"}, TESSEL_SHOW_DIR, 2,
         "tessel-author: --shaders: '" + dir / "none" + "' does not exist" + help},
        {{}, dir.path(), 1,
         "tessel-author: no show folder here: ./Audio is missing (run tessel-author from the show folder, "
         "build/show/)\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult run = Author(c.args, c.folder);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
        EXPECT_EQ(run.err, c.message);
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// The track source, song form and shaders it edits by default lie beside the
// program: a copy with nothing beside it looks there, not in the tree it was
// built from; in the build's show folder they are the source tree's.
TEST(AuthorCommandLine, DefaultsAreTheSourcesBesideTheProgram) {
    namespace fs = std::filesystem;
    ScratchDir copy;
    fs::copy_file(TESSEL_AUTHOR, copy / "tessel-author");
    const ProgramResult alone = RunProgram(copy / "tessel-author", {}, TESSEL_SHOW_DIR, {{"DISPLAY", std::nullopt}}, 60);
    EXPECT_EQ(alone.exitCode, 1);
    EXPECT_EQ(alone.err, "tessel-author: " + copy / "data/Shaders" + ": no such folder\n");

    const std::string show = TESSEL_SHOW_DIR, source = TESSEL_SOURCE_DIR;
    EXPECT_EQ(fs::canonical(show + "/production/show.sync"), fs::canonical(source + "/production/show.sync"));
    EXPECT_EQ(fs::canonical(show + "/production/song_sections.txt"),
              fs::canonical(source + "/production/song_sections.txt"));
    EXPECT_EQ(fs::canonical(show + "/data/Shaders"), fs::canonical(source + "/data/Shaders"));
}

TEST(AuthorCommandLine, APortInUseIsAMessageBeforeAnyWindow) {
    const int taken = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(taken, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    ASSERT_EQ(getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const ProgramResult run = Author({"--port", port});
    close(taken);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "tessel-author: cannot listen on 127.0.0.1:" + port +
                           " (is another tessel-author running? --port picks another port)\n");
}
