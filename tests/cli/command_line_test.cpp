// The shared command-line front: both spellings of a value, the one message
// shape for every kind of mistake (reworded from CLI11's), the checks'
// messages, --help and --version, and subcommands named in the pointer to help.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "tests/support/scratch_dir.h"

namespace {

struct Outcome {
    std::optional<int> exit;
    std::string out;
    std::string err;
};

struct Values {
    int count = 3;
    double gain = 0.5;
    std::string input;
    std::string folder;
    std::string out;
    bool loud = false;
    std::vector<std::string> files;
};

// A program with one option of each kind, and a subcommand with positionals.
class Tool {
public:
    Tool() : line("tool", "Does a thing.") {
        CLI::App& app = line.App();
        app.add_option("--count", values.count, "how many (default 3)")->type_name("N")->check(cli::WholeNumber(1, 10));
        app.add_option("--gain", values.gain, "how loud")->type_name("X")->check(cli::Number(-0.1, 1));
        app.add_option("--input", values.input, "a file")->type_name("FILE")->check(cli::ExistingFile());
        app.add_option("--folder", values.folder, "a folder")->type_name("DIR")->check(cli::ExistingFolder());
        app.add_option("--out", values.out, "where to write")->type_name("FILE")->check(cli::NotEmpty());
        app.add_flag("--loud", values.loud, "louder");
        CLI::App* sub = app.add_subcommand("pack", "packs files");
        sub->add_option("FILE", values.files, "files to pack")->required();
    }

    Outcome Parse(std::vector<const char*> args) {
        args.insert(args.begin(), "tool");
        std::ostringstream out, err;
        Outcome run;
        run.exit = line.Parse(static_cast<int>(args.size()), args.data(), out, err);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    cli::CommandLine line;
    Values values;
};

std::string ErrorOf(std::vector<const char*> args) {
    Tool tool;
    const Outcome run = tool.Parse(std::move(args));
    EXPECT_EQ(run.exit, std::optional<int>(2)) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
    return run.err;
}

}  // namespace

TEST(CommandLine, BothSpellingsAndTheLastOfARepeatedOption) {
    ScratchDir dir;
    dir.Write("in.txt", "x");
    Tool tool;
    const std::string input = dir / "in.txt";
    const std::string inputOption = "--input=" + input;
    const Outcome run = tool.Parse({"--count", "4", "--gain=-0.1", inputOption.c_str(), "--folder",
                                dir.path().c_str(), "--out=o", "--loud", "--count=7"});
    EXPECT_FALSE(run.exit.has_value()) << run.err;
    EXPECT_EQ(tool.values.count, 7);
    EXPECT_DOUBLE_EQ(tool.values.gain, -0.1);
    EXPECT_EQ(tool.values.input, input);
    EXPECT_EQ(tool.values.folder, dir.path());
    EXPECT_EQ(tool.values.out, "o");
    EXPECT_TRUE(tool.values.loud);
}

TEST(CommandLine, EveryMistakeHasTheOneShape) {
    ScratchDir dir;
    dir.Write("file", "x");
    const std::string missing = dir / "none";
    const std::string file = dir / "file";
    struct Case {
        std::vector<const char*> args;
        std::string problem;
    };
    const Case cases[] = {
        {{"--cuont", "4"}, "unknown option '--cuont'"},
        {{"--cuont=4"}, "unknown option '--cuont'"},
        {{"-q"}, "unknown option '-q'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{"--count"}, "--count: needs a value"},
        {{"--count", "--loud"}, "--count: needs a value"},
        {{"--out="}, "--out: needs a value"},
        {{"--count", "0"}, "--count: must be between 1 and 10, not 0"},
        {{"--count=11"}, "--count: must be between 1 and 10, not 11"},
        {{"--count", "-3"}, "--count: must be between 1 and 10, not -3"},
        {{"--count", "99999999999999999999999"}, "--count: must be between 1 and 10, not 99999999999999999999999"},
        {{"--count", "2.5"}, "--count: '2.5' is not a whole number"},
        {{"--gain", "0x1"}, "--gain: '0x1' is not a number"},
        {{"--gain", "nan"}, "--gain: 'nan' is not a number"},
        {{"--gain", "1.5"}, "--gain: must be between -0.1 and 1, not 1.5"},
        {{"--input", missing.c_str()}, "--input: '" + missing + "' does not exist"},
        {{"--input", dir.path().c_str()}, "--input: '" + dir.path() + "' is a folder, not a file"},
        {{"--folder", file.c_str()}, "--folder: '" + file + "' is not a folder"},
        {{"--help=yes"}, "--help: takes no value"},
        {{"--version=2"}, "--version: takes no value"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf(c.args), "tool: " + c.problem + " (see tool --help)\n");
    }
}

TEST(CommandLine, ASubcommandsMistakePointsToItsHelp) {
    EXPECT_EQ(ErrorOf({"pack"}), "tool: FILE is required (see tool pack --help)\n");
    EXPECT_EQ(ErrorOf({"pack", "a", "--fast"}), "tool: unknown option '--fast' (see tool pack --help)\n");
    EXPECT_EQ(ErrorOf({"pack", "--fast"}), "tool: unknown option '--fast' (see tool pack --help)\n")
        << "a misspelt option before the missing argument it may explain";
    EXPECT_EQ(ErrorOf({"unpack"}), "tool: unexpected argument 'unpack' (see tool --help)\n");
    Tool strict;
    strict.line.App().require_subcommand(1);
    const Outcome unknown = strict.Parse({"unpack"});
    EXPECT_EQ(unknown.err, "tool: unknown command 'unpack' (see tool --help)\n");
    const Outcome none = strict.Parse({});
    EXPECT_EQ(none.err, "tool: a command is required (see tool --help)\n");
    Tool tool;
    const Outcome run = tool.Parse({"pack", "a", "b"});
    EXPECT_FALSE(run.exit.has_value()) << run.err;
    EXPECT_EQ(tool.values.files, (std::vector<std::string>{"a", "b"}));
    std::ostringstream err;
    EXPECT_EQ(tool.line.Refuse("a and b clash", err), 2);
    EXPECT_EQ(err.str(), "tool: a and b clash (see tool pack --help)\n");
}

TEST(CommandLine, HelpAndVersionPrintToStandardOutputAndSucceed) {
    Tool tool;
    const Outcome help = tool.Parse({"--count", "4", "--help"});
    EXPECT_EQ(help.exit, std::optional<int>(0));
    EXPECT_TRUE(help.err.empty()) << help.err;
    EXPECT_EQ(help.out.rfind("usage: tool [options] [COMMAND]\nDoes a thing.\n", 0), 0u) << help.out;
    for (const char* entry : {"--count N", "how many (default 3)", "--version", "pack"}) {
        EXPECT_NE(help.out.find(entry), std::string::npos) << entry << " in\n" << help.out;
    }
    Tool other;
    const Outcome packHelp = other.Parse({"pack", "--help"});
    EXPECT_EQ(packHelp.exit, std::optional<int>(0));
    EXPECT_NE(packHelp.out.find("files to pack"), std::string::npos) << packHelp.out;

    Tool third;
    const Outcome version = third.Parse({"--version"});
    EXPECT_EQ(version.exit, std::optional<int>(0));
    EXPECT_EQ(version.out.rfind("tool 1.", 0), 0u) << version.out;
    EXPECT_EQ(version.out.back(), '\n');
}
