// The shared command-line front: CLI11 with our help layout, our value
// checks and CLI11's messages reworded into one shape.
#include "cli/CommandLine.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

#include "tessel/Version.h"

namespace cli {

namespace {

// Usage first, then what the program does, the arguments, the options, the
// commands and the footer; labels in lower case.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        column_width(26);
        label("Usage", "usage");
        label("OPTIONS", "options");
        label("SUBCOMMAND", "COMMAND");
        label("SUBCOMMANDS", "COMMAND...");
        label("Positionals", "arguments");
    }

    // The value's name (none for an argument, whose name says it) and "..." for a list.
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string text;
        if (option->get_type_size() == 0) return text;
        if (!option->get_positional() && !option->get_type_name().empty()) text += " " + option->get_type_name();
        if (option->get_expected_max() == CLI::detail::expected_max_vector_size) text += " ...";
        return text;
    }

    std::string make_option_desc(const CLI::Option* option) const override {
        const bool required = option->get_required() && !option->get_positional();
        return option->get_description() + (required ? " (required)" : "");
    }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::string text = make_usage(app, name);
        if (!app->get_description().empty()) text += app->get_description() + "\n";
        text += make_positionals(app);
        text += make_groups(app, mode);
        text += make_subcommands(app, mode);
        const std::string footer = make_footer(app);
        if (!footer.empty()) text += "\n" + footer;
        return text;
    }
};

// Digits with an optional sign; values beyond twelve digits clamp far outside
// every range we accept so that the range check reports them.
bool ParseWholeNumber(const std::string& text, long long* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        if (result < 1000000000000LL) result = result * 10 + (text[i] - '0');
    }
    *value = negative ? -result : result;
    return true;
}

}  // namespace

bool IsDecimal(const std::string& text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

namespace {

// CLI11 takes the word after an option as its value whatever it is; an
// option name there means the value was left out.
bool MissingValue(const std::string& text) { return text.empty() || text.rfind("--", 0) == 0; }

std::string Shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string LowerFirst(std::string text) {
    if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0])) &&
        !(text.size() > 1 && std::isupper(static_cast<unsigned char>(text[1])))) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

// The innermost subcommand the arguments chose, for "see PROGRAM COMMAND --help".
const CLI::App* SelectedCommand(const CLI::App& app) {
    const CLI::App* command = &app;
    for (;;) {
        const std::vector<CLI::App*> chosen = command->get_subcommands();
        if (chosen.empty()) return command;
        command = chosen.front();
    }
}

}  // namespace

CommandLine::CommandLine(std::string programName, const std::string& summary)
    : program(std::move(programName)), app(summary, program) {
    app.formatter(std::make_shared<HelpFormatter>());
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->group("options");
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", program + " " + TESSEL_VERSION, "print the version and exit")
        ->disable_flag_override();
    app.get_help_ptr()->disable_flag_override();
}

namespace {

// Every option and command in the groups our help names, whenever it was added.
void NameGroups(CLI::App* app) {
    for (CLI::Option* option : app->get_options()) {
        if (option->get_group() == "Options") option->group("options");
    }
    for (CLI::App* command : app->get_subcommands([](CLI::App*) { return true; })) {
        if (command->get_group() == "Subcommands") command->group("commands");
        NameGroups(command);
    }
}

}  // namespace

std::optional<int> CommandLine::Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    try {
        NameGroups(&app);
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& error) {
        err << Message(Describe(error, app)) << '\n';
        return 2;
    } catch (const std::exception& error) {
        // A value our own callbacks could not take (out of memory, say).
        err << Message(error.what()) << '\n';
        return 2;
    }
}

int CommandLine::Refuse(const std::string& problem, std::ostream& err) const {
    err << Message(problem) << '\n';
    return 2;
}

std::string CommandLine::Message(const std::string& problem) const {
    std::string command = program;
    for (const CLI::App* chosen = SelectedCommand(app); chosen && chosen != &app; chosen = chosen->get_parent()) {
        command.insert(program.size(), " " + chosen->get_name());
    }
    return program + ": " + problem + " (see " + command + " --help)";
}

std::string Describe(const CLI::ParseError& error, const CLI::App& app) {
    const std::string text = error.what();
    // An option the parser did not know comes first whatever else went
    // wrong: a misspelt option is the likeliest cause of a missing one.
    const std::vector<std::string> extras = app.remaining(true);
    for (const std::string& extra : extras) {
        if (extra.size() > 1 && extra[0] == '-' && !IsDecimal(extra)) {
            return "unknown option '" + extra.substr(0, extra.find('=')) + "'";
        }
    }
    if (!extras.empty() && text == "A subcommand is required") return "unknown command '" + extras.front() + "'";
    if (!extras.empty() && dynamic_cast<const CLI::ExtrasError*>(&error)) {
        return "unexpected argument '" + extras.front() + "'";
    }
    static const std::regex missingValue(R"(^(\S+): \d+ required \S+ missing$)");
    std::smatch match;
    if (std::regex_match(text, match, missingValue)) return match[1].str() + ": needs a value";
    if (text == "A subcommand is required") return "a command is required";
    static const std::regex flagValue(R"(^(\S+) was given a disallowed flag override$)");
    if (std::regex_match(text, match, flagValue)) {
        const std::string name = match[1].str();
        return (name[0] == '-' ? name : "--" + name) + ": takes no value";
    }
    return LowerFirst(text);
}

CLI::Validator WholeNumber(long long low, long long high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            if (MissingValue(text)) return "needs a value";
            long long value = 0;
            if (!ParseWholeNumber(text, &value)) return "'" + text + "' is not a whole number";
            if (value < low || value > high) {
                return "must be between " + std::to_string(low) + " and " + std::to_string(high) + ", not " + text;
            }
            return {};
        },
        "");
}

CLI::Validator Number(double low, double high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            if (MissingValue(text)) return "needs a value";
            if (!IsDecimal(text)) return "'" + text + "' is not a number";
            const double value = std::strtod(text.c_str(), nullptr);
            if (!std::isfinite(value) || value < low || value > high) {
                return "must be between " + Shortest(low) + " and " + Shortest(high) + ", not " + text;
            }
            return {};
        },
        "");
}

namespace {

// A path that must exist, as a folder or as anything else.
CLI::Validator ExistingPath(bool folder) {
    return CLI::Validator(
        [folder](std::string& path) -> std::string {
            if (MissingValue(path)) return "needs a value";
            std::error_code ignored;
            const std::filesystem::file_status status = std::filesystem::status(path, ignored);
            if (!std::filesystem::exists(status)) return "'" + path + "' does not exist";
            if (folder && !std::filesystem::is_directory(status)) return "'" + path + "' is not a folder";
            if (!folder && std::filesystem::is_directory(status)) return "'" + path + "' is a folder, not a file";
            return {};
        },
        "");
}

}  // namespace

CLI::Validator ExistingFile() { return ExistingPath(false); }

CLI::Validator ExistingFolder() { return ExistingPath(true); }

CLI::Validator NotEmpty() {
    return CLI::Validator([](std::string& text) -> std::string { return MissingValue(text) ? "needs a value" : ""; }, "");
}

}  // namespace cli
