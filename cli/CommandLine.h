// The command-line front shared by every Tessel program with options, on
// CLI11: --help and --version everywhere, "--name value" and "--name=value"
// alike, values checked by the parser, and one shape for every mistake:
//     PROGRAM: what is wrong (see PROGRAM --help)
// on standard error with exit status 2. Help texts follow one style: an
// option's text starts in lower case, has no closing full stop and ends in
// "(default X)" when it has one; value names are FILE, DIR, N, X or T.
// An option given twice takes the last value. Nothing here throws past Parse.
#pragma once

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

namespace cli {

class CommandLine {
public:
    // `program` names the program in messages and help; `summary` says what it does.
    explicit CommandLine(std::string program, const std::string& summary = "");

    // The parser, to add options, flags and subcommands to.
    CLI::App& App() { return app; }

    // Parses the arguments. Empty when the program should go on; otherwise the
    // exit status to end with: 0 after --help or --version (printed to `out`),
    // 2 after a mistake (the message printed to `err`).
    std::optional<int> Parse(int argc, const char* const* argv, std::ostream& out = std::cout,
                             std::ostream& err = std::cerr);

    // For a mistake only the program can see (two options that do not go
    // together): prints it in the one shape and returns 2.
    int Refuse(const std::string& problem, std::ostream& err = std::cerr) const;

    // "PROGRAM: problem (see PROGRAM --help)", naming the subcommand in use.
    std::string Message(const std::string& problem) const;

private:
    std::string program;
    CLI::App app;
};

// Checks, with messages in the one style ("--fps: must be between 1 and
// 1000, not 0"). Whole numbers are digits with an optional sign; numbers
// are plain decimals (no hex, inf or nan). Each refuses an empty value and
// one starting with "--" ("--out --frames x" left --out without a value;
// a file named so is given as ./--name). Every option that takes a value
// has one of them.
CLI::Validator WholeNumber(long long low, long long high);
CLI::Validator Number(double low, double high);
CLI::Validator ExistingFile();
CLI::Validator ExistingFolder();
// A path that is not empty (for outputs, which need not exist yet).
CLI::Validator NotEmpty();

// True for a plain decimal number: sign, digits, an optional point and
// exponent; nothing else (no hex, inf, nan or spaces).
bool IsDecimal(const std::string& text);

// The problem CLI11 reports for `error`, reworded in the one style.
std::string Describe(const CLI::ParseError& error, const CLI::App& app);

}  // namespace cli
